// The interface every audio backend implements (the simulated audio system, a desktop audio
// server). The free functions of AudioHardware.h dispatch to the one installed backend.
//
// Threading: calls arrive from the main thread and the engine's queue, never from an I/O
// thread; a backend may block them for a bounded time. Rules every backend keeps: an object id
// is never reused within a run; reads come from the backend's own up-to-date picture and a
// successful write is visible to the next read; a process object is one process for its whole
// life, and a tap captures its current and future streams.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/AggregateDeviceDescription.h"
#include "platform/audio/AudioTypes.h"
#include "platform/audio/TapDescription.h"

namespace velmora::platform {

// What the audio system knows about the application behind a process, for finding its desktop
// entry, name and icon; empty fields when it does not say.
struct AudioClientApplication {
  std::string id;
  std::string name;
  std::string iconName;

  bool operator==(const AudioClientApplication&) const = default;
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // Properties whose values are plain data (numbers, id lists, stream descriptions, buffer lists).
  virtual bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) = 0;
  virtual OSStatus isPropertySettable(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address,
                                      bool* settable) = 0;
  virtual OSStatus getPropertyDataSize(AudioObjectID object,
                                       const AudioObjectPropertyAddress& address,
                                       uint32_t* size) = 0;
  // On entry *size is the room at data; on success it is the number of bytes written.
  virtual OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   uint32_t* size, void* data) = 0;
  virtual OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   uint32_t qualifierSize, const void* qualifier, uint32_t dataSize,
                                   const void* data) = 0;

  // Properties whose values are text or lists of text.
  virtual OSStatus getPropertyString(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address,
                                     std::string* value) = 0;
  virtual OSStatus getPropertyStrings(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address,
                                      std::vector<std::string>* value) = 0;

  virtual OSStatus createProcessTap(const TapDescription& description, AudioObjectID* tap) = 0;
  virtual OSStatus destroyProcessTap(AudioObjectID tap) = 0;
  virtual OSStatus createAggregateDevice(const AggregateDeviceDescription& description,
                                         AudioObjectID* device) = 0;
  virtual OSStatus destroyAggregateDevice(AudioObjectID device) = 0;

  virtual OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                  AudioDeviceIOProcID* outID) = 0;
  virtual OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) = 0;
  virtual OSStatus startDevice(AudioObjectID device, AudioDeviceIOProcID id) = 0;
  // Returns only after the I/O proc's last call has returned: the caller frees the proc's client
  // data right after (a tap session destroys its processing state). Every backend keeps this,
  // whatever thread its I/O runs on; it is never called from the I/O thread itself.
  virtual OSStatus stopDevice(AudioObjectID device, AudioDeviceIOProcID id) = 0;

  // The executable path of a process this backend knows, or nothing.
  virtual std::optional<std::string> processPath(int32_t pid) = 0;

  // The audio system's name in failure texts ("…失败（PipeWire n）").
  virtual std::string systemName() const { return "Core Audio"; }
  // pid -> application, for the processes that play through this backend; empty when the
  // system carries no such records.
  virtual std::map<int32_t, AudioClientApplication> clientApplications() { return {}; }
};

// Installs `backend` for the whole process (null uninstalls) and returns the one it replaces.
// The caller keeps ownership and must keep it alive while it is installed.
AudioBackend* installAudioBackend(AudioBackend* backend);

AudioBackend* installedAudioBackend();

}  // namespace velmora::platform
