#include "platform/sim/SimulatedBluetooth.h"

namespace velmora::platform::sim {
namespace {

std::vector<PairedBluetoothDevice> records(const std::vector<ScenarioPairedDevice>& paired) {
  std::vector<PairedBluetoothDevice> result;
  result.reserve(paired.size());
  for (const ScenarioPairedDevice& device : paired) {
    result.push_back(PairedBluetoothDevice{device.address, device.name, device.services,
                                           device.majorDeviceClass, device.connected});
  }
  return result;
}

}  // namespace

SimulatedBluetooth::SimulatedBluetooth(const std::vector<ScenarioPairedDevice>& paired)
    : paired_(records(paired)) {}

std::vector<PairedBluetoothDevice> SimulatedBluetooth::pairedDevices() {
  std::lock_guard lock(mutex_);
  ++requests_;
  return paired_;
}

void SimulatedBluetooth::setPairedDevices(const std::vector<ScenarioPairedDevice>& paired) {
  std::vector<PairedBluetoothDevice> replacement = records(paired);
  std::lock_guard lock(mutex_);
  paired_ = std::move(replacement);
}

bool SimulatedBluetooth::setConnected(const std::string& address, bool connected) {
  std::lock_guard lock(mutex_);
  bool found = false;
  for (PairedBluetoothDevice& device : paired_) {
    if (device.address == address) {
      device.connected = connected;
      found = true;
    }
  }
  return found;
}

int SimulatedBluetooth::pairedDevicesRequests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace velmora::platform::sim
