// Start at login on a freedesktop session: an entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart) that starts this program. Nothing needs approving.
//
// Threading: main thread only.
#pragma once

#include <filesystem>
#include <string>

#include "platform/login/LoginItemService.h"

namespace velmora::platform {

class AutostartLoginItem final : public LoginItemService {
 public:
  // `entry` is the autostart file; `program` the absolute path written to its Exec line.
  AutostartLoginItem(std::filesystem::path entry, std::string program);

  // The entry for this user's session: $XDG_CONFIG_HOME (else ~/.config), "autostart",
  // `desktopID` + ".desktop".
  static std::filesystem::path sessionEntry(const std::string& desktopID);

  LoginItemStatus status() override;
  std::optional<LoginItemFailure> registerMainApp() override;
  std::optional<LoginItemFailure> unregisterMainApp() override;
  // There is no settings page for autostart entries: nothing to open.
  void openSystemSettingsLoginItems() override {}

 private:
  std::filesystem::path entry_;
  std::string program_;
};

// `argument` quoted for an Exec key as a desktop-entry string value: in double quotes with ",
// `, $ and \ escaped, % doubled, then the string value's own backslash escapes applied.
std::string execArgument(const std::string& argument);

}  // namespace velmora::platform
