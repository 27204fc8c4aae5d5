// The Bluetooth stack of the simulated machine: a paired-device list taken from the scenario,
// which tests may replace while the machine runs (a device switched on, a new pairing).
//
// Threading: any thread; the list is guarded by a mutex (never touched on a real-time thread).
#pragma once

#include <mutex>
#include <vector>

#include "platform/bluetooth/BluetoothService.h"
#include "platform/sim/Scenario.h"

namespace velmora::platform::sim {

class SimulatedBluetooth final : public BluetoothService {
 public:
  explicit SimulatedBluetooth(const std::vector<ScenarioPairedDevice>& paired);

  std::vector<PairedBluetoothDevice> pairedDevices() override;

  void setPairedDevices(const std::vector<ScenarioPairedDevice>& paired);
  // Marks every paired device whose address is spelled exactly `address`; false when none is.
  bool setConnected(const std::string& address, bool connected);
  // How often the paired list has been asked for, so tests can tell whether a scan ran.
  int pairedDevicesRequests() const;

 private:
  mutable std::mutex mutex_;
  std::vector<PairedBluetoothDevice> paired_;
  int requests_ = 0;
};

}  // namespace velmora::platform::sim
