// The output effects page: pointer arithmetic as a table, then the page as a user and assistive
// technology work it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "PanelHarness.h"
#include "ui/EqualizerBandSlider.h"
#include "ui/OutputEffectsView.h"

namespace {

using velmora::test::PanelHarness;
using velmora::ui::EqualizerBandSlider;
using velmora::ui::PanelDestination;

constexpr const char* kSpeakers = "audio:speakers";

TEST(EffectsArithmetic, PointerGainsSnapToHalfDecibelsWithinTheTrack) {
  const std::tuple<double, double, double> pointers[] = {
      {-40, 128, 12.0},  {6, 128, 12.0},    {64, 128, 0.0},
      {122, 128, -12.0}, {500, 128, -12.0}, {64.97, 128, 0.0},  // −0.2 snaps to +0.0, not −0.0
      {6, 10, 12.0},     {7, 10, -12.0},  // a track shorter than its insets spans the whole range
  };
  for (const auto& [y, height, expected] : pointers) {
    const double gain = EqualizerBandSlider::gainAt(y, height);
    EXPECT_EQ(gain, expected) << y << " of " << height;
    EXPECT_FALSE(std::signbit(gain) && gain == 0.0) << y;
  }
  EXPECT_EQ(EqualizerBandSlider::gainText(-0.2), "+0.0 dB");
  EXPECT_EQ(EqualizerBandSlider::snapped(NAN), 0.0);
  EXPECT_EQ(velmora::ui::effectsStatus(true, true), std::nullopt);
}

struct EffectsPage : PanelHarness {
  EffectsPage() {
    panel->setDestination(PanelDestination{PanelDestination::Kind::outputEffects, kSpeakers});
    settle();
  }
  velmora::settings::DeviceEQ eq() const {
    const auto& advanced = state().preferences.advanced;
    if (!advanced || !advanced->equalizers.count(kSpeakers)) return {};
    return advanced->equalizers.at(kSpeakers);
  }
  EqualizerBandSlider* band(int hertz) {
    return find<EqualizerBandSlider>("均衡器 " + QString::number(hertz) + " Hz");
  }
  QAccessibleInterface* accessible(int hertz) {
    return QAccessible::queryAccessibleInterface(band(hertz));
  }
  void choose(const QString& preset) {
    auto* menuButton = find<QPushButton>(presetText());
    for (QAction* action : menuButton->menu()->actions()) {
      if (action->text() == preset) action->trigger();
    }
    settle();
  }
  QString presetText() const {
    for (auto* button : panel->findChildren<QPushButton*>()) {
      if (button->text().startsWith("预设 · ")) return button->text();
    }
    return {};
  }
};

TEST(EffectsPage, EditsTheStoredEqualiserByPresetResetPointerKeysAndAssistiveTechnology) {
  EffectsPage h;
  EXPECT_FALSE(h.find<QAbstractButton>("启用此设备的均衡器")->isChecked());
  EXPECT_EQ(h.presetText(), "预设 · 平直");
  EXPECT_TRUE(h.shows("处理已暂停 · 设置已保存，尚未生效"));

  h.choose("柔和");
  EXPECT_EQ(h.eq(), (velmora::settings::DeviceEQ{true, {1, 0, 0, -2, -4}}));
  h.click("恢复平直");
  EXPECT_EQ(h.eq(), (velmora::settings::DeviceEQ{true, {0, 0, 0, 0, 0}}));

  // By hand, through the value interface and its actions.
  QAccessibleInterface* bass = h.accessible(80);
  ASSERT_NE(bass->valueInterface(), nullptr);
  bass->valueInterface()->setCurrentValue(4.5);
  bass->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
  h.accessible(250)->valueInterface()->setCurrentValue(3.2);  // snapped to 3.0
  h.settle();
  EXPECT_EQ(bass->text(QAccessible::Value), "+5.0 dB");
  EXPECT_EQ(h.presetText(), "预设 · 低音增强");
  h.accessible(250)->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
  h.settle();
  EXPECT_EQ(h.presetText(), "预设 · 自定");
  EXPECT_EQ(h.accessible(250)->text(QAccessible::Value), "+3.5 dB");

  // Pointer and keys: above the track is +12, which the arrows cannot pass; from +0.0 one step.
  QTest::mousePress(h.band(1000), Qt::LeftButton, {}, QPoint(14, -20));
  QTest::mouseRelease(h.band(1000), Qt::LeftButton, {}, QPoint(14, -20));
  QTest::keyClick(h.band(1000), Qt::Key_Up);
  QTest::keyClick(h.band(1000), Qt::Key_Right);
  QTest::keyClick(h.band(4000), Qt::Key_Up);
  h.settle();
  for (const char* shown : {"+5.0", "+3.5", "+12.0", "+0.5"}) EXPECT_TRUE(h.shows(shown)) << shown;
  EXPECT_EQ(h.eq().bands, (std::vector<float>{5, 3.5, 12, 0.5, 0}));

  // Off: the bands are inert to every input.
  h.click("启用此设备的均衡器");
  EXPECT_FALSE(h.eq().enabled);
  h.accessible(80)->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
  QTest::keyClick(h.band(80), Qt::Key_Down);
  h.settle();
  EXPECT_EQ(h.eq().bands[0], 5.0f);
  h.choose("柔和");
  EXPECT_TRUE(h.eq().enabled) << "a preset turns the equaliser on";

  // Unplugged, the page still edits what is stored for the device.
  h.machine.audio().removeDevice("speakers");
  h.settle(1.5);
  EXPECT_TRUE(h.shows("设备离线 · 处理已暂停 · 设置已保存"));
  h.model->setProcessing(true);
  h.settle();
  EXPECT_TRUE(h.shows("设备离线 · 设置已保存"));
  h.choose("人声清晰");
  EXPECT_EQ(h.eq(), (velmora::settings::DeviceEQ{true, {-2, -1, 3, 2, 0}}));
}

}  // namespace
