#include <algorithm>
#include <set>

#include "settings/AdvancedPreferences.h"

namespace velmora::settings {

std::vector<std::string> uniqueIDs(const std::vector<std::string>& ids) {
  std::vector<std::string> result;
  std::set<std::string> seen;
  for (const std::string& id : ids) {
    if (seen.insert(id).second) result.push_back(id);
  }
  return result;
}

void AdvancedPreferences::seedAutomaticDevices(bool input, const std::vector<DeviceBookmark>& from) {
  std::optional<std::vector<std::string>>& list = input ? automaticInputIDs : automaticOutputIDs;
  if (list) return;
  std::vector<std::string> ids;
  for (const DeviceBookmark& bookmark : from) {
    const bool shown = input ? bookmark.supportsInput && bookmark.showInput
                             : bookmark.supportsOutput && bookmark.showOutput;
    if (shown) ids.push_back(bookmark.id);
  }
  list = uniqueIDs(ids);
}

void AdvancedPreferences::remapAutomaticDevices(const std::vector<DeviceBookmark>& previous,
                                                const std::vector<DeviceBookmark>& current) {
  const auto remap = [&](std::vector<std::string>& ids) {
    for (std::string& id : ids) {
      const auto hasID = [&](const DeviceBookmark& entry) { return entry.id == id; };
      if (std::any_of(current.begin(), current.end(), hasID)) continue;
      const auto old = std::find_if(previous.begin(), previous.end(), [&](const DeviceBookmark& entry) {
        return entry.id == id && !entry.bluetoothAddress;
      });
      if (old == previous.end()) continue;
      const auto upgraded = std::find_if(current.begin(), current.end(), [&](const DeviceBookmark& entry) {
        return entry.bluetoothAddress && entry.sharesUID(*old);
      });
      if (upgraded != current.end()) id = upgraded->id;
    }
    ids = uniqueIDs(ids);
  };
  if (automaticOutputIDs) remap(*automaticOutputIDs);
  if (automaticInputIDs) remap(*automaticInputIDs);
}

}  // namespace velmora::settings
