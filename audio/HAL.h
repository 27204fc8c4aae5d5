// Small helpers over the platform's audio properties. Unreadable properties give neutral values
// (empty text or list, 0, no volume); only check() turns a status into an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/AudioHardware.h"
#include "settings/AudioDirection.h"

namespace velmora::audio::HAL {

std::vector<AudioObjectID> objects(
    AudioObjectID object, AudioObjectPropertySelector selector,
    AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal);
// Total channels of a device's stream configuration in the scope.
int channels(AudioObjectID device, AudioObjectPropertyScope scope);
std::string string(AudioObjectID object, AudioObjectPropertySelector selector);
std::vector<std::string> strings(AudioObjectID object, AudioObjectPropertySelector selector);
// The elements that carry a settable volume: [0], or channels 1...n, or none.
std::vector<AudioObjectPropertyElement> volumeElements(AudioObjectID device,
                                                       settings::AudioDirection direction);
// The mean volume over those elements (an unreadable element counts as 1.0); none without any.
std::optional<float> volume(AudioObjectID device, settings::AudioDirection direction);
// The device scope of a direction.
AudioObjectPropertyScope scope(settings::AudioDirection direction);
// The message of a failed write: "设置音频属性失败（<audio system> n）", the system named by
// the installed backend.
std::string writeFailure(OSStatus status);
// Throws AudioFailure naming the operation when status is not 0.
void check(OSStatus status, const std::string& operation);

// A fixed-size value; none when it cannot be read.
template <class T>
std::optional<T> value(AudioObjectID object, AudioObjectPropertySelector selector,
                       AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal,
                       AudioObjectPropertyElement element = kAudioObjectPropertyElementMain) {
  const AudioObjectPropertyAddress address{selector, scope, element};
  T result{};
  uint32_t size = sizeof(T);
  if (AudioObjectGetPropertyData(object, &address, 0, nullptr, &size, &result) != 0 ||
      size != sizeof(T)) {
    return std::nullopt;
  }
  return result;
}

}  // namespace velmora::audio::HAL
