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
  previousHotkeys_ = installHotkeyService(hotkeys_.get());
  previousLoginItem_ = installLoginItemService(loginItem_.get());
  previousPower_ = installPowerEvents(power_.get());
}

SimulatedMachine::~SimulatedMachine() {
  installPowerEvents(previousPower_);
  installLoginItemService(previousLoginItem_);
  installHotkeyService(previousHotkeys_);
  installBluetoothService(previousBluetooth_);
  installApplicationServices(previousServices_);
  installAudioBackend(previousBackend_);
}

void SimulatedMachine::audioDeviceOnConnection(const std::string& address,
                                               const ScenarioDevice& device, double seconds,
                                               MainQueue& time) {
  SimulatedAudioSystem* audio = audio_.get();
  bluetooth_->setConnectionHook(address, [audio, device, seconds, &time] {
    // Timers can only be set on the queue's own thread: hop there first.
    time.post([audio, device, seconds, &time] {
      time.after(seconds, [audio, device] {
        if (audio->deviceID(device.uid) == 0) audio->addDevice(device);
      });
    });
  });
}

}  // namespace velmora::platform::sim
