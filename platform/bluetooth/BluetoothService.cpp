#include "platform/bluetooth/BluetoothService.h"

#include <algorithm>
#include <atomic>

namespace velmora::platform {
namespace {

// A machine without Bluetooth.
class NoBluetoothService final : public BluetoothService {
 public:
  std::vector<PairedBluetoothDevice> pairedDevices() override { return {}; }
};

NoBluetoothService none;
std::atomic<BluetoothService*> installed{nullptr};

}  // namespace

bool PairedBluetoothDevice::hasService(uint16_t serviceClass) const {
  return std::find(services.begin(), services.end(), serviceClass) != services.end();
}

BluetoothService* installBluetoothService(BluetoothService* service) {
  return installed.exchange(service, std::memory_order_acq_rel);
}

BluetoothService& bluetoothService() {
  BluetoothService* service = installed.load(std::memory_order_acquire);
  return service != nullptr ? *service : none;
}

}  // namespace velmora::platform
