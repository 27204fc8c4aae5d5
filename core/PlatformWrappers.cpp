// The core's thin wrappers over the platform audio layer: registering the render cycle as an
// I/O proc, choosing the tap's input streams, and a process's executable path. Called from the
// engine's queue, never from the I/O thread.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/ProcessingCore.h"
#include "platform/audio/AudioHardware.h"
#include "platform/process/ProcessPath.h"

extern "C" {

OSStatus OMIOProc(AudioObjectID, const AudioTimeStamp*, const AudioBufferList* inputData,
                  const AudioTimeStamp*, AudioBufferList* outputData, const AudioTimeStamp*,
                  void* clientData) {
  OMRender(static_cast<OMState*>(clientData), inputData, outputData);
  return kAudioHardwareNoError;
}

OSStatus OMRegisterIOProc(AudioObjectID device, OMState* state, AudioDeviceIOProcID* outID) {
  return AudioDeviceCreateIOProcID(device, OMIOProc, state, outID);
}

OSStatus OMEnableTapInputsOnly(AudioObjectID device, AudioDeviceIOProcID ioProc,
                               uint32_t inputStreamCount, uint32_t tapStreamCount) {
  if (inputStreamCount == 0 || inputStreamCount < tapStreamCount) {
    return kAudioHardwareIllegalOperationError;
  }
  const size_t size = AudioHardwareIOProcStreamUsageSize(inputStreamCount);
  // A record whose size does not fit the property write's 32-bit size cannot be described.
  if (size > std::numeric_limits<uint32_t>::max()) return kAudioHardwareUnspecifiedError;
  auto* usage = static_cast<AudioHardwareIOProcStreamUsage*>(std::calloc(1, size));
  if (usage == nullptr) return kAudioHardwareUnspecifiedError;
  usage->ioProc = ioProc;
  usage->numberStreams = inputStreamCount;
  // The tap's streams come last; the hardware inputs in front of them stay off.
  for (uint32_t stream = inputStreamCount - tapStreamCount; stream < inputStreamCount; ++stream) {
    usage->streamIsOn[stream] = 1;
  }
  const AudioObjectPropertyAddress address{kAudioDevicePropertyIOProcStreamUsage,
                                           kAudioObjectPropertyScopeInput,
                                           kAudioObjectPropertyElementMain};
  const OSStatus status =
      AudioObjectSetPropertyData(device, &address, 0, nullptr, uint32_t(size), usage);
  std::free(usage);
  return status;
}

int32_t OMProcessPath(int32_t pid, char* buffer, uint32_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  buffer[0] = '\0';
  try {
    const auto path = velmora::platform::processExecutablePath(pid);
    if (!path || path->empty() || path->size() >= bufferSize ||
        path->size() > size_t(std::numeric_limits<int32_t>::max())) {
      return 0;
    }
    std::memcpy(buffer, path->data(), path->size());
    buffer[path->size()] = '\0';
    return int32_t(path->size());
  } catch (...) {
    // Nothing may unwind through the C interface.
    return 0;
  }
}

}  // extern "C"
