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

// The stack's status for a page to a device it does not know.
constexpr int32_t kNotFound = -536870208;

}  // namespace

SimulatedBluetooth::SimulatedBluetooth(const std::vector<ScenarioPairedDevice>& paired)
    : paired_(records(paired)) {}

std::vector<PairedBluetoothDevice> SimulatedBluetooth::pairedDevices() {
  std::lock_guard lock(mutex_);
  ++requests_;
  return paired_;
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

PairedBluetoothDevice* SimulatedBluetooth::findLocked(const std::string& address) {
  const std::string wanted = comparableBluetoothAddress(address);
  for (PairedBluetoothDevice& device : paired_) {
    if (device.address && comparableBluetoothAddress(*device.address) == wanted) return &device;
  }
  return nullptr;
}

std::optional<PairedBluetoothDevice> SimulatedBluetooth::pairedDevice(const std::string& address) {
  std::lock_guard lock(mutex_);
  const PairedBluetoothDevice* device = findLocked(address);
  return device ? std::optional(*device) : std::nullopt;
}

int32_t SimulatedBluetooth::connect(const std::string& address) {
  const std::string key = comparableBluetoothAddress(address);
  std::function<void()> hook;
  int32_t status = 0;
  {
    std::unique_lock lock(mutex_);
    ++attempts_;
    released_.wait(lock, [this] { return !held_; });
    PairedBluetoothDevice* device = findLocked(address);
    if (device == nullptr) return kNotFound;
    const auto outcome = outcomes_.find(key);
    if (outcome != outcomes_.end()) status = outcome->second.status;
    if (status == 0 || (outcome != outcomes_.end() && outcome->second.connectedAnyway)) {
      device->connected = true;
      const auto found = hooks_.find(key);
      if (found != hooks_.end()) hook = found->second;
    }
  }
  if (hook) hook();  // outside the lock: the hook may reach into the audio system
  return status;
}

void SimulatedBluetooth::holdConnections(bool held) {
  {
    std::lock_guard lock(mutex_);
    held_ = held;
  }
  released_.notify_all();
}

void SimulatedBluetooth::setConnectionOutcome(const std::string& address, int32_t status,
                                              bool connectedAnyway) {
  std::lock_guard lock(mutex_);
  outcomes_[comparableBluetoothAddress(address)] = Outcome{status, connectedAnyway};
}

void SimulatedBluetooth::setConnectionHook(const std::string& address, std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  hooks_[comparableBluetoothAddress(address)] = std::move(hook);
}

int SimulatedBluetooth::connectionAttempts() const {
  std::lock_guard lock(mutex_);
  return attempts_;
}

}  // namespace velmora::platform::sim
