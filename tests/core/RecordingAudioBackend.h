// Test double: an audio backend that records the calls the core makes through the platform layer.
#pragma once

#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

#include "platform/audio/AudioBackend.h"

namespace velmora::test {

class RecordingAudioBackend : public platform::AudioBackend {
 public:
  struct IOProcRegistration {
    AudioObjectID device;
    AudioDeviceIOProc proc;
    void* clientData;
  };
  struct PropertyWrite {
    AudioObjectID object;
    AudioObjectPropertyAddress address;
    std::vector<uint8_t> data;
  };

  OSStatus nextStatus = kAudioHardwareNoError;
  bool throwNext = false;
  std::vector<IOProcRegistration> registrations;
  std::vector<PropertyWrite> writes;
  std::map<int32_t, std::string> processPaths;

  OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                          AudioDeviceIOProcID* outID) override {
    if (throwNext) throw std::runtime_error("backend failure");
    if (nextStatus != kAudioHardwareNoError) return nextStatus;
    registrations.push_back({device, proc, clientData});
    *outID = reinterpret_cast<AudioDeviceIOProcID>(uintptr_t(0x1000 + registrations.size()));
    return kAudioHardwareNoError;
  }

  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t, const void*, uint32_t dataSize, const void* data) override {
    if (nextStatus != kAudioHardwareNoError) return nextStatus;
    const auto* bytes = static_cast<const uint8_t*>(data);
    writes.push_back({object, address, std::vector<uint8_t>(bytes, bytes + dataSize)});
    return kAudioHardwareNoError;
  }

  // The rest of the interface is not used by the core.
  using Address = AudioObjectPropertyAddress;
  static constexpr OSStatus kUnused = kAudioHardwareIllegalOperationError;
  bool hasProperty(AudioObjectID, const Address&) override { return false; }
  OSStatus isPropertySettable(AudioObjectID, const Address&, bool*) override { return kUnused; }
  OSStatus getPropertyDataSize(AudioObjectID, const Address&, uint32_t*) override {
    return kUnused;
  }
  OSStatus getPropertyData(AudioObjectID, const Address&, uint32_t*, void*) override {
    return kUnused;
  }
  OSStatus getPropertyString(AudioObjectID, const Address&, std::string*) override {
    return kUnused;
  }
  OSStatus getPropertyStrings(AudioObjectID, const Address&, std::vector<std::string>*) override {
    return kUnused;
  }
  OSStatus createProcessTap(const platform::TapDescription&, AudioObjectID*) override {
    return kUnused;
  }
  OSStatus destroyProcessTap(AudioObjectID) override { return kUnused; }
  OSStatus createAggregateDevice(const platform::AggregateDeviceDescription&,
                                 AudioObjectID*) override {
    return kUnused;
  }
  OSStatus destroyAggregateDevice(AudioObjectID) override { return kUnused; }
  OSStatus destroyIOProcID(AudioObjectID, AudioDeviceIOProcID) override { return kUnused; }
  OSStatus startDevice(AudioObjectID, AudioDeviceIOProcID) override { return kUnused; }
  OSStatus stopDevice(AudioObjectID, AudioDeviceIOProcID) override { return kUnused; }

  std::optional<std::string> processPath(int32_t pid) override {
    const auto found = processPaths.find(pid);
    if (found == processPaths.end()) return std::nullopt;
    return found->second;
  }
};

// Installs a backend for the scope of a test.
class ScopedBackend {
 public:
  explicit ScopedBackend(platform::AudioBackend* backend)
      : previous_(platform::installAudioBackend(backend)) {}
  ~ScopedBackend() { platform::installAudioBackend(previous_); }
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;

 private:
  platform::AudioBackend* previous_;
};

}  // namespace velmora::test
