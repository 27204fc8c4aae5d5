// Test harness: the audio engine on a simulated machine, in virtual time. Sound is rendered on
// the test thread while the engine works on its own queue, as on a real machine.
#pragma once

#include <gtest/gtest.h>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/AudioEngine.h"
#include "audio/HAL.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/Goertzel.h"
#include "tests/support/ScenarioBuilders.h"

namespace velmora::test {

using namespace velmora::platform::sim;

inline constexpr double kMusic = 440.0;  // pid 100, level 0.5
inline constexpr double kGame = 1000.0;  // pid 200, level 0.25

// An application's settings, without spelling every field.
inline settings::AppLevel level(float volume = 1.0f, bool muted = false,
                                std::optional<std::string> output = {}) {
  settings::AppLevel level;
  level.volume = volume;
  level.muted = muted;
  level.outputDeviceID = std::move(output);
  return level;
}

inline Scenario engineMachine() {
  Scenario s;
  s.devices = {simDevice("speakers", "Speakers", {2}), simDevice("dac", "USB DAC", {2}),
               simDevice("phones", "Headset", {2}, {1}), simDevice("mono", "Mono Speaker", {1}),
               simDevice("surround", "Surround", {3})};
  s.defaultOutputUID = "speakers";
  s.processes = {{100, "com.example.music", "/opt/music", {{kMusic, 0.5f}}, true, {}},
                 {200, "com.example.game", "/opt/game", {{kGame, 0.25f}}, true, {}},
                 {300, "com.example.chat", "/opt/chat", {{330.0, 0.5f}}, false, {}}};
  return s;
}

class EngineHarness {
 public:
  explicit EngineHarness(const Scenario& scenario = engineMachine())
      : machine(scenario),
        mainQueue(clock),
        engine(mainQueue, clock, [this](double) { ++pauses; }) {
    engine.setOnStatus([this](const audio::AudioEngine::Statuses& s) { statuses = s; });
  }

  SimulatedAudioSystem& audio() { return machine.audio(); }

  // One reconciliation with the current settings, waited for.
  void update() {
    std::map<std::string, audio::AudioDevice> routeDevices;
    std::optional<std::string> defaultKey;
    const AudioObjectID defaultID =
        audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                         kAudioHardwarePropertyDefaultOutputDevice)
            .value_or(0);
    for (const audio::AudioDevice& device : audio::AudioDevice::all()) {
      if (device.outputs == 0) continue;
      routeDevices["audio:" + device.uid] = device;
      if (device.id == defaultID) defaultKey = "audio:" + device.uid;
    }
    engine.update(audio::AudioApp::all(), defaultKey, routeDevices, enabled, levels, advanced,
                  solo);
    settle();
  }
  // Waits for the engine and delivers what it published.
  void settle() {
    engine.queue().sync([] {});
    mainQueue.runPending();
  }
  // Updates, plays long enough for the callbacks to run and the meters to fill, and updates again.
  void playAndUpdate(uint32_t periods = 12) {
    update();
    audio().render(periods);
    update();
  }
  double tone(const std::string& uid, double frequency) {
    audio().render(10);
    return toneAmplitude(audio().meter(uid).recent(0, 4096), frequency);
  }
  const audio::AppAudioStatus& status(const std::string& appID) { return statuses.at(appID); }

  SimulatedMachine machine;
  platform::ManualClock clock;
  platform::ManualScheduler mainQueue;
  int pauses = 0;
  audio::AudioEngine engine;

  bool enabled = true;
  std::map<std::string, settings::AppLevel> levels;
  settings::AdvancedPreferences advanced;
  std::optional<std::string> solo;
  audio::AudioEngine::Statuses statuses;
};

}  // namespace velmora::test
