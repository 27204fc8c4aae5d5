// Test harness: the application model with its services on a simulated machine, in virtual
// time, with its settings file in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "audio/HAL.h"
#include "model/AppModel.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/Goertzel.h"
#include "tests/support/ScenarioBuilders.h"

namespace velmora::test {

using namespace velmora::platform::sim;
using settings::AudioDirection;
using IDs = std::vector<std::string>;
inline constexpr const char* kMusic = "com.example.music";

inline Scenario modelMachine() {
  Scenario s;
  s.devices = {simDevice("speakers", "Speakers", {2}), simDevice("dac", "USB DAC", {2}),
               simDevice("mic", "Microphone", {}, {1})};
  s.devices[0].output.volume = {{0, 0.5f, true}};
  s.devices[0].output.mute = MuteControl{};
  s.devices[1].output.volume = {{1, 0.8f, true}, {2, 0.8f, true}};  // no hardware mute
  s.devices[2].input.volume = {{0, 0.7f, true}};
  s.defaultOutputUID = "speakers";
  s.defaultInputUID = "mic";
  s.processes = {{100, "com.example.music", "/opt/music", {{440.0, 0.5f}}, true, {}},
                 {200, "com.example.game", "/opt/game", {{1000.0, 0.25f}}, true, {}}};
  return s;
}

// Paired Bluetooth headphones, switched off, next to the machine above.
inline constexpr const char* kHeadphonesAddress = "a4:c3:f0:85:1e:22";
inline constexpr const char* kHeadphonesID = "bluetooth:A4-C3-F0-85-1E-22";
inline Scenario withHeadphones() {
  Scenario s = modelMachine();
  s.pairedDevices = {{kHeadphonesAddress, "降噪耳机", {0x110B}, 4, false}};
  return s;
}

// The headphones' audio device, as it appears once they are connected.
inline constexpr const char* kHeadphonesUID = "A4-C3-F0-85-1E-22:output";
inline ScenarioDevice headphonesAudio(const std::string& uid = kHeadphonesUID) {
  ScenarioDevice device = simDevice(uid, "降噪耳机", {2});
  device.transport = kAudioDeviceTransportTypeBluetooth;
  return device;
}

class ModelHarness {
 public:
  explicit ModelHarness(const Scenario& scenario = modelMachine(), bool start = true)
      : machine(scenario), folder(freshFolder()), mainQueue(clock) {
    if (start) startModel();
  }
  ~ModelHarness() {
    machine.bluetooth().holdConnections(false);  // a held connection would block the model's end
    model.reset();
    std::filesystem::remove_all(folder);
  }

  void startModel() {
    model = std::make_unique<model::AppModel>(true, settings::PreferencesStore(file()),
                                              model::AppModel::Services{mainQueue, [](double) {}});
  }
  std::filesystem::path file() const { return folder / "settings.json"; }
  // Lets virtual time pass: refreshes, saves and the engine's work all happen.
  void advance(double seconds) {
    mainQueue.advance(seconds);
    model->utilityQueue().sync([] {});
    model->engine().queue().sync([] {});
    mainQueue.runPending();
  }
  // Lets a connection attempt end and its result reach the main thread.
  void connect() {
    machine.bluetooth().holdConnections(false);
    model->bluetoothQueue().sync([] {});
    mainQueue.runPending();
  }
  AudioObjectID id(const std::string& uid) { return machine.audio().deviceID(uid); }
  void select(const std::string& uid, AudioDirection direction = AudioDirection::output) {
    model->selectDevice(id(uid), direction);
  }
  AudioObjectID systemDefault(AudioDirection direction = AudioDirection::output) const {
    return *audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                             direction == AudioDirection::input
                                                 ? kAudioHardwarePropertyDefaultInputDevice
                                                 : kAudioHardwarePropertyDefaultOutputDevice);
  }
  // The next `count` property writes fail with -50.
  void failWrites(int count) {
    machine.audio().failCall(SimulatedCall::setPropertyData, -50, count);
  }
  // Another program sets the device's output volume.
  void setVolumeOutside(const std::string& uid, float value) {
    for (const uint32_t element : audio::HAL::volumeElements(id(uid), AudioDirection::output)) {
      const AudioObjectPropertyAddress address{kAudioDevicePropertyVolumeScalar,
                                               kAudioObjectPropertyScopeOutput, element};
      ASSERT_EQ(AudioObjectSetPropertyData(id(uid), &address, 0, nullptr, sizeof value, &value), 0);
    }
  }
  void automaticOutputs(const IDs& ids) {
    model->updateAdvanced([&](settings::AdvancedPreferences& advanced) {
      advanced.autoOutput = true;
      advanced.automaticOutputIDs = ids;
    });
  }
  settings::Preferences saved() const { return settings::PreferencesStore(file()).load(); }
  double tone(const std::string& uid, double frequency) {
    machine.audio().render(10);
    return toneAmplitude(machine.audio().meter(uid).recent(0, 4096), frequency);
  }
  const model::ModelState& state() const { return model->state(); }
  settings::DeviceBookmark bookmark(const std::string& id) const {
    const auto all = model->bookmarks();
    const auto found = std::ranges::find(all, id, &settings::DeviceBookmark::id);
    if (found == all.end()) throw std::out_of_range("no bookmark " + id);
    return *found;
  }

  SimulatedMachine machine;
  std::filesystem::path folder;
  platform::ManualClock clock;
  platform::ManualScheduler mainQueue;
  std::unique_ptr<model::AppModel> model;

 private:
  static std::filesystem::path freshFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmora-model-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }
};

}  // namespace velmora::test
