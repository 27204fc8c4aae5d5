// The interface every audio backend implements (the simulated audio system, a desktop audio
// server). The free functions of AudioHardware.h dispatch to the one installed backend.
//
// Threading: calls arrive from the main thread and the engine's queue, never from an I/O
// thread; a backend may block them for a bounded time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform {

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  virtual OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                  AudioDeviceIOProcID* outID) = 0;

  virtual OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   uint32_t qualifierSize, const void* qualifier, uint32_t dataSize,
                                   const void* data) = 0;

  // The executable path of a process this backend knows, or nothing.
  virtual std::optional<std::string> processPath(int32_t pid) = 0;
};

// Installs `backend` for the whole process (null uninstalls) and returns the one it replaces.
// The caller keeps ownership and must keep it alive while it is installed.
AudioBackend* installAudioBackend(AudioBackend* backend);

AudioBackend* installedAudioBackend();

}  // namespace velmora::platform
