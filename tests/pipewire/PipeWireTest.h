// The fixture of the tests on the private session: the children a test starts end with it; and
// what the tests read from the server (devices, processes, the default sink, a monitor's level).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <list>

#include "audio/AudioDevice.h"
#include "audio/HAL.h"
#include "tests/pipewire/PipeWireSession.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Goertzel.h"

namespace velmora::test {

// Skips the calling test when the session is not there, or fails it when
// VELMORA_REQUIRE_INTEGRATION=1.
#define VELMORA_REQUIRE_PIPEWIRE() VELMORA_REQUIRE(::velmora::test::pw::startSession())

class PipeWireTest : public ::testing::Test {
 protected:
  void SetUp() override { VELMORA_REQUIRE_PIPEWIRE(); }
  pid_t play(std::vector<std::string> args) {
    children_.emplace_back().start(std::move(args));
    return children_.back().pid();
  }
  // Reaped at once: a process not yet reaped still counts as alive.
  void killChild(pid_t pid) {
    for (ChildProcess& child : children_) {
      if (child.pid() != pid) continue;
      child.signal(SIGKILL);
      child.wait();
    }
  }

  std::list<ChildProcess> children_;
};

inline AudioObjectID deviceID(const std::string& uid) {
  for (const audio::AudioDevice& device : audio::AudioDevice::all())
    if (device.uid == uid) return device.id;
  return 0;
}

// The process object of `pid`, 0 while there is none.
inline AudioObjectID processOf(pid_t pid) {
  for (AudioObjectID id :
       audio::HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList))
    if (audio::HAL::value<int32_t>(id, kAudioProcessPropertyPID) == pid) return id;
  return 0;
}

inline std::string defaultSink() {
  const auto id = audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                                   kAudioHardwarePropertyDefaultOutputDevice);
  for (const audio::AudioDevice& device : audio::AudioDevice::all())
    if (id == device.id) return device.uid;
  return "";
}

// Channel 0 of `sink`'s monitor at `frequency`, in dB against a tone of peak 0.5.
inline double dB(const std::string& sink, double frequency = 440.0) {
  const int channels = sink == "test-sink-mono" ? 1 : 2;
  const double amplitude = toneAmplitude(pw::recordMonitor(sink, channels, 0.5), frequency);
  return 20.0 * std::log10(std::max(amplitude, 1e-9) / 0.5);
}

// Anything of ours the server still holds: nodes, and marks in the metadata.
inline bool nothingOfOurs() {
  return commandOutput("pw-dump").find("com.local.Ombrel") == std::string::npos;
}

// A stereo null sink made (or destroyed) with the server's own tool; `extra` adds properties.
inline bool createSink(const std::string& name, const std::string& extra = "") {
  return pw::run({"pw-cli", "create-node", "adapter",
                  "{ factory.name = support.null-audio-sink node.name = " + name +
                      " media.class = Audio/Sink audio.position = [ FL FR ] object.linger = "
                      "true monitor.channel-volumes = true " +
                      extra + " }"}) == 0;
}
inline void destroyDevice(AudioObjectID id) {
  pw::run({"pw-cli", "destroy", std::to_string(pw::backend().serverID(id))});
}

}  // namespace velmora::test
