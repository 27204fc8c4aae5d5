#pragma once

#include <string>

#include "settings/AudioDirection.h"
#include "settings/DeviceBookmark.h"

namespace velmora::model {

// A device selection that waits for its device: for a Bluetooth connection to open, then for
// the audio device to appear.
struct PendingSelection {
  std::string token;  // identity of this attempt; a completion with another token is ignored
  settings::DeviceBookmark bookmark;  // as chosen; the list entry with its id is newer
  double started = 0.0;
  bool waitingForAudio = false;
};

// The key of a selection's label in the published connection labels: "true:" (input) or
// "false:" (output), then the bookmark id.
inline std::string connectionKey(settings::AudioDirection direction, const std::string& id) {
  return (settings::isInput(direction) ? "true:" : "false:") + id;
}

}  // namespace velmora::model
