#include <algorithm>

#include "settings/DeviceBookmark.h"

namespace velmora::settings {

void DeviceListPreferences::merge(const DeviceBookmark& bookmark) {
  const auto hasID = [&](const DeviceBookmark& entry) { return entry.id == bookmark.id; };

  // A Bluetooth device may have been listed earlier under its "audio:" id (before its address was
  // known); that entry becomes the Bluetooth one, and any other such entry is a stale duplicate.
  if (bookmark.bluetoothAddress) {
    if (std::none_of(devices.begin(), devices.end(), hasID)) {
      const auto older =
          std::find_if(devices.begin(), devices.end(), [&](const DeviceBookmark& entry) {
            return !entry.bluetoothAddress && entry.sharesUID(bookmark);
          });
      if (older != devices.end()) older->id = bookmark.id;
    }
    if (std::any_of(devices.begin(), devices.end(), hasID)) {
      std::erase_if(devices, [&](const DeviceBookmark& entry) {
        return entry.id != bookmark.id && !entry.bluetoothAddress && entry.sharesUID(bookmark);
      });
    }
  }

  auto target = std::find_if(devices.begin(), devices.end(), hasID);
  if (target == devices.end()) {
    target = std::find_if(devices.begin(), devices.end(), [&](const DeviceBookmark& entry) {
      return entry.bluetoothAddress && entry.sharesUID(bookmark);
    });
  }
  if (target == devices.end()) {
    devices.push_back(bookmark);
    return;
  }

  target->name = bookmark.name;
  target->symbol = bookmark.symbol;
  // What the bookmark does not know never erases what the entry knows.
  if (bookmark.inputUID) target->inputUID = bookmark.inputUID;
  if (bookmark.outputUID) target->outputUID = bookmark.outputUID;
  if (bookmark.bluetoothAddress) target->bluetoothAddress = bookmark.bluetoothAddress;
  // The user's visibility choice stands for directions the entry already had.
  if (!target->supportsInput && bookmark.supportsInput) target->showInput = bookmark.showInput;
  if (!target->supportsOutput && bookmark.supportsOutput) target->showOutput = bookmark.showOutput;
  target->supportsInput = target->supportsInput || bookmark.supportsInput;
  target->supportsOutput = target->supportsOutput || bookmark.supportsOutput;
}

}  // namespace velmora::settings
