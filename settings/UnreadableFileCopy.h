#pragma once

#include <filesystem>

namespace velmora::settings {

// Keeps a byte-for-byte copy of a settings file that could not be read, beside it, before
// anything may overwrite it: <path>.unreadable, or <path>.unreadable-2, -3 … when earlier
// copies exist, which are never overwritten. An existing copy with the same contents is reused,
// so a file that stays broken across starts is kept once. Returns the copy's path; throws
// PreferencesError if no copy could be made.
std::filesystem::path keepUnreadableCopy(const std::filesystem::path& path);

}  // namespace velmora::settings
