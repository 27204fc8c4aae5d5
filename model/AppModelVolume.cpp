// System volume and mute of the default output and input, with an emulated mute for devices
// that have none.
#include <algorithm>
#include <cmath>

#include "audio/HAL.h"
#include "model/AppModel.h"

namespace velmora::model {
namespace {

constexpr const char* kNoVolumeMessage = "此设备不支持系统音量调节，请使用设备自身的控制。";
constexpr float kUnmuteFallbackVolume = 0.5f;

}  // namespace

bool AppModel::hasSettableMute(AudioObjectID device, AudioDirection direction) const {
  const AudioObjectPropertyAddress address{kAudioDevicePropertyMute, audio::HAL::scope(direction),
                                           kAudioObjectPropertyElementMain};
  bool settable = false;
  return AudioObjectHasProperty(device, &address) &&
         AudioObjectIsPropertySettable(device, &address, &settable) == 0 && settable;
}

bool AppModel::readMuted(AudioObjectID device, AudioDirection direction,
                         std::optional<float> volume, const std::string& emulationKey) const {
  const auto mute =
      audio::HAL::value<uint32_t>(device, kAudioDevicePropertyMute, audio::HAL::scope(direction));
  if (mute && *mute != 0) return true;
  // A mute that reads 0, or cannot be read, may still be ours: volume 0 with the old one kept.
  return volume && *volume == 0.0f && volumeBeforeMute_.count(emulationKey) > 0;
}

std::optional<std::string> AppModel::emulatedMuteKey(AudioDirection direction) const {
  // The input is known by its object id, the output by its UID.
  if (isInput(direction)) return "input:" + std::to_string(state_.inputID);
  if (const audio::AudioDevice* output = device(state_.outputID)) return output->uid;
  return std::nullopt;
}

std::optional<std::string> AppModel::writeVolume(AudioObjectID device, AudioDirection direction,
                                                 float value) {
  const float clamped = std::isnan(value) ? 1.0f : std::clamp(value, 0.0f, 1.0f);
  const auto elements = audio::HAL::volumeElements(device, direction);
  if (elements.empty()) return kNoVolumeMessage;
  for (AudioObjectPropertyElement element : elements) {
    const AudioObjectPropertyAddress address{kAudioDevicePropertyVolumeScalar,
                                             audio::HAL::scope(direction), element};
    const OSStatus status =
        AudioObjectSetPropertyData(device, &address, 0, nullptr, sizeof clamped, &clamped);
    if (status != 0) return audio::HAL::writeFailure(status);
  }
  return std::nullopt;
}

std::optional<std::string> AppModel::writeMute(AudioObjectID device, AudioDirection direction,
                                               bool muted) {
  const AudioObjectPropertyAddress address{kAudioDevicePropertyMute, audio::HAL::scope(direction),
                                           kAudioObjectPropertyElementMain};
  const uint32_t value = muted ? 1 : 0;
  const OSStatus status =
      AudioObjectSetPropertyData(device, &address, 0, nullptr, sizeof value, &value);
  if (status != 0) return audio::HAL::writeFailure(status);
  return std::nullopt;
}

void AppModel::setSystemVolume(float value) {
  checkMainQueue();
  const audio::AudioDevice* output = device(state_.outputID);
  if (output == nullptr) return;
  const std::string uid = output->uid;
  std::optional<std::string> failure = writeVolume(output->id, AudioDirection::output, value);
  if (!failure && hasSettableMute(output->id, AudioDirection::output) && state_.systemMuted) {
    failure = writeMute(output->id, AudioDirection::output, false);
  }
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  // A value that is no number never reaches the settings: the file must always read back.
  const float stored = std::isfinite(value) ? value : 1.0f;
  state_.systemVolume = stored;
  state_.systemMuted = false;
  volumeBeforeMute_.erase(uid);
  if (state_.preferences.rememberDevices) {
    state_.preferences.deviceVolumes[uid] = stored;
    save();
  }
  showHUD(AudioDirection::output);
  publish();
}

void AppModel::setInputVolume(float value) {
  checkMainQueue();
  const AudioObjectID input = state_.inputID;
  std::optional<std::string> failure = writeVolume(input, AudioDirection::input, value);
  if (!failure && hasSettableMute(input, AudioDirection::input) && state_.inputMuted)
    failure = writeMute(input, AudioDirection::input, false);
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  state_.inputVolume = std::isfinite(value) ? value : 1.0f;
  state_.inputMuted = false;
  volumeBeforeMute_.erase(*emulatedMuteKey(AudioDirection::input));
  showHUD(AudioDirection::input);
  publish();
}

void AppModel::toggleSystemMute() { toggleMute(AudioDirection::output); }

void AppModel::toggleInputMute() { toggleMute(AudioDirection::input); }

void AppModel::toggleMute(AudioDirection direction) {
  checkMainQueue();
  const bool input = isInput(direction);
  // Without a default output there is nothing to mute; an absent input still gets its display.
  if (!input && device(state_.outputID) == nullptr) return;
  const AudioObjectID current = input ? state_.inputID : state_.outputID;
  const std::string key = *emulatedMuteKey(direction);
  const bool muted = input ? state_.inputMuted : state_.systemMuted;
  std::optional<float> volume;
  if (input) {
    volume = state_.inputVolume;
  } else if (state_.volumeSupported) {
    volume = state_.systemVolume;
  }
  std::optional<std::string> failure;
  if (hasSettableMute(current, direction)) {
    failure = writeMute(current, direction, !muted);
  } else if (!volume) {
    // An input without mute or volume is left alone quietly; an output says why nothing happens.
    if (!input) failure = "此设备不支持系统静音。";
  } else if (muted) {
    const auto remembered = volumeBeforeMute_.find(key);
    const float restored =
        remembered != volumeBeforeMute_.end() ? remembered->second : kUnmuteFallbackVolume;
    if (remembered != volumeBeforeMute_.end()) volumeBeforeMute_.erase(remembered);
    failure = writeVolume(current, direction, restored);
  } else {
    volumeBeforeMute_[key] = *volume;
    failure = writeVolume(current, direction, 0.0f);
  }
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  refresh(true);
  showHUD(direction);
  publish();
}

void AppModel::showHUD(AudioDirection direction) {
  checkMainQueue();
  const auto& advanced = state_.preferences.advanced;
  if (advanced && !advanced->interface.hudEnabled) return;
  const bool input = isInput(direction);
  const auto current = currentBookmark(direction);
  const std::string name = current ? current->displayName() : input ? "输入音量" : "系统音量";
  if (!onVolumeHUD) return;
  if (input) {
    onVolumeHUD(name, state_.inputVolume.value_or(0.0f), state_.inputMuted, direction);
  } else {
    onVolumeHUD(name, state_.systemVolume, state_.systemMuted, direction);
  }
}

}  // namespace velmora::model
