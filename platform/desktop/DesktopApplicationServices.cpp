#include "platform/desktop/DesktopApplicationServices.h"

#include <glib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "platform/apps/ApplicationInfo.h"
#include "platform/process/ProcessPath.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

struct GFree {
  void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFree>;

bool onPath(const std::string& program) {
  return GText(g_find_program_in_path(program.c_str())) != nullptr;
}

bool spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // No shell: the list is the program and its arguments. GLib reaps the child.
  return g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                       nullptr, nullptr) != FALSE;
}

// The settings tools of the desktops that have a Bluetooth page, by their name in
// $XDG_CURRENT_DESKTOP.
struct DesktopTool {
  const char* desktop;
  std::vector<std::string> bluetooth;
};

const std::vector<DesktopTool>& desktopTools() {
  static const std::vector<DesktopTool> tools = {
      {"GNOME", {"gnome-control-center", "bluetooth"}},
      {"Unity", {"gnome-control-center", "bluetooth"}},
      {"KDE", {"systemsettings", "kcm_bluetooth"}},
      {"X-Cinnamon", {"cinnamon-settings", "bluetooth"}},
      {"Budgie", {"budgie-control-center", "bluetooth"}},
  };
  return tools;
}

}  // namespace

std::optional<std::vector<std::string>> settingsPageCommand(
    SettingsPage page, const std::string& currentDesktop,
    const std::function<bool(const std::string&)>& installed) {
  if (page != SettingsPage::bluetooth) return std::nullopt;
  size_t start = 0;
  while (start < currentDesktop.size()) {
    size_t end = currentDesktop.find(':', start);
    if (end == std::string::npos) end = currentDesktop.size();
    const std::string name = currentDesktop.substr(start, end - start);
    for (const DesktopTool& tool : desktopTools()) {
      if (g_ascii_strcasecmp(name.c_str(), tool.desktop) == 0 && installed(tool.bluetooth[0]))
        return tool.bluetooth;
    }
    start = end + 1;
  }
  if (installed("blueman-manager")) return std::vector<std::string>{"blueman-manager"};
  return std::nullopt;
}

DesktopApplicationServices::DesktopApplicationServices(DesktopEntries entries,
                                                       ClientApplication client,
                                                       std::string procRoot)
    : entries_(std::move(entries)), client_(std::move(client)), procRoot_(std::move(procRoot)) {}

std::string DesktopApplicationServices::flatpakID(int32_t pid) const {
  const std::unique_ptr<GKeyFile, KeyFileDeleter> info(g_key_file_new());
  const std::string path = procRoot_ + "/" + std::to_string(pid) + "/root/.flatpak-info";
  if (!g_key_file_load_from_file(info.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) return {};
  const GText name(g_key_file_get_string(info.get(), "Application", "name", nullptr));
  return name ? name.get() : "";
}

std::string DesktopApplicationServices::snapName(int32_t pid) const {
  std::ifstream in(procRoot_ + "/" + std::to_string(pid) + "/cgroup");
  std::stringstream text;
  text << in.rdbuf();
  const std::string cgroup = text.str();
  // ".../snap.firefox.firefox-1234.scope"
  const size_t at = cgroup.find("/snap.");
  if (at == std::string::npos) return {};
  const size_t begin = at + 6;
  const size_t end = cgroup.find('.', begin);
  return end == std::string::npos ? std::string() : cgroup.substr(begin, end - begin);
}

const DesktopEntry* DesktopApplicationServices::entryOf(int32_t pid,
                                                        const AudioClientApplication& client) {
  if (const std::string flatpak = flatpakID(pid); !flatpak.empty()) {
    if (const DesktopEntry* entry = entries_.byID(flatpak)) return entry;
  }
  if (const std::string snap = snapName(pid); !snap.empty()) {
    // A snap's entries are "<snap>_<app>.desktop".
    if (const DesktopEntry* entry = entries_.byID(snap + "_" + snap)) return entry;
    if (const DesktopEntry* entry = entries_.byIDPrefix(snap + "_")) return entry;
  }
  if (!client.id.empty()) {
    if (const DesktopEntry* entry = entries_.byID(client.id)) return entry;
  }
  const std::optional<std::string> executable = processExecutablePath(pid);
  const std::string basename = executable ? fs::path(*executable).filename().string() : "";
  // The window class is usually the program's or the application's name.
  for (const std::string& name : {basename, client.name, client.id}) {
    if (const DesktopEntry* entry = entries_.byStartupWMClass(name)) return entry;
  }
  return entries_.byExecutable(basename);
}

std::optional<RunningApplication> DesktopApplicationServices::runningApplication(int32_t pid) {
  if (pid <= 0) return std::nullopt;
  const AudioClientApplication client = client_ ? client_(pid) : AudioClientApplication{};
  std::optional<Image> serverIcon;
  if (!client.iconName.empty()) serverIcon = Image{{}, client.iconName};
  if (const DesktopEntry* entry = entryOf(pid, client)) {
    std::optional<Image> icon = entry->icon;
    // An image file that is gone shows nothing; the server's icon name may still.
    if (icon && !icon->path.empty() && !imageAt(icon->path)) icon.reset();
    return RunningApplication{entry->path, entry->id, entry->name, icon ? icon : serverIcon};
  }
  if (client.name.empty() && !serverIcon) return std::nullopt;
  RunningApplication running;
  if (!client.name.empty()) running.localizedName = client.name;
  running.icon = serverIcon;
  return running;
}

std::optional<std::string> DesktopApplicationServices::applicationPath(
    const std::string& bundleIdentifier) {
  if (const DesktopEntry* entry = entries_.byID(bundleIdentifier)) return entry->path;
  return std::nullopt;
}

std::optional<Image> DesktopApplicationServices::imageAt(const std::string& path) {
  std::error_code error;
  if (path.empty() || !fs::is_regular_file(path, error)) return std::nullopt;
  return Image{path, {}};
}

Image DesktopApplicationServices::fileIcon(const std::string&) {
  return Image{{}, "application-x-executable"};
}

std::vector<std::string> DesktopApplicationServices::listDirectory(const std::string& path) {
  std::vector<std::string> entries;
  std::error_code error;
  for (const auto& item : fs::directory_iterator(path, error)) {
    if (!item.path().filename().string().starts_with(".")) entries.push_back(item.path().string());
  }
  return entries;
}

bool DesktopApplicationServices::isDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::string DesktopApplicationServices::homeDirectory() { return g_get_home_dir(); }

int32_t DesktopApplicationServices::ownProcessID() { return int32_t(getpid()); }

std::string DesktopApplicationServices::ownBundleIdentifier() {
  return applicationInfo().string("BundleIdentifier").value_or("");
}

bool DesktopApplicationServices::canOpenSettingsPage(SettingsPage page) {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  return settingsPageCommand(page, desktop != nullptr ? desktop : "", onPath).has_value();
}

void DesktopApplicationServices::openSettingsPage(SettingsPage page) {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  if (const auto command = settingsPageCommand(page, desktop != nullptr ? desktop : "", onPath))
    spawn(*command);
}

}  // namespace velmora::platform
