// What must hold however the panel is used: a click that changes the model never frees the
// clicked button, and every character has a glyph.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "PanelHarness.h"

namespace velmora::test {
namespace {

// Clicks one button of every kind a row has while the model publishes around it: each click is
// followed by a change that rebuilds or retires rows before the views catch up. AddressSanitizer
// turns a row freed under its own click into a failure.
TEST(PanelSafety, EveryKindOfRowButtonSurvivesThePublishesItCauses) {
  PanelHarness h(withHeadphones());
  h.showHeadphones();
  const std::pair<QString, std::function<void()>> steps[] = {
      {"USB DAC", [&] { h.machine.audio().removeDevice("dac"); }},  // select, then the row goes
      {"降噪耳机", [&] { h.model->refresh(true); }},                // select: connecting
      {"取消连接 降噪耳机", [&] { h.model->refresh(true); }},       // cancel
      {"com.example.music 独听",
       [&] { h.machine.audio().removeProcess(100); }},             // solo, the app quits
      {"静音", [&] { h.model->toggleSolo("com.example.game"); }},  // mute
      {"Speakers 音效", [&] { h.model->refresh(true); }},          // effects of a row
      {"com.example.game 应用设置，输出已设为 跟随系统",
       [&] { h.model->refresh(true); }},  // its page
  };
  for (const auto& [button, meanwhile] : steps) {
    SCOPED_TRACE(button.toStdString());
    h.panel->setDestination(std::nullopt);
    h.settle();
    auto buttons = h.all<QAbstractButton>(button);
    ASSERT_FALSE(buttons.empty());
    buttons.front()->click();
    meanwhile();
    h.settle(1.5);
  }
  EXPECT_TRUE(h.panel->destination().has_value());
  h.machine.bluetooth().holdConnections(false);
}

// Every text, tool tip and accessible text the views show in a few states, character by
// character, against the font the panel draws with.
TEST(PanelSafety, EveryCharacterShownHasAGlyphInThePanelFont) {
  PanelHarness h(withHeadphones());
  QString missing;
  size_t checked = 0;
  auto sweep = [&] {
    for (QWidget* widget : h.panel->findChildren<QWidget*>()) {
      if (!widget->isVisibleTo(h.panel.get())) continue;
      const QFontMetrics metrics(widget->font());
      for (const QString& text : {PanelHarness::textOf(widget), PanelHarness::shownToolTip(widget),
                                  widget->accessibleName(), widget->accessibleDescription()}) {
        for (const char32_t c : text.toUcs4()) {
          ++checked;
          if (!metrics.inFontUcs4(c)) missing += QString::fromUcs4(&c, 1);
        }
      }
    }
  };
  sweep();
  h.model->setProcessing(false);
  h.failConnecting();
  sweep();
  h.machine.audio().failCall(platform::sim::SimulatedCall::createProcessTap, -50);
  h.model->setAppVolume("com.example.music", 0.5f);
  h.model->setAppOutput("com.example.music", "audio:dac");
  h.machine.audio().removeDevice("dac");
  h.settle(1.5);
  sweep();
  h.panel->setDestination(
      ui::PanelDestination{ui::PanelDestination::Kind::app, "com.example.music"});
  h.settle();
  sweep();
  EXPECT_GT(checked, 500u);
  EXPECT_TRUE(missing.isEmpty()) << "no glyph for: " << missing.toStdString();
}

}  // namespace
}  // namespace velmora::test
