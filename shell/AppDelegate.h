// The tray program: the one model, the tray icon and its pop-over, scrolling on the icon, the
// single-instance hand-over and the model's hooks. Created once by main() on the GUI thread.
//
// Threading: the main thread.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

#include "model/AppModel.h"
#include "platform/dispatch/MainQueue.h"
#include "shell/ScrollVolumeGesture.h"
#include "shell/VolumeHUD.h"
#include "ui/SettingsNavigation.h"

class QMenu;
class QSettings;
class QSystemTrayIcon;

namespace velmora::ui {
class ModelBridge;
class SettingsWindow;
}  // namespace velmora::ui

namespace velmora::shell {

class Popover;
class StatusNotifierItem;

class AppDelegate : public QObject {
  Q_OBJECT
 public:
  struct Options {
    std::filesystem::path settingsFile;
    // The simulated machine: the panel says so.
    bool simulated = false;
    // --show: open the panel at start even after the first launch.
    bool show = false;
    // Where hasLaunched is kept.
    std::filesystem::path shellSettingsFile;
    // How long a tray is waited for before the fallbacks.
    int trayWaitMs = 10000;
  };

  // `queue` is the program's main queue (tests give a virtual-time one).
  AppDelegate(platform::MainQueue& queue, Options options);
  // Shuts the model down: the pending save is written and every application plays unprocessed.
  ~AppDelegate() override;

  void show();
  void toggle(std::optional<QPoint> anchor);
  // A hotkey action by its stored name ("panel", "mute", ...); false for an unknown name.
  bool perform(const QString& action);
  // One scroll event on the tray icon in the host's units (120 per notch, positive = up).
  void scroll(int delta);

  model::AppModel& model() { return *model_; }
  Popover& popover() { return *popover_; }
  StatusNotifierItem* statusItem() const { return statusItem_; }
  VolumeHUDController& hud() { return *hud_; }
  // The panel's way into the settings: closes the pop-over, makes the window on first use and
  // shows it at the section and tab.
  void openSettings(ui::SettingsSection section, ui::DeviceSettingsTab tab);
  // None until the settings were first opened.
  ui::SettingsWindow* settingsWindow() const { return settingsWindow_.get(); }

 private:
  void scrollStep(int direction);
  // The interface options, the defaults before there is an advanced record.
  settings::InterfaceSettings interface() const;
  void createTray();
  void fallBackWithoutWatcher();

  platform::MainQueue& queue_;
  Options options_;
  std::unique_ptr<model::AppModel> model_;
  std::unique_ptr<ui::ModelBridge> bridge_;
  std::unique_ptr<Popover> popover_;
  std::unique_ptr<VolumeHUDController> hud_;
  std::unique_ptr<ui::SettingsWindow> settingsWindow_;
  StatusNotifierItem* statusItem_ = nullptr;
  QSystemTrayIcon* fallbackIcon_ = nullptr;
  QMenu* menu_ = nullptr;
  ScrollVolumeGesture gesture_;
  int scrollRemainder_ = 0;
};

}  // namespace velmora::shell
