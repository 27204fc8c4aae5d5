#include "platform/apps/ApplicationServices.h"

#include <unistd.h>

#include <atomic>

namespace velmora::platform {
namespace {

// What a machine without any application knowledge answers.
class NoApplicationServices final : public ApplicationServices {
 public:
  std::optional<RunningApplication> runningApplication(int32_t) override { return std::nullopt; }
  std::optional<Bundle> bundle(const std::string&) override { return std::nullopt; }
  std::optional<std::string> applicationPath(const std::string&) override { return std::nullopt; }
  std::optional<Image> imageAt(const std::string&) override { return std::nullopt; }
  std::optional<Image> imageResource(const Bundle&, const std::string&) override {
    return std::nullopt;
  }
  Image fileIcon(const std::string& path) override { return Image{path, {}}; }
  std::vector<std::string> listDirectory(const std::string&) override { return {}; }
  bool isDirectory(const std::string&) override { return false; }
  std::string homeDirectory() override { return {}; }
  int32_t ownProcessID() override { return int32_t(getpid()); }
  std::string ownBundleIdentifier() override { return {}; }
  bool canOpenSettingsPage(SettingsPage) override { return false; }
  void openSettingsPage(SettingsPage) override {}
};

NoApplicationServices none;
std::atomic<ApplicationServices*> installed{nullptr};

}  // namespace

std::optional<std::string> Bundle::infoString(const std::string& key) const {
  const auto found = info.find(key);
  if (found == info.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  return std::nullopt;
}

ApplicationServices* installApplicationServices(ApplicationServices* services) {
  return installed.exchange(services, std::memory_order_acq_rel);
}

ApplicationServices& applicationServices() {
  ApplicationServices* services = installed.load(std::memory_order_acquire);
  return services != nullptr ? *services : none;
}

}  // namespace velmora::platform
