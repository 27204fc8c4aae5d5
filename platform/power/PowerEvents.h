// The system's announcements that the machine is about to sleep and has woken up.
//
// Threading: observers are called on the main thread.
#pragma once

#include <cstdint>
#include <functional>

namespace velmora::platform {

class PowerEvents {
 public:
  using Token = uint64_t;
  virtual ~PowerEvents() = default;
  virtual Token observe(std::function<void()> willSleep, std::function<void()> didWake) = 0;
  virtual void remove(Token token) = 0;
};

// Installs `events` for the whole process (null uninstalls) and returns the ones it replaces.
PowerEvents* installPowerEvents(PowerEvents* events);

// The installed events; without any, a source that never announces anything.
PowerEvents& powerEvents();

}  // namespace velmora::platform
