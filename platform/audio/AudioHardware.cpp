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

using velmora::platform::installedAudioBackend;

namespace {
// These calls stand in for a C interface: a backend's exception must not unwind through callers
// such as the processing core.
template <class Call>
OSStatus guarded(Call&& call) {
  try {
    return call();
  } catch (...) {
    return kAudioHardwareUnspecifiedError;
  }
}
}  // namespace

OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                   AudioDeviceIOProcID* outID) {
  if (outID == nullptr || proc == nullptr) return kAudio_ParamError;
  auto* backend = installedAudioBackend();
  if (backend == nullptr) return kAudioHardwareNotRunningError;
  return guarded([&] { return backend->createIOProcID(device, proc, clientData, outID); });
}

OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t qualifierSize, const void* qualifier,
                                    uint32_t dataSize, const void* data) {
  if (address == nullptr || (dataSize > 0 && data == nullptr)) return kAudio_ParamError;
  auto* backend = installedAudioBackend();
  if (backend == nullptr) return kAudioHardwareNotRunningError;
  return guarded([&] {
    return backend->setPropertyData(object, *address, qualifierSize, qualifier, dataSize, data);
  });
}
