// Application knowledge of the simulated machine: its application bundles and folders come from
// the scenario, its running-application records from the simulated audio system's live process
// table. Paths are standardised before they are looked up, so "/A//B.app/" names "/A/B.app".
//
// Threading: immutable after construction; the process-table function is called on the caller's
// thread and must be safe there.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/apps/ApplicationServices.h"
#include "platform/sim/Scenario.h"

namespace velmora::platform::sim {

class SimulatedApplicationServices final : public ApplicationServices {
 public:
  using RunningApplications = std::function<std::optional<RunningApplication>(int32_t pid)>;

  SimulatedApplicationServices(Scenario scenario, RunningApplications runningApplications);

  std::optional<RunningApplication> runningApplication(int32_t pid) override;
  std::optional<Bundle> bundle(const std::string& path) override;
  std::optional<std::string> applicationPath(const std::string& bundleIdentifier) override;
  std::optional<Image> imageAt(const std::string& path) override;
  std::optional<Image> imageResource(const Bundle& bundle, const std::string& name) override;
  Image fileIcon(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  std::string homeDirectory() override;
  int32_t ownProcessID() override;
  std::string ownBundleIdentifier() override;
  // Every page exists on the simulated desktop unless a test takes it away.
  bool canOpenSettingsPage(SettingsPage page) override { return !missingPages_.count(page); }
  void openSettingsPage(SettingsPage page) override {
    if (canOpenSettingsPage(page)) openedPages_.push_back(page);
  }
  void setSettingsPageAvailable(SettingsPage page, bool available) {
    if (available)
      missingPages_.erase(page);
    else
      missingPages_.insert(page);
  }

  // The pages the program showed, oldest first.
  const std::vector<SettingsPage>& openedSettingsPages() const { return openedPages_; }

 private:
  const ScenarioBundle* bundleAt(const std::string& path) const;
  void addFolder(const std::string& path);

  std::vector<ScenarioBundle> bundles_;                // paths standardised, scenario order
  std::map<std::string, std::set<std::string>> tree_;  // folder -> names of its sub-folders
  RunningApplications runningApplications_;
  std::string homeDirectory_;
  int32_t ownProcessID_;
  std::string ownBundleIdentifier_;
  std::vector<SettingsPage> openedPages_;
  std::set<SettingsPage> missingPages_;
};

}  // namespace velmora::platform::sim
