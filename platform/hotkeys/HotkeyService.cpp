#include "platform/hotkeys/HotkeyService.h"

#include <atomic>

namespace velmora::platform {
namespace {

// A machine without global hot keys: handlers are accepted but never called.
class NoHotkeyService final : public HotkeyService {
 public:
  HandlerToken installPressedHandler(PressedHandler) override { return ++lastToken_; }
  void removePressedHandler(HandlerToken) override {}
  HotKeyRegistration registerHotKey(uint32_t, uint32_t, uint32_t, uint32_t) override {
    return {kHotKeyInvalidError, {}};
  }
  void unregisterHotKey(HotKeyReference) override {}

 private:
  std::atomic<HandlerToken> lastToken_{0};
};

NoHotkeyService none;
std::atomic<HotkeyService*> installed{nullptr};

}  // namespace

HotkeyService* installHotkeyService(HotkeyService* service) {
  return installed.exchange(service, std::memory_order_acq_rel);
}

HotkeyService& hotkeyService() {
  HotkeyService* service = installed.load(std::memory_order_acquire);
  return service != nullptr ? *service : none;
}

}  // namespace velmora::platform
