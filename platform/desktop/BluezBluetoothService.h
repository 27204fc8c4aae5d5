// The paired Bluetooth devices of a Linux machine, from BlueZ on the system bus: the Device1
// objects under powered adapters whose Paired property is true, in the order the daemon lists
// them, and Device1.Connect for a connection. Without a bus, a daemon or an adapter there are no
// devices and nothing is reported.
//
// Threading: any thread. GDBus connections are thread-safe; the shared connection is guarded by a
// mutex and replaced when the bus closed it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/bluetooth/BluetoothService.h"

namespace velmora::platform {

// 0x4000 slots of 0.625 ms: the page time-out the interface promises.
inline constexpr int kBluetoothPageTimeoutMs = 10240;
// HCI "Page Timeout": the status of a connection the device never answered.
inline constexpr int32_t kBluetoothStatusPageTimeout = 0x04;
// HCI "Unspecified Error": any other refusal of the stack.
inline constexpr int32_t kBluetoothStatusFailed = 0x1F;

class BluezBluetoothService final : public BluetoothService {
 public:
  // `busAddress` empty: $DBUS_SYSTEM_BUS_ADDRESS, else the standard system bus socket.
  // `pageTimeoutMs` bounds a connection attempt; tests shorten it.
  explicit BluezBluetoothService(std::string busAddress = {},
                                 int pageTimeoutMs = kBluetoothPageTimeoutMs);
  ~BluezBluetoothService() override;
  BluezBluetoothService(const BluezBluetoothService&) = delete;
  BluezBluetoothService& operator=(const BluezBluetoothService&) = delete;

  std::vector<PairedBluetoothDevice> pairedDevices() override;
  std::optional<PairedBluetoothDevice> pairedDevice(const std::string& address) override;
  int32_t connect(const std::string& address) override;

 private:
  struct Bus;
  struct Found;
  std::shared_ptr<Bus> bus();
  std::vector<Found> scan(int timeoutMs);

  std::string address_;
  int pageTimeoutMs_;
  std::mutex mutex_;
  std::shared_ptr<Bus> bus_;
};

}  // namespace velmora::platform
