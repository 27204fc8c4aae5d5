// The control that records a key combination for a hotkey. A click starts recording; while it
// records, every key press in the program goes to it (none reaches a text field or a shortcut)
// and the global hotkeys are paused, so pressing a bound combination records it instead of
// running it. A combination needs Ctrl, Alt or Super; Esc cancels, Delete clears; a click
// anywhere, or the control leaving its window, ends recording.
//
// Threading: the main thread.
#pragma once

#include <QPushButton>
#include <functional>
#include <optional>

#include "settings/Shortcut.h"

namespace velmora::ui {

class ShortcutRecorder : public QPushButton {
  Q_OBJECT
 public:
  using Change = std::function<void(const std::optional<settings::Shortcut>&)>;
  // `pauseHotkeys` is called with true when recording starts and false when it ends.
  ShortcutRecorder(Change onChange, std::function<void(bool)> pauseHotkeys,
                   QWidget* parent = nullptr);
  ~ShortcutRecorder() override;

  void setShortcut(const std::optional<settings::Shortcut>& shortcut);
  bool recording() const { return recording_; }
  void begin();
  void finish();

  // The shortcut a key press makes, or none when the key is not one a combination can use.
  static std::optional<settings::Shortcut> shortcutOf(const QKeyEvent& event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void showTitle();
  void keyPressed(const QKeyEvent& event);

  Change onChange_;
  std::function<void(bool)> pauseHotkeys_;
  std::optional<settings::Shortcut> current_;
  bool recording_ = false;
};

}  // namespace velmora::ui
