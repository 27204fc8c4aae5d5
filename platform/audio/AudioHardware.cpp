#include "platform/audio/AudioHardware.h"

#include <atomic>

#include "platform/audio/AudioBackend.h"

namespace velmora::platform {
namespace {
// Lives in the platform's shared library so that every library of the process sees the same one.
std::atomic<AudioBackend*> installed{nullptr};
}  // namespace

AudioBackend* installAudioBackend(AudioBackend* backend) {
  return installed.exchange(backend, std::memory_order_acq_rel);
}

AudioBackend* installedAudioBackend() { return installed.load(std::memory_order_acquire); }

}  // namespace velmora::platform

namespace {

using velmora::platform::AudioBackend;

// These calls stand in for a C interface: a backend's exception must not unwind through callers
// such as the processing core.
template <class Call>
OSStatus dispatch(Call&& call) {
  AudioBackend* backend = velmora::platform::installedAudioBackend();
  if (backend == nullptr) return kAudioHardwareNotRunningError;
  try {
    return call(*backend);
  } catch (...) {
    return kAudioHardwareUnspecifiedError;
  }
}

}  // namespace

bool AudioObjectHasProperty(AudioObjectID object, const AudioObjectPropertyAddress* address) {
  if (address == nullptr) return false;
  bool has = false;
  dispatch([&](AudioBackend& b) {
    has = b.hasProperty(object, *address);
    return kAudioHardwareNoError;
  });
  return has;
}

OSStatus AudioObjectIsPropertySettable(AudioObjectID object,
                                       const AudioObjectPropertyAddress* address,
                                       bool* outIsSettable) {
  if (address == nullptr || outIsSettable == nullptr) return kAudio_ParamError;
  return dispatch(
      [&](AudioBackend& b) { return b.isPropertySettable(object, *address, outIsSettable); });
}

OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object,
                                        const AudioObjectPropertyAddress* address, uint32_t,
                                        const void*, uint32_t* outDataSize) {
  if (address == nullptr || outDataSize == nullptr) return kAudio_ParamError;
  return dispatch(
      [&](AudioBackend& b) { return b.getPropertyDataSize(object, *address, outDataSize); });
}

OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t, const void*, uint32_t* ioDataSize, void* outData) {
  if (address == nullptr || ioDataSize == nullptr || (*ioDataSize > 0 && outData == nullptr)) {
    return kAudio_ParamError;
  }
  return dispatch(
      [&](AudioBackend& b) { return b.getPropertyData(object, *address, ioDataSize, outData); });
}

OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t qualifierSize, const void* qualifier,
                                    uint32_t dataSize, const void* data) {
  if (address == nullptr || (dataSize > 0 && data == nullptr)) return kAudio_ParamError;
  return dispatch([&](AudioBackend& b) {
    return b.setPropertyData(object, *address, qualifierSize, qualifier, dataSize, data);
  });
}

OSStatus AudioObjectGetPropertyString(AudioObjectID object,
                                      const AudioObjectPropertyAddress* address,
                                      std::string* outValue) {
  if (address == nullptr || outValue == nullptr) return kAudio_ParamError;
  return dispatch([&](AudioBackend& b) { return b.getPropertyString(object, *address, outValue); });
}

OSStatus AudioObjectGetPropertyStrings(AudioObjectID object,
                                       const AudioObjectPropertyAddress* address,
                                       std::vector<std::string>* outValue) {
  if (address == nullptr || outValue == nullptr) return kAudio_ParamError;
  return dispatch(
      [&](AudioBackend& b) { return b.getPropertyStrings(object, *address, outValue); });
}

OSStatus AudioHardwareCreateProcessTap(const velmora::platform::TapDescription& description,
                                       AudioObjectID* outTap) {
  if (outTap == nullptr) return kAudio_ParamError;
  return dispatch([&](AudioBackend& b) { return b.createProcessTap(description, outTap); });
}

OSStatus AudioHardwareDestroyProcessTap(AudioObjectID tap) {
  return dispatch([&](AudioBackend& b) { return b.destroyProcessTap(tap); });
}

OSStatus AudioHardwareCreateAggregateDevice(
    const velmora::platform::AggregateDeviceDescription& description, AudioObjectID* outDevice) {
  if (outDevice == nullptr) return kAudio_ParamError;
  return dispatch([&](AudioBackend& b) { return b.createAggregateDevice(description, outDevice); });
}

OSStatus AudioHardwareDestroyAggregateDevice(AudioObjectID device) {
  return dispatch([&](AudioBackend& b) { return b.destroyAggregateDevice(device); });
}

OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                   AudioDeviceIOProcID* outID) {
  if (outID == nullptr || proc == nullptr) return kAudio_ParamError;
  return dispatch(
      [&](AudioBackend& b) { return b.createIOProcID(device, proc, clientData, outID); });
}

OSStatus AudioDeviceDestroyIOProcID(AudioObjectID device, AudioDeviceIOProcID procID) {
  return dispatch([&](AudioBackend& b) { return b.destroyIOProcID(device, procID); });
}

OSStatus AudioDeviceStart(AudioObjectID device, AudioDeviceIOProcID procID) {
  return dispatch([&](AudioBackend& b) { return b.startDevice(device, procID); });
}

OSStatus AudioDeviceStop(AudioObjectID device, AudioDeviceIOProcID procID) {
  return dispatch([&](AudioBackend& b) { return b.stopDevice(device, procID); });
}
