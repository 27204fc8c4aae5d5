#include "platform/power/PowerEvents.h"

#include <atomic>

namespace velmora::platform {
namespace {

class NoPowerEvents final : public PowerEvents {
 public:
  Token observe(std::function<void()>, std::function<void()>) override { return 0; }
  void remove(Token) override {}
};

NoPowerEvents none;
std::atomic<PowerEvents*> installed{nullptr};

}  // namespace

PowerEvents* installPowerEvents(PowerEvents* events) {
  return installed.exchange(events, std::memory_order_acq_rel);
}

PowerEvents& powerEvents() {
  PowerEvents* events = installed.load(std::memory_order_acquire);
  return events != nullptr ? *events : none;
}

}  // namespace velmora::platform
