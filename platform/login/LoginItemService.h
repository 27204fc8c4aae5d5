// The system's login items: whether the program starts when the user logs in. A desktop backend
// writes the session's autostart entry; the simulated one keeps a status that tests set.
//
// Threading: main thread only.
#pragma once

#include <optional>
#include <string>

namespace velmora::platform {

enum class LoginItemStatus {
  notRegistered,     // not a login item
  enabled,           // starts at login
  requiresApproval,  // registered, but the user still has to allow it in the system settings
  notFound,          // the system knows no login item for this program
};

// Why a change was refused, in the system's own words (already localized).
struct LoginItemFailure {
  std::string localizedDescription;

  bool operator==(const LoginItemFailure&) const = default;
};

class LoginItemService {
 public:
  virtual ~LoginItemService() = default;

  virtual LoginItemStatus status() = 0;
  // Makes the program's main application a login item; nothing on success.
  virtual std::optional<LoginItemFailure> registerMainApp() = 0;
  virtual std::optional<LoginItemFailure> unregisterMainApp() = 0;
  // Opens the system settings page where the user allows login items.
  virtual void openSystemSettingsLoginItems() = 0;
};

// Installs `service` for the whole process (null uninstalls) and returns the one it replaces.
// The caller keeps ownership.
LoginItemService* installLoginItemService(LoginItemService* service);

// The installed service; without one, a neutral service that finds no login item and refuses
// every change.
LoginItemService& loginItemService();

}  // namespace velmora::platform
