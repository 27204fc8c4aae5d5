#pragma once

#include <string>

namespace velmora::audio {

// A Bluetooth audio device paired with the machine, whether or not it is connected.
struct PairedAudioDevice {
  std::string address;  // normalised: upper case, "-" separators
  std::string name;     // "蓝牙音频设备" when the system has none
  bool connected = false;
  bool hasMicrophone = false;  // offers the Hands-Free or the Headset profile

  bool operator==(const PairedAudioDevice&) const = default;
};

}  // namespace velmora::audio
