// The settings window's general section: the interface options, the preferences with the login
// item, the global hotkeys, and the footer with the audio permission, the version and quit.
#pragma once

#include <QWidget>
#include <array>

#include "settings/Shortcut.h"

class QAbstractButton;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace velmora::ui {

class ModelBridge;
class PanelIconButton;
class SegmentedPicker;
class ShortcutRecorder;
class ToggleSwitch;

class GeneralSettingsView : public QWidget {
  Q_OBJECT
 public:
  explicit GeneralSettingsView(ModelBridge& bridge, QWidget* parent = nullptr);
  void refresh();

  // Global hotkeys cannot be grabbed in a Wayland session; the hotkey card then names the
  // command the desktop's own shortcuts can run.
  static bool globalHotkeysUnavailable();

 private:
  QWidget* buildInterfaceCard();
  QWidget* buildPreferencesCard();
  QWidget* buildHotkeyCard();
  QWidget* buildFooter();

  ModelBridge& bridge_;
  // Interface options, in the order of the card.
  ToggleSwitch* showInput_ = nullptr;
  ToggleSwitch* showAppIcons_ = nullptr;
  ToggleSwitch* scrollVolume_ = nullptr;
  ToggleSwitch* hudEnabled_ = nullptr;
  SegmentedPicker* hudPosition_ = nullptr;
  SegmentedPicker* hudStyle_ = nullptr;
  QPushButton* preview_ = nullptr;
  // Preferences.
  ToggleSwitch* processing_ = nullptr;
  ToggleSwitch* rememberApps_ = nullptr;
  ToggleSwitch* rememberDevices_ = nullptr;
  ToggleSwitch* login_ = nullptr;
  QPushButton* loginApproval_ = nullptr;
  // Hotkeys.
  std::array<ShortcutRecorder*, settings::allHotkeyActions.size()> recorders_{};
  std::array<PanelIconButton*, settings::allHotkeyActions.size()> clears_{};
  QVBoxLayout* errors_ = nullptr;
  QStringList shownErrors_;
};

}  // namespace velmora::ui
