// The window under the tray icon that holds the panel: frameless, on top, placed at the click,
// closed when the user clicks elsewhere. A tool window rather than a Qt popup, so assistive
// technology still finds the panel in it.
//
// Threading: the main thread.
#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>

#include "ui/SettingsNavigation.h"

class QLabel;

namespace velmora::ui {
class MainPanel;
class ModelBridge;
}  // namespace velmora::ui

namespace velmora::shell {

class Popover : public QWidget {
  Q_OBJECT
 public:
  // `notice` is a line above the panel (the simulated machine says so there), or empty.
  Popover(ui::ModelBridge& bridge, ui::OpenSettings openSettings, const QString& notice);

  // Opens at `anchor` (a click on the tray icon), or without one at the last click's place or
  // in the corner by the desktop's panel.
  void showAt(std::optional<QPoint> anchor);
  void toggle(std::optional<QPoint> anchor);
  // The height follows the compact switch, at once even while shown.
  void applyInterface();
  // No tray to open it from: an ordinary window the user can move and close.
  void becomeWindow();

  ui::MainPanel* panel() const { return panel_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QSize wantedSize() const;

  ui::ModelBridge& bridge_;
  ui::MainPanel* panel_;
  QLabel* notice_;
  std::optional<QPoint> lastAnchor_;
  bool window_ = false;
};

}  // namespace velmora::shell
