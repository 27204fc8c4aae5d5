#include "platform/apps/ApplicationInfo.h"

#include <utility>

namespace velmora::platform {

ApplicationInfo::ApplicationInfo(std::map<std::string, Value, std::less<>> entries)
    : entries_(std::move(entries)) {}

std::optional<std::string> ApplicationInfo::string(std::string_view key) const {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  return std::nullopt;
}

const ApplicationInfo& applicationInfo() {
  // "QuenlowDataDirectory" is left unset: the settings then live in the default directory.
  static const ApplicationInfo info({
      {"BundleIdentifier", std::string("com.local.Ombrel")},
      {"BundleName", std::string("Velmora")},
  });
  return info;
}

}  // namespace velmora::platform
