// The panel as a user and assistive technology meet it: header, banner, device cards and rows,
// application rows and the detail page, on the simulated machine in virtual time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "PanelHarness.h"
#include "ui/DeviceWidgets.h"

namespace velmora::test {
namespace {

using model::AudioDirection;
using ui::PanelDestination;

constexpr const char* kGame = "com.example.game";

TEST(PanelHeader, BannerShowsTheMessageOffersBluetoothSettingsOnlyForBluetoothAndCloses) {
  // A Bluetooth connection fails, on a desktop with and without Bluetooth settings; a volume
  // cannot be written.
  const std::pair<bool, bool> cases[] = {{true, true}, {true, false}, {false, true}};
  for (const auto& [bluetoothButton, desktopHasThePage] : cases) {
    SCOPED_TRACE(testing::Message() << bluetoothButton << desktopHasThePage);
    PanelHarness h(withHeadphones());
    h.machine.applications().setSettingsPageAvailable(platform::SettingsPage::bluetooth,
                                                      desktopHasThePage);
    if (bluetoothButton) {
      h.failConnecting();
    } else {
      h.failWrites(1);
      h.find<QSlider>("系统输出音量")->setValue(200);
      h.settle();
    }
    ASSERT_TRUE(h.state().errorMessage.has_value());
    EXPECT_TRUE(h.shows(QString::fromStdString(*h.state().errorMessage)));
    EXPECT_EQ(h.shows("打开蓝牙设置"), bluetoothButton);
    if (bluetoothButton) {
      EXPECT_EQ(h.find("打开蓝牙设置")->isEnabled(), desktopHasThePage);
      h.click("打开蓝牙设置");
      EXPECT_EQ(h.machine.applications().openedSettingsPages().size(), desktopHasThePage ? 1u : 0u);
    }
    h.click("关闭提示");
    EXPECT_FALSE(h.state().errorMessage.has_value());
    EXPECT_FALSE(h.shows("关闭提示"));
  }
}

TEST(PanelHeader, CompactModeAndPublishedVolumesMoveTheViewsWithoutCallingBack) {
  PanelHarness h;
  int huds = 0;
  h.model->onVolumeHUD = [&](const std::string&, float, bool, AudioDirection) { ++huds; };
  const int standard = h.panel->height();
  // Names and actions over the accessibility bus are the bus test's.
  auto* compact = h.find<QAbstractButton>("紧凑模式");
  h.expectSwitch(compact, false, "切换为紧凑模式");
  h.click("紧凑模式");
  EXPECT_LT(h.panel->height(), standard);
  h.expectSwitch(compact, true, "切换为标准模式");

  auto setHardwareVolume = [&](float value) {
    h.setVolumeOutside("speakers", value);
    h.settle(1.5);
  };
  auto* slider = h.find<QSlider>("系统输出音量");
  setHardwareVolume(0.3f);
  EXPECT_EQ(slider->value(), 300);
  EXPECT_TRUE(h.shows("30%"));
  EXPECT_EQ(huds, 0) << "the slider moved by the model must not set the volume again";
  slider->setSliderDown(true);
  slider->setValue(450);  // the user's drag sets the volume...
  EXPECT_EQ(huds, 1);
  setHardwareVolume(0.9f);
  EXPECT_EQ(slider->value(), 450) << "...and a publish during the drag moves nothing";
  slider->setSliderDown(false);
  setHardwareVolume(0.8f);
  EXPECT_EQ(slider->value(), 800);
}

TEST(PanelNavigation, DetailPagesAreTitledAndLeftByBackOrEscape) {
  PanelHarness h;
  h.model->setAppVolume(kGame, 0.5f);
  h.settle();
  const std::pair<PanelDestination, QString> cases[] = {
      {{PanelDestination::Kind::app, kMusic}, QString(kMusic)},
      {{PanelDestination::Kind::app, "com.example.gone"}, "com.example.gone"},
      {{PanelDestination::Kind::outputEffects, "audio:dac"}, "USB DAC"},
      {{PanelDestination::Kind::outputEffects, "audio:removed"}, "输出音效"},
  };
  for (const auto& [destination, title] : cases) {
    SCOPED_TRACE(title.toStdString());
    h.panel->setDestination(destination);
    h.settle();
    EXPECT_TRUE(h.shows(title));
    EXPECT_FALSE(h.shows("系统输出音量"));
    QTest::keyClick(h.panel.get(), Qt::Key_Escape);
    EXPECT_FALSE(h.panel->destination().has_value());
    EXPECT_TRUE(h.shows("系统输出音量"));
  }
  // The row's route button opens the detail page; its buttons open the settings window.
  h.click(QString(kGame) + " 应用设置，输出已设为 跟随系统");
  EXPECT_EQ(h.panel->destination(), (PanelDestination{PanelDestination::Kind::app, kGame}));
  // "管理多输出" is the program test's, where it reaches the settings window's tab.
  h.click("管理设备");
  EXPECT_EQ(h.openedSettings.back(),
            std::make_pair(ui::SettingsSection::devices, ui::DeviceSettingsTab::favorites));
  h.click("返回");
  EXPECT_FALSE(h.panel->destination().has_value());
}

TEST(Mixer, ApplicationRowsAndDeviceSectionsFollowProcessingSoloAndUnpluggedDevices) {
  PanelHarness h;
  EXPECT_TRUE(h.shows("当前输入：Microphone"));
  h.model->updateAdvanced([](auto& a) { a.interface.showInput = false; });
  h.model->setProcessing(false);
  h.settle();
  EXPECT_FALSE(h.shows("当前输入：Microphone"));
  EXPECT_FALSE(h.shows("输入音量"));

  const QString music = QString(kMusic);
  const QString game = QString(kGame);
  auto* volume = h.find<QSlider>(music + " 音量");
  EXPECT_EQ(volume->toolTip(), "调整时开启应用音频处理");
  volume->setValue(400);  // keyboard, wheel or assistive technology: no drag needed
  h.settle();
  EXPECT_TRUE(h.state().preferences.processingEnabled);
  EXPECT_EQ(volume->toolTip(), "调整应用音量");
  EXPECT_TRUE(h.shows("40%"));
  h.click(music + " 独听");
  h.expectSwitch(h.find<QAbstractButton>(music + " 独听"), true, "结束独听");
  h.expectSwitch(h.find<QAbstractButton>(game + " 独听"), false, "独听此应用，暂时静音其他应用");

  // The music's own output goes: muted until the user lets it follow the system.
  h.model->setAppOutput(kMusic, "audio:dac");
  h.machine.audio().removeDevice("dac");
  h.settle(1.5);
  EXPECT_TRUE(h.shows("指定输出离线 · 已设静音"));
  h.panel->setDestination(PanelDestination{PanelDestination::Kind::app, kMusic});
  h.settle();
  EXPECT_TRUE(h.find<QRadioButton>("USB DAC，离线")->isChecked());
  h.find<QCheckBox>("指定输出离线时跟随系统")->click();
  h.settle();
  QTest::keyClick(h.panel.get(), Qt::Key_Escape);
  h.settle();
  EXPECT_TRUE(h.shows("指定输出离线 · 已设跟随系统"));
  EXPECT_FALSE(h.shows("指定输出离线 · 已设静音"));

  h.machine.audio().removeDevice("speakers");
  h.settle(1.5);
  EXPECT_TRUE(h.shows("无可用输出设备"));
  EXPECT_FALSE(h.shows("在设置 → 设备中选择要显示的设备。")) << "the offline rows are still shown";
  EXPECT_FALSE(h.find<ui::DeviceRowButton>("USB DAC")->isEnabled()) << "an absent device";
  for (const char* id : {"audio:speakers", "audio:dac"}) {
    h.model->setDeviceVisible(h.bookmark(id), AudioDirection::output, false);
  }
  h.settle();
  EXPECT_TRUE(h.shows("在设置 → 设备中选择要显示的设备。"));
}

TEST(AppDetail, QuitApplicationKeepsItsRouteAConnectionCancelsAndMultiOutputRenamesTheDefault) {
  PanelHarness h(withHeadphones());
  h.model->setAppOutput(kGame, "audio:dac");
  h.machine.audio().removeProcess(200);
  h.settle(1.5);
  h.panel->setDestination(PanelDestination{PanelDestination::Kind::app, kGame});
  h.settle();
  EXPECT_TRUE(h.shows("应用当前不可用 · 下次出现时可使用已保存的配置。"));
  EXPECT_TRUE(h.find<QRadioButton>("USB DAC")->isChecked());
  EXPECT_TRUE(h.shows("该应用输出设备 · 已设为 USB DAC"));
  h.find<QRadioButton>("跟随系统输出")->click();
  h.settle();
  EXPECT_FALSE(h.state().preferences.apps.at(kGame).outputDeviceID.has_value());
  h.model->setMultiDevice("audio:speakers", true);
  h.model->setMultiDevice("audio:dac", true);
  h.model->setMultiEnabled(true);
  h.settle();
  EXPECT_TRUE(h.find<QRadioButton>("多输出组合（默认）")->isChecked());
  EXPECT_FALSE(h.shows("跟随系统输出"));

  h.panel->setDestination(std::nullopt);
  h.startConnecting();
  auto* row = h.find<QAbstractButton>("降噪耳机");
  EXPECT_FALSE(row->isEnabled());
  EXPECT_EQ(row->accessibleDescription(), "正在连接…");
  h.click("取消连接 降噪耳机");
  EXPECT_TRUE(h.state().connectionLabels.empty());
  EXPECT_FALSE(h.shows("取消连接 降噪耳机"));
}

TEST(CurrentDevice, AnOutputWithoutVolumeControlStillMutesAndNamesFromOutsideShowAsTyped) {
  const QString html = "<b>x</b><img src=/etc/passwd>";
  auto scenario = modelMachine();
  scenario.devices[0].output.volume.clear();
  scenario.devices[0].name = html.toStdString();  // the current output
  scenario.devices[1].name = html.toStdString() + " 2";
  PanelHarness h(scenario);
  EXPECT_TRUE(h.shows("音量由设备控制"));
  EXPECT_FALSE(h.shows("系统输出音量"));
  h.click("输出静音");
  EXPECT_TRUE(h.state().systemMuted);
  EXPECT_TRUE(h.find<QAbstractButton>("输出取消静音")->isChecked());

  EXPECT_TRUE(h.shows("当前输出：" + html));
  for (const QString& name : {html, html + " 2"}) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_FALSE(h.all(name).empty());
    for (QWidget* widget : h.all(name)) {
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
      }
      if (!widget->toolTip().isEmpty()) {
        EXPECT_EQ(PanelHarness::shownToolTip(widget), name);
      }
    }
  }
}

}  // namespace
}  // namespace velmora::test
