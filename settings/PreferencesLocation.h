#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velmora::settings {

// The application-information key that names the settings directory. The program's own record
// lives in the platform layer; the caller looks the key up there and passes the result here.
inline constexpr char kDataDirectoryInfoKey[] = "QuenlowDataDirectory";
inline constexpr char kDefaultDataDirectory[] = "Ombrel";

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> processEnvironment(const char* name);

// The user's directory for application settings: $XDG_CONFIG_HOME, or ~/.config when that is
// unset or not absolute. Throws PreferencesError when neither it nor $HOME is an absolute path.
std::filesystem::path applicationSupportDirectory(const EnvironmentLookup& environment);

// <application support directory>/<data directory name>/settings.json, the name being
// "Ombrel" unless the application information gave one as a string.
std::filesystem::path defaultPreferencesLocation(
    const EnvironmentLookup& environment, const std::optional<std::string>& dataDirectoryName);

}  // namespace velmora::settings
