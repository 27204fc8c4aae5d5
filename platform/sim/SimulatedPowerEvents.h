#pragma once

#include <functional>
#include <map>
#include <utility>

#include "platform/power/PowerEvents.h"

namespace velmora::platform::sim {

// Sleep and wake on demand, for tests and demos. Call from the main thread.
class SimulatedPowerEvents final : public PowerEvents {
 public:
  Token observe(std::function<void()> willSleep, std::function<void()> didWake) override {
    observers_.emplace(++lastToken_, std::make_pair(std::move(willSleep), std::move(didWake)));
    return lastToken_;
  }
  void remove(Token token) override { observers_.erase(token); }

  void sleep() {
    for (auto& [token, observer] : std::map(observers_)) observer.first();
  }
  void wake() {
    for (auto& [token, observer] : std::map(observers_)) observer.second();
  }
  size_t observers() const { return observers_.size(); }

 private:
  std::map<Token, std::pair<std::function<void()>, std::function<void()>>> observers_;
  Token lastToken_ = 0;
};

}  // namespace velmora::platform::sim
