#include "settings/PreferencesLocation.h"

#include <cstdlib>

#include "settings/PreferencesError.h"

namespace velmora::settings {

namespace {
bool isAbsolute(const std::optional<std::string>& path) {
  return path && !path->empty() && path->front() == '/';
}
}  // namespace

std::optional<std::string> processEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::filesystem::path applicationSupportDirectory(const EnvironmentLookup& environment) {
  if (auto config = environment("XDG_CONFIG_HOME"); isAbsolute(config)) return *config;
  if (auto home = environment("HOME"); isAbsolute(home))
    return std::filesystem::path(*home) / ".config";
  throw PreferencesError("找不到存放设置的目录：XDG_CONFIG_HOME 和 HOME 都不是绝对路径");
}

std::filesystem::path defaultPreferencesLocation(
    const EnvironmentLookup& environment, const std::optional<std::string>& dataDirectoryName) {
  const std::string name = dataDirectoryName.value_or(kDefaultDataDirectory);
  // Appended as one relative component, as the name came: a leading "/" must not make it
  // replace the support directory.
  return applicationSupportDirectory(environment) /
         std::filesystem::path(name + "/settings.json").relative_path();
}

}  // namespace velmora::settings
