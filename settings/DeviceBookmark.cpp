#include "settings/DeviceBookmark.h"

#include "settings/UTF8.h"

namespace velmora::settings {

std::string DeviceBookmark::displayName() const {
  if (alias && !trimWhitespaceAndNewlines(*alias).empty()) return *alias;
  return name;
}

bool DeviceBookmark::sharesUID(const DeviceBookmark& other) const {
  return (inputUID && other.inputUID && *inputUID == *other.inputUID) ||
         (outputUID && other.outputUID && *outputUID == *other.outputUID);
}

}  // namespace velmora::settings
