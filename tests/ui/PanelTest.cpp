// The panel as a user meets it: header, banner, device cards and rows, application rows and the
// detail page, on the simulated machine in virtual time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <functional>

#include "PanelHarness.h"
#include "platform/audio/AudioHardware.h"
#include "ui/PanelPercentage.h"

namespace {

using velmora::model::AudioDirection;
using velmora::platform::SettingsPage;
using velmora::test::PanelHarness;
using velmora::ui::PanelDestination;

constexpr const char* kMusic = "com.example.music";
constexpr const char* kGame = "com.example.game";
constexpr const char* kAddress = velmora::test::kHeadphonesAddress;
using velmora::test::kHeadphonesID;
using velmora::test::withHeadphones;

QString appName(const PanelHarness& h, const std::string& id) {
  for (const auto& app : h.state().apps) {
    if (app.id == id) return QString::fromStdString(app.name);
  }
  return QString::fromStdString(id);
}

// The paired headphones shown in the output list and chosen, their connection held open.
void startConnecting(PanelHarness& h) {
  h.settle();  // the first scan's result
  h.model->setDeviceVisible(h.bookmark(kHeadphonesID), AudioDirection::output, true);
  h.settle();
  h.machine.bluetooth().holdConnections(true);
  h.click("降噪耳机");
  h.settle();
}

void failBluetoothConnection(PanelHarness& h) {
  h.machine.bluetooth().setConnectionOutcome(kAddress, 4);
  startConnecting(h);
  h.machine.bluetooth().holdConnections(false);
  h.model->bluetoothQueue().sync([] {});
  h.settle();
}

TEST(PanelHeader, BannerShowsTheMessageOffersBluetoothSettingsOnlyForBluetoothAndCloses) {
  struct Case {
    const char* story;
    std::function<void(PanelHarness&)> fail;
    bool bluetoothButton;
    bool desktopHasThePage;
  };
  const Case cases[] = {
      {"a Bluetooth connection fails", failBluetoothConnection, true, true},
      {"the same on a desktop without Bluetooth settings", failBluetoothConnection, true, false},
      {"a volume cannot be written",
       [](PanelHarness& h) {
         h.machine.audio().failCall(velmora::platform::sim::SimulatedCall::setPropertyData, -50, 1);
         h.find<QSlider>("系统输出音量")->setValue(200);
         h.settle();
       },
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.story);
    PanelHarness h(withHeadphones());
    h.machine.applications().setSettingsPageAvailable(SettingsPage::bluetooth, c.desktopHasThePage);
    c.fail(h);
    ASSERT_TRUE(h.state().errorMessage.has_value());
    EXPECT_TRUE(h.shows(QString::fromStdString(*h.state().errorMessage)));
    EXPECT_EQ(h.shows("打开蓝牙设置"), c.bluetoothButton);
    if (c.bluetoothButton) {
      EXPECT_EQ(h.find("打开蓝牙设置")->isEnabled(), c.desktopHasThePage);
      h.click("打开蓝牙设置");
      EXPECT_EQ(h.machine.applications().openedSettingsPages().size(),
                c.desktopHasThePage ? 1u : 0u);
    }
    h.click("关闭提示");
    h.settle();
    EXPECT_FALSE(h.state().errorMessage.has_value());
    EXPECT_FALSE(h.shows("关闭提示"));
  }
}

TEST(PanelHeader, CompactModeResizesAtOnceAndIsSavedAMomentLater) {
  PanelHarness h;
  int resized = 0;
  h.model->onInterfaceChanged = [&] { ++resized; };
  EXPECT_EQ(h.panel->height(), 610);
  auto* compact = h.find<QAbstractButton>("紧凑模式");
  EXPECT_EQ(compact->toolTip(), "切换为紧凑模式");
  EXPECT_EQ(compact->accessibleDescription(), "已关闭");
  compact->toggle();  // as assistive technology does: no click
  h.settle();
  EXPECT_EQ(resized, 1);
  EXPECT_EQ(h.panel->height(), 510);
  EXPECT_TRUE(compact->isChecked());
  EXPECT_EQ(compact->toolTip(), "切换为标准模式");
  EXPECT_EQ(compact->accessibleDescription(), "已开启");
  EXPECT_EQ(h.fileText().find("\"compact\": true"), std::string::npos);
  h.settle(0.35);
  EXPECT_NE(h.fileText().find("\"compact\": true"), std::string::npos);
}

TEST(PanelNavigation, DetailPagesAreTitledAndLeftByBackOrEscape) {
  PanelHarness h;
  h.model->setAppVolume(kGame, 0.5f);
  h.settle();
  struct Case {
    PanelDestination destination;
    QString title;
  };
  const Case cases[] = {
      {{PanelDestination::Kind::app, kMusic}, appName(h, kMusic)},
      {{PanelDestination::Kind::app, "com.example.gone"}, "com.example.gone"},
      {{PanelDestination::Kind::outputEffects, "audio:dac"}, "USB DAC"},
      {{PanelDestination::Kind::outputEffects, "audio:removed"}, "输出音效"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    h.panel->setDestination(c.destination);
    h.settle();
    EXPECT_TRUE(h.shows(c.title));
    EXPECT_FALSE(h.shows("系统输出音量"));
    QTest::keyClick(h.panel.get(), Qt::Key_Escape);
    EXPECT_FALSE(h.panel->destination().has_value());
    EXPECT_TRUE(h.shows("系统输出音量"));
  }
  // The row's route button opens the detail page; its buttons open the settings window.
  h.click(appName(h, kGame) + " 应用设置，输出已设为 跟随系统");
  h.settle();
  EXPECT_EQ(h.panel->destination(), (PanelDestination{PanelDestination::Kind::app, kGame}));
  h.click("管理设备");
  h.click("管理多输出");
  using velmora::ui::DeviceSettingsTab;
  using velmora::ui::SettingsSection;
  EXPECT_EQ(h.openedSettings, (std::vector<std::pair<SettingsSection, DeviceSettingsTab>>{
                                  {SettingsSection::devices, DeviceSettingsTab::favorites},
                                  {SettingsSection::devices, DeviceSettingsTab::multi}}));
  h.click("返回");
  h.settle();
  EXPECT_FALSE(h.panel->destination().has_value());
}

TEST(CurrentDevice, PublishedVolumeMovesTheSliderWithoutCallingBackAndNeverUnderADrag) {
  PanelHarness h;
  int huds = 0;
  h.model->onVolumeHUD = [&](const std::string&, float, bool, AudioDirection) { ++huds; };
  const AudioObjectID speakers = h.machine.audio().deviceID("speakers");
  auto setHardwareVolume = [&](float value) {
    const AudioObjectPropertyAddress address{kAudioDevicePropertyVolumeScalar,
                                             kAudioObjectPropertyScopeOutput, 0};
    ASSERT_EQ(AudioObjectSetPropertyData(speakers, &address, 0, nullptr, sizeof value, &value), 0);
  };
  auto* slider = h.find<QSlider>("系统输出音量");
  setHardwareVolume(0.3f);
  h.settle(1.5);
  EXPECT_EQ(slider->value(), 300);
  EXPECT_TRUE(h.shows("30%"));
  EXPECT_EQ(huds, 0) << "the slider moved by the model must not set the volume again";

  slider->setSliderDown(true);
  slider->setValue(450);  // the user's drag sets the volume...
  EXPECT_EQ(huds, 1);
  setHardwareVolume(0.9f);
  h.settle(1.5);
  EXPECT_EQ(slider->value(), 450) << "...and a publish during the drag moves nothing";
  slider->setSliderDown(false);
  setHardwareVolume(0.8f);
  h.settle(1.5);
  EXPECT_EQ(slider->value(), 800);
}

TEST(CurrentDevice, OutputWithoutVolumeControlStillMutes) {
  auto scenario = velmora::test::modelMachine();
  scenario.devices[0].output.volume.clear();
  PanelHarness h(scenario);
  EXPECT_TRUE(h.shows("音量由设备控制"));
  EXPECT_FALSE(h.shows("系统输出音量"));
  h.click("输出静音");
  h.settle();
  EXPECT_TRUE(h.state().systemMuted);
  EXPECT_TRUE(h.find<QAbstractButton>("输出取消静音")->isChecked());
}

TEST(Mixer, DeviceSectionsShowTheCurrentDeviceOrTheEmptyTexts) {
  PanelHarness h;
  EXPECT_TRUE(h.shows("当前输出：Speakers"));
  EXPECT_TRUE(h.shows("当前输入：Microphone"));
  h.model->updateAdvanced([](auto& a) { a.interface.showInput = false; });
  h.settle();
  EXPECT_FALSE(h.shows("当前输入：Microphone"));
  EXPECT_FALSE(h.shows("输入音量"));

  h.machine.audio().removeDevice("speakers");
  h.machine.audio().removeDevice("dac");
  h.settle(1.5);
  EXPECT_TRUE(h.shows("无可用输出设备"));
  EXPECT_FALSE(h.shows("在设置 → 设备中选择要显示的设备。")) << "the offline rows are still shown";
  EXPECT_FALSE(h.find("USB DAC")->isEnabled()) << "an absent device cannot be chosen";
  for (const char* id : {"audio:speakers", "audio:dac"}) {
    h.model->setDeviceVisible(h.bookmark(id), AudioDirection::output, false);
  }
  h.settle();
  EXPECT_TRUE(h.shows("在设置 → 设备中选择要显示的设备。"));
}

TEST(Mixer, ApplicationRowsTurnProcessingOnMoveSoloAndShowTheOfflineFallback) {
  PanelHarness h;
  h.model->setProcessing(false);
  h.settle();
  const QString music = appName(h, kMusic);
  const QString game = appName(h, kGame);
  auto* volume = h.find<QSlider>(music + " 音量");
  EXPECT_EQ(volume->toolTip(), "调整时开启应用音频处理");
  volume->setValue(400);  // keyboard, wheel or assistive technology: no drag needed
  h.settle();
  EXPECT_TRUE(h.state().preferences.processingEnabled);
  EXPECT_EQ(volume->toolTip(), "调整应用音量");
  EXPECT_TRUE(h.shows("40%"));

  for (const QString& soloed : {music, game}) {
    h.click(soloed + " 独听");
    h.settle();
    for (const QString& name : {music, game}) {
      auto* solo = h.find<QAbstractButton>(name + " 独听");
      EXPECT_EQ(solo->isChecked(), name == soloed);
      EXPECT_EQ(solo->accessibleDescription(), name == soloed ? "已开启" : "已关闭");
      EXPECT_EQ(solo->toolTip(), name == soloed ? "结束独听" : "独听此应用，暂时静音其他应用");
    }
  }

  h.model->setAppOutput(kMusic, "audio:dac");
  h.machine.audio().removeDevice("dac");
  h.settle(1.5);
  EXPECT_TRUE(h.shows("指定输出离线 · 已设静音"));
  h.panel->setDestination(PanelDestination{PanelDestination::Kind::app, kMusic});
  h.settle();
  EXPECT_TRUE(h.shows("此处保存应用路由。连接设备后，该应用才可使用指定输出。"));
  EXPECT_TRUE(h.find<QRadioButton>("USB DAC，离线")->isChecked());
  h.find<QCheckBox>("指定输出离线时跟随系统")->click();
  h.settle();
  QTest::keyClick(h.panel.get(), Qt::Key_Escape);
  h.settle();
  EXPECT_TRUE(h.shows("指定输出离线 · 已设跟随系统"));
  EXPECT_FALSE(h.shows("指定输出离线 · 已设静音"));
}

TEST(AppDetail, QuitApplicationKeepsItsRouteAndMultiOutputRenamesTheDefault) {
  PanelHarness h;
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
}

TEST(DeviceRows, AConnectingRowWaitsAndCancels) {
  PanelHarness h(withHeadphones());
  startConnecting(h);
  auto* row = h.find<QAbstractButton>("降噪耳机");
  EXPECT_FALSE(row->isEnabled());
  EXPECT_EQ(row->accessibleDescription(), "正在连接…");
  h.click("取消连接 降噪耳机");
  h.settle();
  EXPECT_TRUE(h.state().connectionLabels.empty());
  EXPECT_FALSE(h.shows("取消连接 降噪耳机"));
  EXPECT_EQ(h.find("降噪耳机")->accessibleDescription(), "连接蓝牙");
}

TEST(DeviceRows, NamesFromOutsideShowAsTyped) {
  const QString html = "<b>x</b><img src=/etc/passwd>";
  auto scenario = velmora::test::modelMachine();
  scenario.devices[0].name = html.toStdString();  // the current output
  scenario.devices[1].name = html.toStdString() + " 2";
  PanelHarness h(scenario);
  for (const QString& name : {html, html + " 2"}) {
    SCOPED_TRACE(name.toStdString());
    bool shown = false;
    for (QWidget* widget : h.all(name)) {
      shown = true;
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
      }
      if (!widget->toolTip().isEmpty()) {
        EXPECT_EQ(PanelHarness::shownToolTip(widget), name);
      }
    }
    EXPECT_TRUE(shown);
  }
  EXPECT_TRUE(h.shows("当前输出：" + html));
}

}  // namespace
