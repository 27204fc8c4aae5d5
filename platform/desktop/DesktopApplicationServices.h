// What a Linux desktop knows about applications. There are no application bundles: the running
// application of a pid is its desktop entry, found by the Flatpak id of its sandbox, its Snap
// name, the application id the audio server publishes for it, the entry's StartupWMClass, and the
// executable's base name against Exec, in that order; without an entry the audio server's name
// and icon name stand in. Icons are theme names or image files. The installed-application look-up
// by identifier finds the desktop entry of that id.
//
// Threading: called from the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/apps/ApplicationServices.h"
#include "platform/audio/AudioBackend.h"
#include "platform/desktop/DesktopEntries.h"

namespace velmora::platform {

class DesktopApplicationServices final : public ApplicationServices {
 public:
  // What the audio server says about the application of a pid (empty fields when nothing).
  using ClientApplication = std::function<AudioClientApplication(int32_t pid)>;

  // `procRoot` is where the processes' /proc folders are (tests use a fixture folder).
  DesktopApplicationServices(DesktopEntries entries, ClientApplication client,
                             std::string procRoot = "/proc");

  std::optional<RunningApplication> runningApplication(int32_t pid) override;
  // Nothing opens as a bundle on Linux.
  std::optional<Bundle> bundle(const std::string&) override { return std::nullopt; }
  // The desktop entry's file for a desktop-file id.
  std::optional<std::string> applicationPath(const std::string& bundleIdentifier) override;
  std::optional<Image> imageAt(const std::string& path) override;
  std::optional<Image> imageResource(const Bundle&, const std::string&) override {
    return std::nullopt;
  }
  // The theme's generic icon for programs.
  Image fileIcon(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  std::string homeDirectory() override;
  int32_t ownProcessID() override;
  // The program's own desktop-file id.
  std::string ownBundleIdentifier() override;
  bool canOpenSettingsPage(SettingsPage page) override;
  void openSettingsPage(SettingsPage page) override;

 private:
  const DesktopEntry* entryOf(int32_t pid, const AudioClientApplication& client);
  std::string flatpakID(int32_t pid) const;
  std::string snapName(int32_t pid) const;

  DesktopEntries entries_;
  ClientApplication client_;
  std::string procRoot_;
};

// The argument list that shows `page` on this desktop: the settings tool of the desktop named
// first in `currentDesktop` ($XDG_CURRENT_DESKTOP, ":"-separated) that has one for the page and
// is installed, else for Bluetooth "blueman-manager" when installed; none when nothing can show
// it (the audio-capture permission and login items have no page on Linux). `installed` tells
// whether a program is on PATH.
std::optional<std::vector<std::string>> settingsPageCommand(
    SettingsPage page, const std::string& currentDesktop,
    const std::function<bool(const std::string&)>& installed);

}  // namespace velmora::platform
