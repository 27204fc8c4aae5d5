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

void AdvancedPreferences::seedAutomaticDevices(AudioDirection direction,
                                               const std::vector<DeviceBookmark>& from) {
  const bool input = isInput(direction);
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

namespace {

bool supports(const DeviceBookmark& bookmark, AudioDirection direction) {
  return isInput(direction) ? bookmark.supportsInput : bookmark.supportsOutput;
}

}  // namespace

std::vector<DeviceBookmark> AdvancedPreferences::automaticDevices(
    AudioDirection direction, const std::vector<DeviceBookmark>& catalog) const {
  const std::optional<std::vector<std::string>>& list =
      isInput(direction) ? automaticInputIDs : automaticOutputIDs;
  std::vector<DeviceBookmark> candidates;
  for (const std::string& id : uniqueIDs(list.value_or(std::vector<std::string>{}))) {
    const auto found =
        std::find_if(catalog.begin(), catalog.end(), [&](const DeviceBookmark& bookmark) {
          return bookmark.id == id && supports(bookmark, direction);
        });
    if (found != catalog.end()) candidates.push_back(*found);
  }
  return candidates;
}

void AdvancedPreferences::setAutomaticDevice(const std::string& id, AudioDirection direction,
                                             bool included,
                                             const std::vector<DeviceBookmark>& catalog) {
  seedAutomaticDevices(direction, catalog);
  std::optional<std::vector<std::string>>& list =
      isInput(direction) ? automaticInputIDs : automaticOutputIDs;
  std::vector<std::string> ids = uniqueIDs(list.value_or(std::vector<std::string>{}));
  if (included) {
    const bool known =
        std::any_of(catalog.begin(), catalog.end(), [&](const DeviceBookmark& bookmark) {
          return bookmark.id == id && supports(bookmark, direction);
        });
    if (!known) return;
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  } else {
    std::erase(ids, id);
  }
  list = std::move(ids);
}

void AdvancedPreferences::moveAutomaticDevice(const std::string& id, AudioDirection direction,
                                              int offset,
                                              const std::vector<DeviceBookmark>& catalog) {
  seedAutomaticDevices(direction, catalog);
  const std::vector<DeviceBookmark> visible = automaticDevices(direction, catalog);
  const auto at = std::find_if(visible.begin(), visible.end(),
                               [&](const DeviceBookmark& b) { return b.id == id; });
  if (at == visible.end()) return;
  const long position = at - visible.begin();
  const long count = static_cast<long>(visible.size());
  const long step = std::clamp(static_cast<long>(offset), -position, count - 1 - position);
  if (step == 0) return;
  const std::string& target = visible[static_cast<size_t>(position + step)].id;
  std::optional<std::vector<std::string>>& list =
      isInput(direction) ? automaticInputIDs : automaticOutputIDs;
  std::vector<std::string> ids = uniqueIDs(*list);
  const auto from = std::find(ids.begin(), ids.end(), id) - ids.begin();
  const auto to = std::find(ids.begin(), ids.end(), target) - ids.begin();
  ids.erase(ids.begin() + from);
  // The target's index before the removal: the id lands just after a lower target and just
  // before a higher one.
  ids.insert(ids.begin() + to, id);
  list = std::move(ids);
}

void AdvancedPreferences::remapAutomaticDevices(const std::vector<DeviceBookmark>& previous,
                                                const std::vector<DeviceBookmark>& current) {
  const auto remap = [&](std::vector<std::string>& ids) {
    for (std::string& id : ids) {
      const auto hasID = [&](const DeviceBookmark& entry) { return entry.id == id; };
      if (std::any_of(current.begin(), current.end(), hasID)) continue;
      const auto old = std::find_if(
          previous.begin(), previous.end(),
          [&](const DeviceBookmark& entry) { return entry.id == id && !entry.bluetoothAddress; });
      if (old == previous.end()) continue;
      const auto upgraded =
          std::find_if(current.begin(), current.end(), [&](const DeviceBookmark& entry) {
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
