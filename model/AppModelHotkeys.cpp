// What the global hotkeys do, changing a binding, and launch at login.
#include <algorithm>

#include "model/AppModel.h"
#include "platform/login/LoginItemService.h"

namespace velmora::model {
namespace {

constexpr float kHotkeyVolumeStep = 0.05f;

}  // namespace

void AppModel::perform(settings::HotkeyAction action) {
  checkMainQueue();
  using settings::HotkeyAction;
  switch (action) {
    case HotkeyAction::panel:
      if (togglePanel) togglePanel();
      break;
    case HotkeyAction::mute:
      toggleSystemMute();
      break;
    case HotkeyAction::quieter:
      setSystemVolume(std::max(state_.systemVolume - kHotkeyVolumeStep, 0.0f));
      break;
    case HotkeyAction::louder:
      setSystemVolume(std::min(state_.systemVolume + kHotkeyVolumeStep, 1.0f));
      break;
    case HotkeyAction::nextOutput: {
      // The shown outputs that are present, in list order; the one after the current, wrapping.
      std::vector<AudioObjectID> outputs;
      for (const settings::DeviceBookmark& bookmark : bookmarks()) {
        if (!bookmark.supportsOutput || !bookmark.showOutput) continue;
        if (const auto device = presentDevice(bookmark, AudioDirection::output)) {
          outputs.push_back(device->id);
        }
      }
      if (outputs.empty()) break;
      const auto current = std::find(outputs.begin(), outputs.end(), state_.outputID);
      const size_t next =
          current == outputs.end() ? 0 : (size_t(current - outputs.begin()) + 1) % outputs.size();
      selectDevice(outputs[next], AudioDirection::output);
      break;
    }
  }
  publish();
}

void AppModel::setShortcut(settings::HotkeyAction action,
                           const std::optional<settings::Shortcut>& shortcut) {
  checkMainQueue();
  auto& shortcuts = state_.preferences.shortcuts;
  if (shortcut) {
    for (settings::HotkeyAction other : settings::allHotkeyActions) {
      if (other == action) continue;
      const auto bound = shortcuts.find(std::string(settings::rawValue(other)));
      if (bound != shortcuts.end() && bound->second.key == shortcut->key &&
          bound->second.modifiers == shortcut->modifiers) {
        setError("此快捷键已用于“" + std::string(settings::title(other)) + "”。");
        publish();
        return;
      }
    }
    shortcuts[std::string(settings::rawValue(action))] = *shortcut;
  } else {
    shortcuts.erase(std::string(settings::rawValue(action)));
  }
  state_.shortcutErrors = hotkeys_->apply(shortcuts);
  save();
  publish();
}

}  // namespace velmora::model

namespace velmora::model {

void AppModel::setLogin(bool enabled) {
  checkMainQueue();
  platform::LoginItemService& service = platform::loginItemService();
  const auto failure = enabled ? service.registerMainApp() : service.unregisterMainApp();
  if (failure) setError("修改开机启动失败：" + failure->localizedDescription);
  refreshLogin();
  publish();
}

void AppModel::refreshLogin() {
  const platform::LoginItemStatus status = platform::loginItemService().status();
  state_.loginEnabled = status == platform::LoginItemStatus::enabled ||
                        status == platform::LoginItemStatus::requiresApproval;
  state_.loginNeedsApproval = status == platform::LoginItemStatus::requiresApproval;
}

}  // namespace velmora::model
