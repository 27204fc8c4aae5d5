#pragma once

#include <memory>

#include "platform/sim/Scenario.h"
#include "platform/sim/SimulatedApplicationServices.h"
#include "platform/sim/SimulatedBluetooth.h"
#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

// A whole simulated machine: its audio system, its applications and its Bluetooth stack,
// installed as the process's platform services for as long as it lives.
class SimulatedMachine {
 public:
  explicit SimulatedMachine(const Scenario& scenario);
  ~SimulatedMachine();
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  SimulatedAudioSystem& audio() { return *audio_; }
  SimulatedApplicationServices& applications() { return *applications_; }
  SimulatedBluetooth& bluetooth() { return *bluetooth_; }

 private:
  std::unique_ptr<SimulatedAudioSystem> audio_;
  std::unique_ptr<SimulatedApplicationServices> applications_;
  std::unique_ptr<SimulatedBluetooth> bluetooth_;
  AudioBackend* previousBackend_ = nullptr;
  ApplicationServices* previousServices_ = nullptr;
  BluetoothService* previousBluetooth_ = nullptr;
};

}  // namespace velmora::platform::sim
