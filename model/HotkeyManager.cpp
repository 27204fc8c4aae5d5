#include "model/HotkeyManager.h"

namespace velmora::model {

using platform::HotKeyEventResult;
using settings::HotkeyAction;

HotkeyManager::HotkeyManager(platform::HotkeyService& service) : service_(service) {
  handler_ = service_.installPressedHandler(
      [this](std::optional<platform::HotKeyID> pressed) { return handlePressed(pressed); });
}

HotkeyManager::~HotkeyManager() {
  unregisterAll();
  service_.removePressedHandler(handler_);
}

std::vector<std::string> HotkeyManager::apply(
    const std::map<std::string, settings::Shortcut>& shortcuts) {
  unregisterAll();
  std::vector<std::string> errors;
  for (const HotkeyAction action : settings::allHotkeyActions) {
    const auto bound = shortcuts.find(std::string(settings::rawValue(action)));
    if (bound == shortcuts.end()) continue;
    const settings::Shortcut& shortcut = bound->second;
    const platform::HotKeyRegistration registration = service_.registerHotKey(
        shortcut.key, shortcut.modifiers, kSignature, settings::hotkeyID(action));
    if (registration.succeeded()) {
      references_.push_back(registration.reference);
    } else {
      errors.push_back(std::string(settings::title(action)) + "：" + shortcut.display() +
                       " 已被占用或无法注册。");
    }
  }
  return errors;
}

HotKeyEventResult HotkeyManager::handlePressed(std::optional<platform::HotKeyID> pressed) {
  // Ids of other programs, and numbers outside our table, are left to the next handler.
  if (!pressed || pressed->signature != kSignature) return HotKeyEventResult::notHandled;
  const std::optional<HotkeyAction> action = settings::hotkeyActionFromID(pressed->id);
  if (!action) return HotKeyEventResult::notHandled;
  if (onAction) onAction(*action);
  return HotKeyEventResult::handled;
}

void HotkeyManager::unregisterAll() {
  for (const platform::HotKeyReference reference : references_) {
    service_.unregisterHotKey(reference);
  }
  references_.clear();
}

}  // namespace velmora::model
