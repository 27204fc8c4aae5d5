#pragma once

#include <string>
#include <vector>

namespace velmora::platform {

// The description an aggregate device is created from. Each field stands for one key of the
// system's description dictionary, named in its comment.
struct AggregateDeviceDescription {
  struct Member {
    std::string uid;     // "uid"
    bool drift = false;  // "drift": drift-compensated against the main sub-device

    bool operator==(const Member&) const = default;
  };

  std::string name;                // "name"
  std::string uid;                 // "uid"
  bool isPrivate = false;          // "private"
  int stacked = 0;                 // "stacked"
  std::string mainSubDevice;       // "master": the UID of the clock device
  std::vector<Member> subDevices;  // "subdevices", in order
  std::vector<Member> taps;        // "taps"
  bool tapAutoStart = false;       // "tapautostart"

  bool operator==(const AggregateDeviceDescription&) const = default;
};

}  // namespace velmora::platform
