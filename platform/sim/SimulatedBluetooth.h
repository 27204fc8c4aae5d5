// The Bluetooth stack of the simulated machine: a paired-device list taken from the scenario,
// which tests may replace while the machine runs (a device switched on, a new pairing), and
// connections whose moment and outcome tests decide.
//
// Threading: any thread; the state is guarded by a mutex (never touched on a real-time thread).
// connect() blocks its caller's thread while connections are held.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/bluetooth/BluetoothService.h"
#include "platform/sim/Scenario.h"

namespace velmora::platform::sim {

class SimulatedBluetooth final : public BluetoothService {
 public:
  explicit SimulatedBluetooth(const std::vector<ScenarioPairedDevice>& paired);

  std::vector<PairedBluetoothDevice> pairedDevices() override;
  std::optional<PairedBluetoothDevice> pairedDevice(const std::string& address) override;
  // Waits while connections are held, then ends with the outcome set for the address (success
  // by default); a success marks the device connected and calls its connection hook.
  int32_t connect(const std::string& address) override;

  // Marks every paired device whose address is spelled exactly `address`; false when none is.
  bool setConnected(const std::string& address, bool connected);
  // How often the paired list has been asked for, so tests can tell whether a scan ran.
  int pairedDevicesRequests() const;

  // A held connection attempt blocks until the hold is lifted, so that a test decides when it
  // completes. Lifting the hold lets every waiting attempt through.
  void holdConnections(bool held);
  // The status the next attempts for this address (any spelling) end with; 0 is success. With
  // `connectedAnyway` a failing attempt still leaves the device connected.
  void setConnectionOutcome(const std::string& address, int32_t status,
                            bool connectedAnyway = false);
  // Runs on the connecting thread after every successful connection to this address.
  void setConnectionHook(const std::string& address, std::function<void()> hook);
  int connectionAttempts() const;

 private:
  struct Outcome {
    int32_t status = 0;
    bool connectedAnyway = false;
  };
  PairedBluetoothDevice* findLocked(const std::string& address);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::vector<PairedBluetoothDevice> paired_;
  int requests_ = 0;
  bool held_ = false;
  int attempts_ = 0;
  std::map<std::string, Outcome> outcomes_;             // by comparable address
  std::map<std::string, std::function<void()>> hooks_;  // by comparable address
};

}  // namespace velmora::platform::sim
