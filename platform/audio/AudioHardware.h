// The platform audio calls, shaped like the system calls they stand in for. Each dispatches to
// the installed backend; with none installed there is no audio system and they fail with
// kAudioHardwareNotRunningError.
#pragma once

#include <cstdint>

#include "platform/audio/AudioTypes.h"

OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                   AudioDeviceIOProcID* outID);

OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t qualifierSize, const void* qualifier,
                                    uint32_t dataSize, const void* data);
