#pragma once

#include <memory>
#include <string>

#include "platform/dispatch/MainQueue.h"
#include "platform/sim/Scenario.h"
#include "platform/sim/SimulatedApplicationServices.h"
#include "platform/sim/SimulatedAudioSystem.h"
#include "platform/sim/SimulatedBluetooth.h"
#include "platform/sim/SimulatedHotkeys.h"
#include "platform/sim/SimulatedLoginItem.h"
#include "platform/sim/SimulatedPowerEvents.h"

namespace velmora::platform::sim {

// A whole simulated machine: its audio system, its applications, its Bluetooth stack, its
// global hot keys, its login item and its power events, installed as the process's platform
// services for as long as it lives.
class SimulatedMachine {
 public:
  explicit SimulatedMachine(const Scenario& scenario);
  ~SimulatedMachine();
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  SimulatedAudioSystem& audio() { return *audio_; }
  SimulatedApplicationServices& applications() { return *applications_; }
  SimulatedBluetooth& bluetooth() { return *bluetooth_; }
  SimulatedHotkeys& hotkeys() { return *hotkeys_; }
  SimulatedLoginItem& loginItem() { return *loginItem_; }
  SimulatedPowerEvents& power() { return *power_; }

  // As real headsets do, the audio device of a Bluetooth device appears `seconds` after each
  // successful connection to `address`, on `time` (virtual time in tests). `time` must outlive
  // the connections. Threading: the connection hook posts from the connecting thread; the
  // device is added on `time`'s own thread.
  void audioDeviceOnConnection(const std::string& address, const ScenarioDevice& device,
                               double seconds, MainQueue& time);

 private:
  std::unique_ptr<SimulatedAudioSystem> audio_;
  std::unique_ptr<SimulatedApplicationServices> applications_;
  std::unique_ptr<SimulatedBluetooth> bluetooth_;
  std::unique_ptr<SimulatedHotkeys> hotkeys_ = std::make_unique<SimulatedHotkeys>();
  std::unique_ptr<SimulatedLoginItem> loginItem_ = std::make_unique<SimulatedLoginItem>();
  std::unique_ptr<SimulatedPowerEvents> power_ = std::make_unique<SimulatedPowerEvents>();
  AudioBackend* previousBackend_ = nullptr;
  ApplicationServices* previousServices_ = nullptr;
  BluetoothService* previousBluetooth_ = nullptr;
  HotkeyService* previousHotkeys_ = nullptr;
  LoginItemService* previousLoginItem_ = nullptr;
  PowerEvents* previousPower_ = nullptr;
};

}  // namespace velmora::platform::sim
