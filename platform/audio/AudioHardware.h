// The platform audio calls, shaped like the system calls they stand in for. Each dispatches to
// the installed backend; with none installed there is no audio system and they fail with
// kAudioHardwareNotRunningError. Text-valued properties have calls of their own, returning
// plain strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/AggregateDeviceDescription.h"
#include "platform/audio/AudioTypes.h"
#include "platform/audio/TapDescription.h"

bool AudioObjectHasProperty(AudioObjectID object, const AudioObjectPropertyAddress* address);
OSStatus AudioObjectIsPropertySettable(AudioObjectID object,
                                       const AudioObjectPropertyAddress* address,
                                       bool* outIsSettable);
OSStatus AudioObjectGetPropertyDataSize(AudioObjectID object,
                                        const AudioObjectPropertyAddress* address,
                                        uint32_t qualifierSize, const void* qualifier,
                                        uint32_t* outDataSize);
OSStatus AudioObjectGetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t qualifierSize, const void* qualifier,
                                    uint32_t* ioDataSize, void* outData);
OSStatus AudioObjectSetPropertyData(AudioObjectID object, const AudioObjectPropertyAddress* address,
                                    uint32_t qualifierSize, const void* qualifier,
                                    uint32_t dataSize, const void* data);

OSStatus AudioObjectGetPropertyString(AudioObjectID object,
                                      const AudioObjectPropertyAddress* address,
                                      std::string* outValue);
OSStatus AudioObjectGetPropertyStrings(AudioObjectID object,
                                       const AudioObjectPropertyAddress* address,
                                       std::vector<std::string>* outValue);

OSStatus AudioHardwareCreateProcessTap(const velmora::platform::TapDescription& description,
                                       AudioObjectID* outTap);
OSStatus AudioHardwareDestroyProcessTap(AudioObjectID tap);
OSStatus AudioHardwareCreateAggregateDevice(
    const velmora::platform::AggregateDeviceDescription& description, AudioObjectID* outDevice);
OSStatus AudioHardwareDestroyAggregateDevice(AudioObjectID device);

OSStatus AudioDeviceCreateIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                                   AudioDeviceIOProcID* outID);
OSStatus AudioDeviceDestroyIOProcID(AudioObjectID device, AudioDeviceIOProcID procID);
OSStatus AudioDeviceStart(AudioObjectID device, AudioDeviceIOProcID procID);
OSStatus AudioDeviceStop(AudioObjectID device, AudioDeviceIOProcID procID);
