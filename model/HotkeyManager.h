// Registers the user's shortcuts as global hot keys and turns a press of one into its action.
// Owned by the model; holds exactly the registrations of the last apply() and releases them when
// it goes.
//
// Threading: main thread only; the press handler is called there by the hot-key service.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/hotkeys/HotkeyService.h"
#include "settings/Shortcut.h"

namespace velmora::model {

class HotkeyManager {
 public:
  // The program's own four-character signature ('Vlmr') in every hot-key id it registers; presses
  // under any other signature belong to someone else.
  static constexpr uint32_t kSignature =
      (uint32_t('V') << 24) | (uint32_t('l') << 16) | (uint32_t('m') << 8) | uint32_t('r');

  // Installs the press handler with `service`, which must outlive the manager.
  explicit HotkeyManager(platform::HotkeyService& service);
  // Unregisters every held hot key and removes the handler.
  ~HotkeyManager();
  HotkeyManager(const HotkeyManager&) = delete;
  HotkeyManager& operator=(const HotkeyManager&) = delete;

  // Called with the action of a pressed hot key.
  std::function<void(settings::HotkeyAction)> onAction;

  // Releases every held hot key, then registers each bound action in the fixed action order under
  // its hot-key id. `shortcuts` maps raw action values to combinations; actions without an entry
  // stay unbound. Returns one text per combination that could not be registered.
  std::vector<std::string> apply(const std::map<std::string, settings::Shortcut>& shortcuts);

  // While a shortcut is recorded, the held combinations go to the recorder, not to their actions.
  void pause(bool paused) { service_.pauseGrabs(paused); }

 private:
  platform::HotKeyEventResult handlePressed(std::optional<platform::HotKeyID> pressed);
  void unregisterAll();

  platform::HotkeyService& service_;
  platform::HotkeyService::HandlerToken handler_ = 0;
  std::vector<platform::HotKeyReference> references_;
};

}  // namespace velmora::model
