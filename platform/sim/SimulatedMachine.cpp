#include "platform/sim/SimulatedMachine.h"

namespace velmora::platform::sim {

SimulatedMachine::SimulatedMachine(const Scenario& scenario)
    : audio_(std::make_unique<SimulatedAudioSystem>(scenario)),
      bluetooth_(std::make_unique<SimulatedBluetooth>(scenario.pairedDevices)) {
  SimulatedAudioSystem* audio = audio_.get();
  applications_ = std::make_unique<SimulatedApplicationServices>(
      scenario, [audio](int32_t pid) { return audio->runningApplication(pid); });
  previousBackend_ = installAudioBackend(audio_.get());
  previousServices_ = installApplicationServices(applications_.get());
  previousBluetooth_ = installBluetoothService(bluetooth_.get());
}

SimulatedMachine::~SimulatedMachine() {
  installBluetoothService(previousBluetooth_);
  installApplicationServices(previousServices_);
  installAudioBackend(previousBackend_);
}

}  // namespace velmora::platform::sim
