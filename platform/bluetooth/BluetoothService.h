// The system's Bluetooth stack: the paired devices with what the audio layer needs to tell an
// audio device from a keyboard. The simulated system serves them from its scenario; a desktop
// backend from the system's Bluetooth daemon.
//
// Threading: callable from any thread (the paired-device scan runs on a background queue);
// implementations guard their own state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::platform {

// 16-bit service classes the audio layer asks about.
enum : uint16_t {
  kBluetoothServiceAudioSink = 0x110B,
  kBluetoothServiceHandsFree = 0x111E,
  kBluetoothServiceHeadset = 0x1108,
};

// The Audio/Video major device class.
inline constexpr uint32_t kBluetoothMajorClassAudio = 4;

// One paired device exactly as the system reports it.
struct PairedBluetoothDevice {
  // In the system's own spelling (any case, ":" or "-"); absent when the system gives none.
  std::optional<std::string> address;
  std::optional<std::string> name;
  // Service classes the device has a service record for.
  std::vector<uint16_t> services;
  uint32_t majorDeviceClass = 0;
  // A baseband connection exists.
  bool connected = false;

  bool hasService(uint16_t serviceClass) const;
  bool operator==(const PairedBluetoothDevice&) const = default;
};

class BluetoothService {
 public:
  virtual ~BluetoothService() = default;

  // The paired devices in the system's order; empty when there are none or the stack is off.
  virtual std::vector<PairedBluetoothDevice> pairedDevices() = 0;

  // The paired device with this address (compared in any case and separator), as it is now;
  // none when the system has no paired device with that address.
  virtual std::optional<PairedBluetoothDevice> pairedDevice(const std::string& address) = 0;

  // Opens the baseband connection to a paired device: blocks until the link is up or the page
  // time-out (0x4000 slots, about 10.24 s) has passed, without authentication. Returns 0 on
  // success, else the stack's status. Threading: a background thread, never the main one.
  virtual int32_t connect(const std::string& address) = 0;
};

// Addresses in one spelling for comparisons: upper case, "-" separators.
std::string comparableBluetoothAddress(const std::string& address);

// Installs `service` for the whole process (null uninstalls) and returns the one it replaces.
// The caller keeps ownership.
BluetoothService* installBluetoothService(BluetoothService* service);

// The installed service; without any, a neutral one that knows no devices.
BluetoothService& bluetoothService();

}  // namespace velmora::platform
