// Recording a hotkey, offscreen: key presses as the keyboard reports them (its key numbers
// included), the beep-and-wait for a key without Ctrl, Alt or Super, Esc and Delete, the key
// labels, and the ends of recording.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QTest>
#include <QWidget>

#include "ui/ShortcutRecorder.h"

namespace velmora::ui {
namespace {

using settings::Shortcut;

struct Recording {
  Recording()
      : recorder(
            [this](const std::optional<Shortcut>& shortcut) {
              changes.push_back(shortcut);
              recorder.setShortcut(shortcut);
            },
            [this](bool paused) { pauses.push_back(paused); }, &window) {
    window.show();
  }
  // A press of the key at X keycode `keycode`, as Qt delivers it.
  void press(int qtKey, quint32 keycode, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent override(QEvent::ShortcutOverride, qtKey, modifiers, keycode, 0, 0);
    QApplication::sendEvent(&window, &override);
    QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, keycode, 0, 0);
    QApplication::sendEvent(&window, &event);
  }

  QWidget window;
  std::vector<std::optional<Shortcut>> changes;
  std::vector<bool> pauses;
  ShortcutRecorder recorder;
};

TEST(ShortcutRecorder, RecordsCombinationsWithCtrlAltOrSuperAndEndsOnEscDeleteOrAClick) {
  Recording r;
  EXPECT_EQ(r.recorder.text(), "点击设置");
  r.recorder.click();
  EXPECT_EQ(r.recorder.text(), "按下组合键…");
  EXPECT_EQ(r.pauses, std::vector<bool>{true}) << "the global hotkeys step aside";
  r.press(Qt::Key_A, 38, Qt::ShiftModifier);
  EXPECT_TRUE(r.recorder.recording()) << "Shift alone: a beep, and still waiting";
  EXPECT_TRUE(r.changes.empty());
  r.press(Qt::Key_A, 38, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(r.changes.size(), 1u);
  EXPECT_EQ(r.changes[0], (Shortcut{0, 0x300, "A"}));
  EXPECT_EQ(r.recorder.text(), "Ctrl+Shift+A");
  EXPECT_EQ(r.pauses, (std::vector<bool>{true, false}));

  r.recorder.click();
  r.press(Qt::Key_Escape, 9);
  EXPECT_FALSE(r.recorder.recording());
  EXPECT_EQ(r.recorder.text(), "Ctrl+Shift+A") << "Esc keeps the binding";
  r.recorder.click();
  r.press(Qt::Key_Backspace, 22);
  EXPECT_EQ(r.changes.back(), std::nullopt);
  EXPECT_EQ(r.recorder.text(), "点击设置");

  r.recorder.click();
  r.press(Qt::Key_Up, 111, Qt::AltModifier | Qt::MetaModifier);
  EXPECT_EQ(r.recorder.text(), "Alt+Super+↑") << "an arrow by its symbol, Meta as Super";

  // While recording no shortcut of the program fires; a click elsewhere ends recording, and so
  // does the window going away.
  int fired = 0;
  QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::Key_B), &r.window);
  shortcut.setContext(Qt::ApplicationShortcut);
  QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
  r.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&r.window));
  QTest::keyClick(&r.window, Qt::Key_B, Qt::ControlModifier);
  ASSERT_EQ(fired, 1) << "not recording: the program's shortcut works";
  r.recorder.click();
  QTest::keyClick(&r.window, Qt::Key_B, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
  r.recorder.click();
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&r.window, &click);
  EXPECT_FALSE(r.recorder.recording());
  r.recorder.click();
  r.window.hide();
  EXPECT_FALSE(r.recorder.recording());
  EXPECT_EQ(r.pauses.back(), false);
}

}  // namespace
}  // namespace velmora::ui
