#pragma once

#include <string>

#include "settings/DeviceBookmark.h"

namespace velmora::model {

// A device selection that waits for its device: for a Bluetooth connection to open, then for
// the audio device to appear.
struct PendingSelection {
  std::string token;  // identity of this attempt; a completion with another token is ignored
  settings::DeviceBookmark bookmark;
  double started = 0.0;
  bool waitingForAudio = false;
};

}  // namespace velmora::model
