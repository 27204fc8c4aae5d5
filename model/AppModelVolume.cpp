// System volume and mute of the default output and input, with an emulated mute for devices
// that have none.
#include <algorithm>
#include <cmath>

#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "model/AppModel.h"

namespace velmora::model {
namespace {

constexpr const char* kNoVolumeMessage = "此设备不支持系统音量调节，请使用设备自身的控制。";
constexpr float kUnmuteFallbackVolume = 0.5f;

AudioObjectPropertyScope scopeOf(bool input) {
  return input ? kAudioObjectPropertyScopeInput : kAudioObjectPropertyScopeOutput;
}

std::string writeFailure(OSStatus status) {
  return "设置音频属性失败（Core Audio " + std::to_string(status) + "）";
}

}  // namespace

bool AppModel::hasSettableMute(AudioObjectID device, bool input) const {
  const AudioObjectPropertyAddress address{kAudioDevicePropertyMute, scopeOf(input),
                                           kAudioObjectPropertyElementMain};
  bool settable = false;
  return AudioObjectHasProperty(device, &address) &&
         AudioObjectIsPropertySettable(device, &address, &settable) == 0 && settable;
}

std::optional<std::string> AppModel::writeVolume(AudioObjectID device, bool input, float value) {
  const float clamped = std::isnan(value) ? 1.0f : std::clamp(value, 0.0f, 1.0f);
  const auto elements = audio::HAL::volumeElements(device, input);
  if (elements.empty()) return kNoVolumeMessage;
  for (AudioObjectPropertyElement element : elements) {
    const AudioObjectPropertyAddress address{kAudioDevicePropertyVolumeScalar, scopeOf(input),
                                             element};
    const OSStatus status =
        AudioObjectSetPropertyData(device, &address, 0, nullptr, sizeof clamped, &clamped);
    if (status != 0) return writeFailure(status);
  }
  return std::nullopt;
}

std::optional<std::string> AppModel::writeMute(AudioObjectID device, bool input, bool muted) {
  const AudioObjectPropertyAddress address{kAudioDevicePropertyMute, scopeOf(input),
                                           kAudioObjectPropertyElementMain};
  const uint32_t value = muted ? 1 : 0;
  const OSStatus status =
      AudioObjectSetPropertyData(device, &address, 0, nullptr, sizeof value, &value);
  if (status != 0) return writeFailure(status);
  return std::nullopt;
}

void AppModel::setSystemVolume(float value) {
  const audio::AudioDevice* output = device(state_.outputID);
  if (output == nullptr) return;
  const std::string uid = output->uid;
  std::optional<std::string> failure = writeVolume(output->id, false, value);
  if (!failure && hasSettableMute(output->id, false) && state_.systemMuted) {
    failure = writeMute(output->id, false, false);
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
  showHUD(false);
  publish();
}

void AppModel::toggleSystemMute() {
  const audio::AudioDevice* output = device(state_.outputID);
  if (output == nullptr) return;
  const std::string uid = output->uid;
  std::optional<std::string> failure;
  if (hasSettableMute(output->id, false)) {
    failure = writeMute(output->id, false, !state_.systemMuted);
  } else if (!state_.volumeSupported) {
    failure = "此设备不支持系统静音。";
  } else if (state_.systemMuted) {
    const auto remembered = volumeBeforeMute_.find(uid);
    const float volume =
        remembered != volumeBeforeMute_.end() ? remembered->second : kUnmuteFallbackVolume;
    if (remembered != volumeBeforeMute_.end()) volumeBeforeMute_.erase(remembered);
    failure = writeVolume(output->id, false, volume);
  } else {
    volumeBeforeMute_[uid] = state_.systemVolume;
    failure = writeVolume(output->id, false, 0.0f);
  }
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  refresh(true);
  showHUD(false);
  publish();
}

void AppModel::setInputVolume(float value) {
  const AudioObjectID input = state_.inputID;
  std::optional<std::string> failure = writeVolume(input, true, value);
  if (!failure && hasSettableMute(input, true) && state_.inputMuted)
    failure = writeMute(input, true, false);
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  state_.inputVolume = std::isfinite(value) ? value : 1.0f;
  state_.inputMuted = false;
  volumeBeforeMute_.erase("input:" + std::to_string(input));
  showHUD(true);
  publish();
}

void AppModel::toggleInputMute() {
  const AudioObjectID input = state_.inputID;
  const std::string key = "input:" + std::to_string(input);
  std::optional<std::string> failure;
  if (hasSettableMute(input, true)) {
    failure = writeMute(input, true, !state_.inputMuted);
  } else if (state_.inputVolume) {
    if (state_.inputMuted) {
      const auto remembered = volumeBeforeMute_.find(key);
      const float volume =
          remembered != volumeBeforeMute_.end() ? remembered->second : kUnmuteFallbackVolume;
      if (remembered != volumeBeforeMute_.end()) volumeBeforeMute_.erase(remembered);
      failure = writeVolume(input, true, volume);
    } else {
      volumeBeforeMute_[key] = *state_.inputVolume;
      failure = writeVolume(input, true, 0.0f);
    }
  }
  if (failure) {
    setError(*failure);
    publish();
    return;
  }
  refresh(true);
  showHUD(true);
  publish();
}

void AppModel::showHUD(bool input) {
  const auto& advanced = state_.preferences.advanced;
  if (advanced && !advanced->interface.hudEnabled) return;
  const AudioObjectID current = input ? state_.inputID : state_.outputID;
  std::string name = input ? "输入音量" : "系统音量";
  for (const settings::DeviceBookmark& bookmark : bookmarks()) {
    const auto resolved = audio::BluetoothAudio::resolve(bookmark, input, state_.devices);
    if (resolved && resolved->id == current) {
      name = bookmark.displayName();
      break;
    }
  }
  if (!onVolumeHUD) return;
  if (input) {
    onVolumeHUD(name, state_.inputVolume.value_or(0.0f), state_.inputMuted, AudioDirection::input);
  } else {
    onVolumeHUD(name, state_.systemVolume, state_.systemMuted, AudioDirection::output);
  }
}

}  // namespace velmora::model
