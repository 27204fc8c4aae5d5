#include "audio/ApplicationIdentity.h"

#include <algorithm>
#include <cctype>

#include "platform/apps/FilePath.h"

namespace velmora::audio::ApplicationIdentity {
namespace {

using platform::applicationServices;

bool isApplicationPath(const std::string& path) {
  std::string extension = platform::pathExtension(path);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == "app";
}

// `path`'s outer application when a bundle opens there.
std::optional<std::string> openableOuterApplication(const std::string& path) {
  std::optional<std::string> outer = outerApplication(path);
  if (outer && applicationServices().bundle(*outer)) return outer;
  return std::nullopt;
}

bool hasTwoNonEmptyParts(const std::string& identifier) {
  int parts = 0;
  size_t start = 0;
  while (start <= identifier.size()) {
    size_t end = identifier.find('.', start);
    if (end == std::string::npos) end = identifier.size();
    if (end > start && ++parts == 2) return true;
    start = end + 1;
  }
  return false;
}

// Records the applications in `folder`; `depth` more levels of other folders are looked into.
void scanFolder(const std::string& folder, int depth, InstalledApplications& found) {
  platform::ApplicationServices& services = applicationServices();
  for (const std::string& entry : services.listDirectory(folder)) {
    if (isApplicationPath(entry)) {
      const std::optional<platform::Bundle> bundle = services.bundle(entry);
      if (bundle && bundle->identifier && !bundle->identifier->empty()) {
        found.try_emplace(*bundle->identifier, entry);
        continue;
      }
    }
    if (depth > 0 && services.isDirectory(entry)) scanFolder(entry, depth - 1, found);
  }
}

}  // namespace

std::optional<std::string> outerApplication(const std::string& path) {
  const std::string standard = platform::standardizedPath(path);
  if (standard.empty() || standard.front() != '/') return std::nullopt;
  size_t end = 0;
  while (end < standard.size()) {
    end = standard.find('/', end + 1);
    if (end == std::string::npos) end = standard.size();
    std::string prefix = standard.substr(0, end);
    if (isApplicationPath(prefix)) return prefix;
  }
  return std::nullopt;
}

std::optional<std::string> lookupApplication(const std::string& bundleIdentifier,
                                             const InstalledApplications& installed) {
  if (auto path = applicationServices().applicationPath(bundleIdentifier)) return path;
  const auto found = installed.find(bundleIdentifier);
  if (found == installed.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> defaultLookup(const std::string& bundleIdentifier) {
  return lookupApplication(bundleIdentifier, installedApplications());
}

std::optional<std::string> resolve(const std::string& executable,
                                   const std::optional<std::string>& runningBundlePath,
                                   const std::string& bundleIdentifier, const Lookup& lookup) {
  if (!executable.empty()) {
    if (auto outer = openableOuterApplication(executable)) return outer;
  }
  if (runningBundlePath) {
    if (auto outer = openableOuterApplication(*runningBundlePath)) return outer;
  }
  std::string identifier = bundleIdentifier;
  while (hasTwoNonEmptyParts(identifier)) {
    if (const std::optional<std::string> path = lookup(identifier)) {
      if (auto outer = openableOuterApplication(*path)) return outer;
    }
    identifier.erase(identifier.rfind('.'));
  }
  return std::nullopt;
}

InstalledApplications scanInstalledApplications() {
  InstalledApplications found;
  const std::string home = applicationServices().homeDirectory();
  if (!home.empty()) scanFolder(platform::appendingPathComponent(home, "Applications"), 1, found);
  scanFolder("/Applications", 1, found);
  scanFolder("/System/Applications", 1, found);
  return found;
}

const InstalledApplications& installedApplications() {
  static const InstalledApplications installed = scanInstalledApplications();
  return installed;
}

std::optional<platform::Image> icon(const std::string& path) {
  platform::ApplicationServices& services = applicationServices();
  if (const std::optional<platform::Bundle> bundle = services.bundle(path)) {
    if (const auto file = bundle->infoString("CFBundleIconFile")) {
      std::string name = *file;
      if (platform::pathExtension(name).empty()) name += ".icns";
      if (auto image =
              services.imageAt(platform::appendingPathComponent(bundle->resourcePath, name))) {
        return image;
      }
    }
    if (const auto name = bundle->infoString("CFBundleIconName")) {
      if (auto image = services.imageResource(*bundle, *name)) return image;
    }
  }
  return services.fileIcon(path);
}

}  // namespace velmora::audio::ApplicationIdentity
