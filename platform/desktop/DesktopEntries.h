// The applications a freedesktop session knows: desktop entries in the "applications" folders of
// $XDG_DATA_HOME and $XDG_DATA_DIRS, read with GLib's key-file parser. An entry's desktop-file id
// is its path below the folder with "/" turned into "-"; the first folder holding an id wins, and
// a Hidden entry there hides that id in later folders. Entries that are not applications, lack a
// name, or whose TryExec program is missing are no entries; unreadable files are skipped.
//
// Threading: one thread at a time.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apps/ApplicationServices.h"

namespace velmora::platform {

struct DesktopEntry {
  std::string id;  // without ".desktop"
  std::string path;
  std::string name;  // in the language asked for, when the entry has it
  // A theme icon name (resourceName) or an image file (path); none when the entry names none.
  std::optional<Image> icon;
  std::string startupWMClass;
  // The base names of the Exec line's program and of the file it resolves to.
  std::vector<std::string> executables;
  bool noDisplay = false;
};

class DesktopEntries {
 public:
  // `folders`: "applications" folders, most important first. `locale` ("zh_CN.UTF-8") chooses
  // the translated names; empty follows the environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
  explicit DesktopEntries(std::vector<std::filesystem::path> folders, std::string locale = {});

  // $XDG_DATA_HOME (else ~/.local/share), then each of $XDG_DATA_DIRS (else /usr/local/share and
  // /usr/share), each with "applications" appended.
  static std::vector<std::filesystem::path> sessionFolders();

  // By desktop-file id, with or without ".desktop".
  const DesktopEntry* byID(std::string_view id);
  // The first shown entry whose id starts with `prefix`.
  const DesktopEntry* byIDPrefix(std::string_view prefix);
  // The first shown entry whose StartupWMClass equals `name`, ignoring ASCII case.
  const DesktopEntry* byStartupWMClass(std::string_view name);
  // The first shown entry whose Exec program has this base name.
  const DesktopEntry* byExecutable(std::string_view basename);

 private:
  // Reads the folders again when one of them (or a folder below) changed since the last read.
  void refresh();
  void scanFolder(const std::filesystem::path& root, const std::filesystem::path& folder,
                  std::set<std::string>& seen);

  std::vector<std::filesystem::path> folders_;
  std::string locale_;
  std::vector<std::pair<std::filesystem::path, std::filesystem::file_time_type>> stamps_;
  bool loaded_ = false;
  std::vector<DesktopEntry> entries_;  // in folder order, then file-name order
  std::map<std::string, size_t, std::less<>> byID_;
};

}  // namespace velmora::platform
