// The system's knowledge of applications: running-application records, application bundles on
// disk, the workspace's look-up by bundle identifier, icons, and the program's own identity.
// The simulated system serves these from its scenario; a desktop backend from the machine.
//
// Threading: called from the main thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora::platform {

// Where an icon comes from: an image file, or a named image resource of a bundle. The views load
// it; nothing below them needs the pixels.
struct Image {
  std::string path;
  std::string resourceName;

  bool operator==(const Image&) const = default;
};

// A value of a bundle's information dictionary.
using InfoValue = std::variant<std::string, double, bool>;

struct Bundle {
  std::string path;
  std::optional<std::string> identifier;
  std::map<std::string, InfoValue> info;
  std::string resourcePath;

  // The value for `key` when it is text.
  std::optional<std::string> infoString(const std::string& key) const;
};

// The desktop's settings pages the program sends the user to.
enum class SettingsPage { bluetooth, audioCapturePermission, loginItems };

struct RunningApplication {
  std::optional<std::string> bundlePath;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> localizedName;
  std::optional<Image> icon;

  bool operator==(const RunningApplication&) const = default;
};

class ApplicationServices {
 public:
  virtual ~ApplicationServices() = default;

  virtual std::optional<RunningApplication> runningApplication(int32_t pid) = 0;
  // The bundle at `path`, when one can be opened there.
  virtual std::optional<Bundle> bundle(const std::string& path) = 0;
  // The workspace's application for a bundle identifier.
  virtual std::optional<std::string> applicationPath(const std::string& bundleIdentifier) = 0;
  // An image that loads from `path`, or nothing.
  virtual std::optional<Image> imageAt(const std::string& path) = 0;
  // A bundle's named image resource, when the bundle provides one.
  virtual std::optional<Image> imageResource(const Bundle& bundle, const std::string& name) = 0;
  // The workspace's icon for any file path.
  virtual Image fileIcon(const std::string& path) = 0;
  // Entries of a folder as full paths, without hidden ones; empty when it cannot be listed.
  virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  virtual std::string homeDirectory() = 0;
  virtual int32_t ownProcessID() = 0;
  virtual std::string ownBundleIdentifier() = 0;
  // Whether this desktop has `page`; a button that would open a missing page is disabled.
  virtual bool canOpenSettingsPage(SettingsPage page) = 0;
  // Asks the desktop to show `page`; nothing happens when it has none.
  virtual void openSettingsPage(SettingsPage page) = 0;
};

// Installs `services` for the whole process (null uninstalls) and returns the ones it replaces.
// The caller keeps ownership.
ApplicationServices* installApplicationServices(ApplicationServices* services);

// The installed services; without any, a neutral set that knows no applications.
ApplicationServices& applicationServices();

}  // namespace velmora::platform
