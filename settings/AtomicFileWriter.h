#pragma once

#include <filesystem>
#include <string_view>

namespace velmora::settings {

// Replaces the file at `path` with `contents`: a temporary file beside it is written in full and
// synced, then renamed over it, and the directory is synced. A reader sees the old file or the
// new one, never a mixture. On any failure before the rename the old file is untouched and the
// temporary file is gone. Throws PreferencesError.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace velmora::settings
