// Test harness: the panel on the simulated machine, offscreen, in virtual time. Controls are found
// the way a user or assistive technology finds them: by accessible name, tool tip or text.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTextDocumentFragment>
#include <QWidget>
#include <utility>
#include <vector>

#include "tests/model/ModelHarness.h"
#include "ui/MainPanel.h"
#include "ui/ModelBridge.h"

namespace velmora::test {

class PanelHarness : public ModelHarness {
 public:
  explicit PanelHarness(const Scenario& scenario = modelMachine()) : ModelHarness(scenario) {
    bridge = std::make_unique<ui::ModelBridge>(*model);
    panel = std::make_unique<ui::MainPanel>(
        *bridge, [this](ui::SettingsSection section, ui::DeviceSettingsTab tab) {
          openedSettings.emplace_back(section, tab);
        });
    panel->show();
    settle();
  }

  // Virtual time passes, then the views catch up and retired rows go.
  void settle(double seconds = 0.0) {
    advance(seconds);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The visible widgets of type T whose accessible name, tool tip (as shown) or text is `key`.
  template <typename T = QWidget>
  std::vector<T*> all(const QString& key) const {
    std::vector<T*> found;
    QWidget* root = scope != nullptr ? scope : panel.get();
    for (T* widget : root->findChildren<T*>()) {
      if (!widget->isVisibleTo(root)) continue;
      if (widget->accessibleName() == key || shownToolTip(widget) == key || textOf(widget) == key) {
        found.push_back(widget);
      }
    }
    return found;
  }
  template <typename T = QWidget>
  T* find(const QString& key) const {
    const auto found = all<T>(key);
    if (found.size() != 1) {
      ADD_FAILURE() << found.size() << " visible controls for " << key.toStdString();
      return nullptr;
    }
    return found.front();
  }
  bool shows(const QString& key) const { return !all(key).empty(); }
  // Clicks the first button found by `key` (list rows repeat theirs), and the views catch up.
  void click(const QString& key) {
    const auto buttons = all<QAbstractButton>(key);
    ASSERT_FALSE(buttons.empty()) << key.toStdString();
    buttons.front()->click();
    settle();
  }

  // The paired headphones (see withHeadphones) shown in the output list, connections held open.
  void showHeadphones() {
    settle();  // the first scan's result
    model->setDeviceVisible(bookmark(kHeadphonesID), AudioDirection::output, true);
    machine.bluetooth().holdConnections(true);
    settle();
  }
  void startConnecting() {
    showHeadphones();
    click("降噪耳机");
  }
  void failConnecting() {
    machine.bluetooth().setConnectionOutcome(kHeadphonesAddress, 4);
    startConnecting();
    connect();
    settle();
  }

  // A switch as seen and as read aloud.
  static void expectSwitch(const QAbstractButton* button, bool on, const QString& toolTip) {
    EXPECT_EQ(button->isChecked(), on) << button->accessibleName().toStdString();
    EXPECT_EQ(button->accessibleDescription(), on ? "已开启" : "已关闭");
    EXPECT_EQ(button->toolTip(), toolTip);
  }

  static QString shownToolTip(const QWidget* widget) {
    return QTextDocumentFragment::fromHtml(widget->toolTip()).toPlainText();
  }
  static QString textOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return {};
  }

  // Declared in this order, the views go before the model they read.
  std::unique_ptr<ui::ModelBridge> bridge;
  std::unique_ptr<ui::MainPanel> panel;
  // Where controls are looked for; the panel unless a test sets another window.
  QWidget* scope = nullptr;
  std::vector<std::pair<ui::SettingsSection, ui::DeviceSettingsTab>> openedSettings;
};

}  // namespace velmora::test
