#include "platform/sim/SimulatedHotkeys.h"

#include <algorithm>

namespace velmora::platform::sim {

HotkeyService::HandlerToken SimulatedHotkeys::installPressedHandler(PressedHandler handler) {
  handlers_.emplace_back(++lastToken_, std::move(handler));
  return lastToken_;
}

void SimulatedHotkeys::removePressedHandler(HandlerToken token) {
  std::erase_if(handlers_, [token](const auto& entry) { return entry.first == token; });
}

HotKeyRegistration SimulatedHotkeys::registerHotKey(uint32_t key, uint32_t modifiers,
                                                    uint32_t signature, uint32_t id) {
  if (const auto refused = refused_.find({key, modifiers}); refused != refused_.end()) {
    if (refused->second == Refusal::emptyReference) return {kHotKeyNoError, {}};
    return {kHotKeyExistsError, {}};
  }
  const bool held = std::any_of(registrations_.begin(), registrations_.end(), [&](const auto& r) {
    return r.key == key && r.modifiers == modifiers;
  });
  if (held) return {kHotKeyExistsError, {}};
  const HotKeyReference reference{++lastReference_};
  registrations_.push_back({key, modifiers, {signature, id}, reference});
  return {kHotKeyNoError, reference};
}

void SimulatedHotkeys::unregisterHotKey(HotKeyReference reference) {
  std::erase_if(registrations_, [reference](const auto& r) { return r.reference == reference; });
}

void SimulatedHotkeys::refuse(uint32_t key, uint32_t modifiers, Refusal refusal) {
  refused_[{key, modifiers}] = refusal;
}

void SimulatedHotkeys::accept(uint32_t key, uint32_t modifiers) {
  refused_.erase({key, modifiers});
}

HotKeyEventResult SimulatedHotkeys::press(std::optional<HotKeyID> pressed) {
  // Handlers may install or remove handlers while a press is delivered: walk a list of tokens and
  // skip those removed meanwhile, calling a copy of each handler.
  std::vector<HandlerToken> tokens;
  for (auto it = handlers_.rbegin(); it != handlers_.rend(); ++it) tokens.push_back(it->first);
  for (const HandlerToken token : tokens) {
    const auto found = std::find_if(handlers_.begin(), handlers_.end(),
                                    [token](const auto& entry) { return entry.first == token; });
    if (found == handlers_.end()) continue;
    const PressedHandler handler = found->second;
    if (handler(pressed) == HotKeyEventResult::handled) return HotKeyEventResult::handled;
  }
  return HotKeyEventResult::notHandled;
}

HotKeyEventResult SimulatedHotkeys::pressCombination(uint32_t key, uint32_t modifiers) {
  const auto held = std::find_if(registrations_.begin(), registrations_.end(), [&](const auto& r) {
    return r.key == key && r.modifiers == modifiers;
  });
  if (held == registrations_.end()) return HotKeyEventResult::notHandled;
  return press(held->id);
}

}  // namespace velmora::platform::sim
