// Global hot keys of the simulated machine. Registrations are recorded so tests can see what is
// held; a combination can be made to fail as if another program held it, or to succeed with an
// empty reference; a key press delivers any id record, the program's or a foreign one, to the
// installed handlers. As on a real system, a combination already held cannot be registered again
// until it is released.
//
// Threading: main thread only, like the service it stands for.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/hotkeys/HotkeyService.h"

namespace velmora::platform::sim {

class SimulatedHotkeys final : public HotkeyService {
 public:
  struct Registration {
    uint32_t key = 0;
    uint32_t modifiers = 0;
    HotKeyID id;
    HotKeyReference reference;

    bool operator==(const Registration&) const = default;
  };

  // How a combination is refused.
  enum class Refusal {
    held,            // another program holds it: an error status, no reference
    emptyReference,  // success status, but an empty reference
  };

  HandlerToken installPressedHandler(PressedHandler handler) override;
  void removePressedHandler(HandlerToken token) override;
  HotKeyRegistration registerHotKey(uint32_t key, uint32_t modifiers, uint32_t signature,
                                    uint32_t id) override;
  void unregisterHotKey(HotKeyReference reference) override;

  // From now on, registering this combination fails in the given way.
  void refuse(uint32_t key, uint32_t modifiers, Refusal refusal = Refusal::held);
  // Lifts a refusal: the combination registers again.
  void accept(uint32_t key, uint32_t modifiers);

  // The registrations currently held, oldest first.
  const std::vector<Registration>& registrations() const { return registrations_; }
  size_t handlerCount() const { return handlers_.size(); }

  // A press of a hot key carrying `pressed` (absent: an event without a readable id). Returns
  // handled when some handler took it.
  HotKeyEventResult press(std::optional<HotKeyID> pressed);
  // A press of a held combination; not handled when nothing holds it.
  HotKeyEventResult pressCombination(uint32_t key, uint32_t modifiers);

 private:
  std::vector<std::pair<HandlerToken, PressedHandler>> handlers_;  // oldest first
  std::vector<Registration> registrations_;
  std::map<std::pair<uint32_t, uint32_t>, Refusal> refused_;
  HandlerToken lastToken_ = 0;
  uint64_t lastReference_ = 0;
};

}  // namespace velmora::platform::sim
