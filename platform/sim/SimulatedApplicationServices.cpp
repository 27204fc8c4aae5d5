#include "platform/sim/SimulatedApplicationServices.h"

#include <algorithm>
#include <utility>

#include "platform/apps/FilePath.h"

namespace velmora::platform::sim {
namespace {

std::string resourcePathOf(const std::string& bundlePath) {
  return bundlePath + "/Contents/Resources";
}

// The folder holding `path` (a standardised absolute path other than "/").
std::string parentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

SimulatedApplicationServices::SimulatedApplicationServices(Scenario scenario,
                                                           RunningApplications runningApplications)
    : bundles_(std::move(scenario.bundles)),
      runningApplications_(std::move(runningApplications)),
      homeDirectory_(std::move(scenario.homeDirectory)),
      ownProcessID_(scenario.ownProcessID),
      ownBundleIdentifier_(std::move(scenario.ownBundleIdentifier)) {
  for (ScenarioBundle& bundle : bundles_) {
    bundle.path = standardizedPath(bundle.path);
    addFolder(bundle.path);
  }
  for (const std::string& folder : scenario.folders) addFolder(standardizedPath(folder));
}

// Records `path` and every folder above it; relative paths have no place on this disk.
void SimulatedApplicationServices::addFolder(const std::string& path) {
  if (path.empty() || path.front() != '/') return;
  tree_[path];
  for (std::string child = path; child != "/";) {
    std::string parent = parentOf(child);
    tree_[parent].insert(lastPathComponent(child));
    child = std::move(parent);
  }
}

const ScenarioBundle* SimulatedApplicationServices::bundleAt(const std::string& path) const {
  const std::string standard = standardizedPath(path);
  const auto found = std::find_if(bundles_.begin(), bundles_.end(),
                                  [&](const ScenarioBundle& b) { return b.path == standard; });
  return found == bundles_.end() ? nullptr : &*found;
}

std::optional<RunningApplication> SimulatedApplicationServices::runningApplication(int32_t pid) {
  if (!runningApplications_) return std::nullopt;
  return runningApplications_(pid);
}

std::optional<Bundle> SimulatedApplicationServices::bundle(const std::string& path) {
  const ScenarioBundle* found = bundleAt(path);
  if (found == nullptr) return std::nullopt;
  return Bundle{found->path, found->identifier, found->info, resourcePathOf(found->path)};
}

std::optional<std::string> SimulatedApplicationServices::applicationPath(
    const std::string& bundleIdentifier) {
  for (const ScenarioBundle& bundle : bundles_) {
    if (bundle.registered && bundle.identifier == bundleIdentifier) return bundle.path;
  }
  return std::nullopt;
}

std::optional<Image> SimulatedApplicationServices::imageAt(const std::string& path) {
  const std::string standard = standardizedPath(path);
  for (const ScenarioBundle& bundle : bundles_) {
    const std::string resources = resourcePathOf(bundle.path);
    for (const std::string& file : bundle.resourceFiles) {
      if (appendingPathComponent(resources, file) == standard) return Image{standard, {}};
    }
  }
  return std::nullopt;
}

std::optional<Image> SimulatedApplicationServices::imageResource(const Bundle& bundle,
                                                                 const std::string& name) {
  const ScenarioBundle* found = bundleAt(bundle.path);
  if (found == nullptr) return std::nullopt;
  const auto& names = found->imageResources;
  if (std::find(names.begin(), names.end(), name) == names.end()) return std::nullopt;
  return Image{found->path, name};
}

Image SimulatedApplicationServices::fileIcon(const std::string& path) { return Image{path, {}}; }

std::vector<std::string> SimulatedApplicationServices::listDirectory(const std::string& path) {
  const std::string standard = standardizedPath(path);
  const auto folder = tree_.find(standard);
  if (folder == tree_.end()) return {};
  std::vector<std::string> entries;
  for (const std::string& name : folder->second) {
    if (name.front() == '.') continue;  // hidden
    entries.push_back(appendingPathComponent(standard, name));
  }
  return entries;
}

bool SimulatedApplicationServices::isDirectory(const std::string& path) {
  return tree_.contains(standardizedPath(path));
}

std::string SimulatedApplicationServices::homeDirectory() { return homeDirectory_; }

int32_t SimulatedApplicationServices::ownProcessID() { return ownProcessID_; }

std::string SimulatedApplicationServices::ownBundleIdentifier() { return ownBundleIdentifier_; }

}  // namespace velmora::platform::sim
