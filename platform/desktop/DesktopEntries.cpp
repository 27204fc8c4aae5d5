#include "platform/desktop/DesktopEntries.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGroup = "Desktop Entry";

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFree {
  void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFree>;

struct StrvFree {
  void operator()(char** list) const { g_strfreev(list); }
};

std::string text(GText value) { return value ? std::string(value.get()) : std::string(); }

bool boolean(GKeyFile* file, const char* key) {
  return g_key_file_get_boolean(file, kGroup, key, nullptr) != FALSE;
}

// Icon names are looked up in the theme without an extension; a few entries give one anyway.
std::optional<Image> iconOf(const std::string& value) {
  if (value.empty()) return std::nullopt;
  if (value.front() == '/') return Image{value, {}};
  std::string name = value;
  for (const char* extension : {".png", ".svg", ".xpm"}) {
    if (name.ends_with(extension))
      name.resize(name.size() - std::char_traits<char>::length(extension));
  }
  return Image{{}, name};
}

std::vector<std::string> executablesOf(const std::string& exec) {
  char** argv = nullptr;
  if (exec.empty() || !g_shell_parse_argv(exec.c_str(), nullptr, &argv, nullptr)) return {};
  const std::unique_ptr<char*, StrvFree> owned(argv);
  const std::string program = argv[0];
  std::vector<std::string> names{fs::path(program).filename().string()};
  // A launcher on PATH is often a link to the program that runs (/usr/bin/x -> /opt/x/x-bin).
  const GText found(g_find_program_in_path(program.c_str()));
  if (found) {
    std::error_code error;
    const fs::path real = fs::canonical(found.get(), error);
    if (!error && real.filename() != names.front()) names.push_back(real.filename().string());
  }
  return names;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return g_ascii_tolower(x) == g_ascii_tolower(y);
         });
}

}  // namespace

DesktopEntries::DesktopEntries(std::vector<fs::path> folders, std::string locale)
    : folders_(std::move(folders)), locale_(std::move(locale)) {}

std::vector<fs::path> DesktopEntries::sessionFolders() {
  std::vector<fs::path> folders;
  const char* home = std::getenv("XDG_DATA_HOME");
  folders.push_back(fs::path(home != nullptr && *home == '/'
                                 ? fs::path(home)
                                 : fs::path(g_get_home_dir()) / ".local/share") /
                    "applications");
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  const std::string list = dirs != nullptr && *dirs != '\0' ? dirs : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string dir = list.substr(start, end - start);
    if (!dir.empty() && dir.front() == '/') folders.push_back(fs::path(dir) / "applications");
    start = end + 1;
  }
  return folders;
}

void DesktopEntries::scanFolder(const fs::path& root, const fs::path& folder,
                                std::set<std::string>& seen) {
  std::error_code error;
  const auto stamp = fs::last_write_time(folder, error);
  if (error) return;
  stamps_.emplace_back(folder, stamp);
  std::vector<fs::path> files;
  std::vector<fs::path> subfolders;
  for (const auto& item : fs::directory_iterator(folder, error)) {
    if (item.is_directory(error))
      subfolders.push_back(item.path());
    else if (item.path().extension() == ".desktop")
      files.push_back(item.path());
  }
  std::sort(files.begin(), files.end());
  std::sort(subfolders.begin(), subfolders.end());
  for (const fs::path& file : files) {
    std::string id = fs::relative(file, root, error).replace_extension().string();
    std::replace(id.begin(), id.end(), '/', '-');
    if (seen.count(id)) continue;  // a more important folder has this id
    const KeyFile keys(g_key_file_new());
    if (!g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_KEEP_TRANSLATIONS,
                                   nullptr)) {
      continue;  // not a key file: skipped, and it hides nothing
    }
    seen.insert(id);
    if (boolean(keys.get(), "Hidden")) continue;
    if (text(GText(g_key_file_get_string(keys.get(), kGroup, "Type", nullptr))) != "Application")
      continue;
    DesktopEntry entry;
    entry.id = id;
    entry.path = file.string();
    entry.name = text(GText(g_key_file_get_locale_string(
        keys.get(), kGroup, "Name", locale_.empty() ? nullptr : locale_.c_str(), nullptr)));
    if (entry.name.empty()) continue;
    const std::string tryExec =
        text(GText(g_key_file_get_string(keys.get(), kGroup, "TryExec", nullptr)));
    if (!tryExec.empty() && !GText(g_find_program_in_path(tryExec.c_str()))) continue;
    entry.icon = iconOf(text(GText(g_key_file_get_string(keys.get(), kGroup, "Icon", nullptr))));
    entry.startupWMClass =
        text(GText(g_key_file_get_string(keys.get(), kGroup, "StartupWMClass", nullptr)));
    entry.executables =
        executablesOf(text(GText(g_key_file_get_string(keys.get(), kGroup, "Exec", nullptr))));
    entry.noDisplay = boolean(keys.get(), "NoDisplay");
    byID_.emplace(entry.id, entries_.size());
    entries_.push_back(std::move(entry));
  }
  for (const fs::path& subfolder : subfolders) scanFolder(root, subfolder, seen);
}

void DesktopEntries::refresh() {
  if (loaded_) {
    bool changed = false;
    for (const auto& [folder, stamp] : stamps_) {
      std::error_code error;
      if (fs::last_write_time(folder, error) != stamp || error) changed = true;
    }
    // A folder that did not exist at the last read may exist now.
    for (const fs::path& folder : folders_) {
      std::error_code error;
      const bool known = std::any_of(stamps_.begin(), stamps_.end(),
                                     [&](const auto& stamp) { return stamp.first == folder; });
      if (!known && fs::is_directory(folder, error)) changed = true;
    }
    if (!changed) return;
  }
  loaded_ = true;
  stamps_.clear();
  entries_.clear();
  byID_.clear();
  std::set<std::string> seen;
  for (const fs::path& folder : folders_) scanFolder(folder, folder, seen);
}

const DesktopEntry* DesktopEntries::byID(std::string_view id) {
  refresh();
  if (id.ends_with(".desktop")) id.remove_suffix(8);
  const auto found = byID_.find(id);
  return found != byID_.end() ? &entries_[found->second] : nullptr;
}

const DesktopEntry* DesktopEntries::byIDPrefix(std::string_view prefix) {
  refresh();
  for (const DesktopEntry& entry : entries_) {
    if (!entry.noDisplay && entry.id.starts_with(prefix)) return &entry;
  }
  return nullptr;
}

const DesktopEntry* DesktopEntries::byStartupWMClass(std::string_view name) {
  refresh();
  if (name.empty()) return nullptr;
  for (const DesktopEntry& entry : entries_) {
    if (!entry.noDisplay && equalIgnoringCase(entry.startupWMClass, name)) return &entry;
  }
  return nullptr;
}

const DesktopEntry* DesktopEntries::byExecutable(std::string_view basename) {
  refresh();
  if (basename.empty()) return nullptr;
  for (const DesktopEntry& entry : entries_) {
    if (entry.noDisplay) continue;
    if (std::find(entry.executables.begin(), entry.executables.end(), basename) !=
        entry.executables.end()) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace velmora::platform
