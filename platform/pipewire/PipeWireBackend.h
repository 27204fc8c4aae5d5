// The audio backend for PipeWire (with WirePlumber as its session manager): devices,
// applications, device volumes and mutes, default devices, executable paths.
//
// Threading: one connection runs on a thread loop of its own ("velmora-pw"), which keeps the
// backend's picture of the server current. The AudioBackend calls come from the main thread and
// the engine's queue; each takes the loop's lock, reads the picture without asking the server,
// and a write waits (at most kWriteTimeoutMs) for the server to echo it, so a successful write is
// visible to the next read. While the server is away every call fails with
// kAudioHardwareNotRunningError and the loop reconnects with back-off; after a reconnect every
// object has a new id.
//
// Per-application processing: a tap names processes; an aggregate is a capture stream plus one
// playback stream per output device, and starting it moves the tapped processes' streams into
// the capture through the session manager's target metadata (put back as it was on stop). If
// the program dies, the session manager gives the applications back by itself, and the next
// start puts back the targets they had before.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/AudioBackend.h"

namespace velmora::platform::pipewire {

class PipeWireBackend final : public AudioBackend {
 public:
  static constexpr int kWriteTimeoutMs = 500;

  struct Options {
    std::string procRoot = "/proc";
    // The first and longest wait between connection attempts.
    int firstRetryMs = 100;
    int longestRetryMs = 5000;
    // Outputs pushed in the capture's own cycle (no added quantum); off, the graph schedules
    // them a quantum or more later. A switch for servers whose triggering misbehaves.
    bool triggerOutputs = true;
  };

  PipeWireBackend();
  explicit PipeWireBackend(Options options);
  ~PipeWireBackend() override;
  PipeWireBackend(const PipeWireBackend&) = delete;
  PipeWireBackend& operator=(const PipeWireBackend&) = delete;

  // Connected, with the server's objects mirrored.
  bool connected() const;
  // Waits, at most `timeoutMs`, until connected and mirrored; returns connected().
  bool waitUntilConnected(int timeoutMs);
  // Waits, at most `timeoutMs`, until the server has answered everything sent before: the
  // picture then holds every change the server announced until now. False on time-out or loss.
  bool sync(int timeoutMs);
  // The server's own id of a device, for tests that check the server reused one.
  uint32_t serverID(AudioObjectID device) const;
  // The server's ids of a process's output streams, for tests that set their metadata.
  std::vector<uint32_t> serverStreams(int32_t pid) const;

  // AudioBackend.
  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* settable) override;
  OSStatus getPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                               uint32_t* size) override;
  OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t* size, void* data) override;
  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t qualifierSize, const void* qualifier, uint32_t dataSize,
                           const void* data) override;
  OSStatus getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::string* value) override;
  OSStatus getPropertyStrings(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              std::vector<std::string>* value) override;
  OSStatus createProcessTap(const TapDescription& description, AudioObjectID* tap) override;
  OSStatus destroyProcessTap(AudioObjectID tap) override;
  OSStatus createAggregateDevice(const AggregateDeviceDescription& description,
                                 AudioObjectID* device) override;
  OSStatus destroyAggregateDevice(AudioObjectID device) override;
  OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                          AudioDeviceIOProcID* outID) override;
  OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) override;
  OSStatus startDevice(AudioObjectID device, AudioDeviceIOProcID id) override;
  OSStatus stopDevice(AudioObjectID device, AudioDeviceIOProcID id) override;
  std::optional<std::string> processPath(int32_t pid) override;
  std::string systemName() const override { return "PipeWire"; }
  std::map<int32_t, AudioClientApplication> clientApplications() override;

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace velmora::platform::pipewire
