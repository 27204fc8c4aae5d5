#include "platform/login/LoginItemService.h"

#include <atomic>

namespace velmora::platform {
namespace {

// A machine without login items.
class NoLoginItemService final : public LoginItemService {
 public:
  LoginItemStatus status() override { return LoginItemStatus::notFound; }
  std::optional<LoginItemFailure> registerMainApp() override { return unavailable(); }
  std::optional<LoginItemFailure> unregisterMainApp() override { return unavailable(); }
  void openSystemSettingsLoginItems() override {}

 private:
  static LoginItemFailure unavailable() { return {"此系统不提供开机启动服务。"}; }
};

NoLoginItemService none;
std::atomic<LoginItemService*> installed{nullptr};

}  // namespace

LoginItemService* installLoginItemService(LoginItemService* service) {
  return installed.exchange(service, std::memory_order_acq_rel);
}

LoginItemService& loginItemService() {
  LoginItemService* service = installed.load(std::memory_order_acquire);
  return service != nullptr ? *service : none;
}

}  // namespace velmora::platform
