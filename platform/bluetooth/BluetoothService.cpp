#include "platform/bluetooth/BluetoothService.h"

#include <algorithm>
#include <atomic>

namespace velmora::platform {
namespace {

// A machine without Bluetooth.
class NoBluetoothService final : public BluetoothService {
 public:
  std::vector<PairedBluetoothDevice> pairedDevices() override { return {}; }
  std::optional<PairedBluetoothDevice> pairedDevice(const std::string&) override {
    return std::nullopt;
  }
  int32_t connect(const std::string&) override { return kNoDevice; }

 private:
  static constexpr int32_t kNoDevice = -536870208;  // "not found" status of the stack
};

NoBluetoothService none;
std::atomic<BluetoothService*> installed{nullptr};

}  // namespace

bool PairedBluetoothDevice::hasService(uint16_t serviceClass) const {
  return std::find(services.begin(), services.end(), serviceClass) != services.end();
}

std::string comparableBluetoothAddress(const std::string& address) {
  std::string result = address;
  for (char& c : result) {
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
    else if (c == ':')
      c = '-';
  }
  return result;
}

BluetoothService* installBluetoothService(BluetoothService* service) {
  return installed.exchange(service, std::memory_order_acq_rel);
}

BluetoothService& bluetoothService() {
  BluetoothService* service = installed.load(std::memory_order_acquire);
  return service != nullptr ? *service : none;
}

}  // namespace velmora::platform
