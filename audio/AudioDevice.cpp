#include "audio/AudioDevice.h"

#include "audio/HAL.h"
#include "audio/NaturalOrder.h"
#include "settings/UTF8.h"

namespace velmora::audio {

std::vector<AudioDevice> AudioDevice::all() {
  std::vector<AudioDevice> devices;
  for (AudioObjectID id : HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyDevices)) {
    std::string uid = HAL::string(id, kAudioDevicePropertyDeviceUID);
    if (uid.starts_with(kAggregateUIDPrefix)) continue;
    const auto alive = HAL::value<uint32_t>(id, kAudioDevicePropertyDeviceIsAlive);
    if (!alive || *alive == 0) continue;
    devices.push_back(
        AudioDevice{id, std::move(uid),
                    settings::replacingInvalidUTF8(HAL::string(id, kAudioObjectPropertyName)),
                    HAL::channels(id, kAudioObjectPropertyScopeInput),
                    HAL::channels(id, kAudioObjectPropertyScopeOutput),
                    HAL::value<uint32_t>(id, kAudioDevicePropertyTransportType).value_or(0)});
  }
  sortByName(devices, [](const AudioDevice& device) -> const std::string& { return device.name; });
  return devices;
}

}  // namespace velmora::audio
