#include "audio/HAL.h"

#include "audio/AudioFailure.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/AudioHardware.h"

namespace velmora::audio::HAL {

std::vector<AudioObjectID> objects(AudioObjectID object, AudioObjectPropertySelector selector,
                                   AudioObjectPropertyScope scope) {
  const AudioObjectPropertyAddress address{selector, scope, kAudioObjectPropertyElementMain};
  uint32_t size = 0;
  if (AudioObjectGetPropertyDataSize(object, &address, 0, nullptr, &size) != 0 || size == 0)
    return {};
  std::vector<AudioObjectID> ids(size / sizeof(AudioObjectID));
  size = uint32_t(ids.size() * sizeof(AudioObjectID));
  if (ids.empty() ||
      AudioObjectGetPropertyData(object, &address, 0, nullptr, &size, ids.data()) != 0) {
    return {};
  }
  ids.resize(size / sizeof(AudioObjectID));
  return ids;
}

int channels(AudioObjectID device, AudioObjectPropertyScope scope) {
  const AudioObjectPropertyAddress address{kAudioDevicePropertyStreamConfiguration, scope,
                                           kAudioObjectPropertyElementMain};
  uint32_t size = 0;
  if (AudioObjectGetPropertyDataSize(device, &address, 0, nullptr, &size) != 0 ||
      size < AudioBufferListSize(1)) {
    return 0;
  }
  // Whole buffers only, aligned for the list's pointers.
  std::vector<AudioBuffer> storage(size / sizeof(AudioBuffer) + 1);
  if (AudioObjectGetPropertyData(device, &address, 0, nullptr, &size, storage.data()) != 0 ||
      size < AudioBufferListSize(1)) {
    return 0;
  }
  const auto* list = reinterpret_cast<const AudioBufferList*>(storage.data());
  const uint32_t fits = uint32_t((size - AudioBufferListSize(0)) / sizeof(AudioBuffer));
  int total = 0;
  for (uint32_t b = 0; b < list->numberBuffers && b < fits; ++b) {
    total += int(list->buffers[b].numberChannels);
  }
  return total;
}

std::string string(AudioObjectID object, AudioObjectPropertySelector selector) {
  const AudioObjectPropertyAddress address{selector, kAudioObjectPropertyScopeGlobal,
                                           kAudioObjectPropertyElementMain};
  std::string text;
  if (AudioObjectGetPropertyString(object, &address, &text) != 0) return {};
  return text;
}

std::vector<std::string> strings(AudioObjectID object, AudioObjectPropertySelector selector) {
  const AudioObjectPropertyAddress address{selector, kAudioObjectPropertyScopeGlobal,
                                           kAudioObjectPropertyElementMain};
  std::vector<std::string> list;
  if (AudioObjectGetPropertyStrings(object, &address, &list) != 0) return {};
  return list;
}

AudioObjectPropertyScope scope(settings::AudioDirection direction) {
  return settings::isInput(direction) ? kAudioObjectPropertyScopeInput
                                      : kAudioObjectPropertyScopeOutput;
}

std::vector<AudioObjectPropertyElement> volumeElements(AudioObjectID device,
                                                       settings::AudioDirection direction) {
  const AudioObjectPropertyScope deviceScope = scope(direction);
  auto settableVolume = [&](AudioObjectPropertyElement element) {
    const AudioObjectPropertyAddress address{kAudioDevicePropertyVolumeScalar, deviceScope,
                                             element};
    bool settable = false;
    return AudioObjectHasProperty(device, &address) &&
           AudioObjectIsPropertySettable(device, &address, &settable) == 0 && settable;
  };
  if (settableVolume(kAudioObjectPropertyElementMain)) return {kAudioObjectPropertyElementMain};
  std::vector<AudioObjectPropertyElement> elements;
  const int count = channels(device, deviceScope);
  for (int element = 1; element <= count; ++element) {
    if (settableVolume(AudioObjectPropertyElement(element)))
      elements.push_back(AudioObjectPropertyElement(element));
  }
  return elements;
}

std::optional<float> volume(AudioObjectID device, settings::AudioDirection direction) {
  const auto elements = volumeElements(device, direction);
  if (elements.empty()) return std::nullopt;
  float sum = 0.0f;
  for (AudioObjectPropertyElement element : elements) {
    sum += value<float>(device, kAudioDevicePropertyVolumeScalar, scope(direction), element)
               .value_or(1.0f);
  }
  return sum / float(elements.size());
}

namespace {

// The installed backend names its audio system; none installed is the platform's own.
std::string failureText(const std::string& operation, OSStatus status) {
  const platform::AudioBackend* backend = platform::installedAudioBackend();
  const std::string system = backend != nullptr ? backend->systemName() : "Core Audio";
  return operation + "失败（" + system + " " + std::to_string(status) + "）";
}

}  // namespace

void check(OSStatus status, const std::string& operation) {
  if (status == 0) return;
  throw AudioFailure(failureText(operation, status));
}

std::string writeFailure(OSStatus status) { return failureText("设置音频属性", status); }

}  // namespace velmora::audio::HAL
