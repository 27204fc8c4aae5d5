// The settings window as a user meets it, on the simulated machine in virtual time: the frame,
// where it opens, the general options as read back from the settings file, and the three device
// tabs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <functional>

#include "PanelHarness.h"
#include "ui/DeviceManagerView.h"
#include "ui/GeneralSettingsView.h"

namespace velmora::test {
namespace {

using model::AudioDirection;
using ui::DeviceSettingsTab;
using ui::SettingsSection;

constexpr const char* kDAC = "audio:dac";
constexpr const char* kTV = "<b>电视</b>";
constexpr double kSaved = model::AppModel::kSaveDelay + 0.01;
constexpr double kRefresh = model::AppModel::kRefreshInterval;

Scenario settingsMachine() {
  Scenario s = modelMachine();
  s.devices.push_back(simDevice("hdmi", "HDMI", {2}));
  s.devices.push_back(simDevice("usb", "USB 音箱", {2}));
  s.devices.push_back(simDevice("tv", kTV, {2}));
  s.pairedDevices = {{"a4:c3:f0:85:1e:22", "降噪耳机", {0x110B}, 4, false}};
  return s;
}

TEST(SettingsWindow, OpensWhereAskedKeepsItsFrameAndCentresAFrameMeetingNoScreen) {
  SettingsHarness h(settingsMachine());
  ui::SettingsWindow& w = *h.window;
  h.open(SettingsSection::devices, DeviceSettingsTab::multi);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(h.shows("同时播放到多个设备"));
  EXPECT_FALSE(h.shows("显示的设备 加入多输出"));

  const QRect frame(40, 30, 720, 560);
  w.setGeometry(frame);
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
  h.open(SettingsSection::general);
  EXPECT_EQ(w.geometry(), frame);
  EXPECT_TRUE(h.shows("界面与快捷操作"));
  w.hide();
  EXPECT_EQ(ui::SettingsWindow(*h.bridge, h.frameFile).geometry(), frame) << "the next run";

  const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
  const std::pair<QVariant, QSize> stored[] = {
      {QVariant(), QSize(700, 650)},                   // first use
      {QRect(5000, 4000, 680, 540), QSize(680, 540)},  // its monitor was unplugged
      {QRect(-3000, 20, 500, 300), QSize(660, 520)},   // and it was too small
  };
  for (const auto& [value, size] : stored) {
    QSettings(h.frameFile, QSettings::IniFormat).setValue(ui::SettingsWindow::kFrameKey, value);
    const ui::SettingsWindow next(*h.bridge, h.frameFile);
    EXPECT_EQ(next.size(), size);
    EXPECT_EQ(next.geometry().center(), middle) << size.width();
  }
}

TEST(SettingsWindow, GeneralControlsChangeOnlyTheirFieldRememberSwitchesForgetHotkeysClear) {
  SettingsHarness h(settingsMachine());
  int interfaceChanges = 0;
  h.model->onInterfaceChanged = [&] { ++interfaceChanges; };
  h.model->setAppVolume("com.example.music", 0.3f);
  h.model->setSystemVolume(0.4f);
  h.open(SettingsSection::general);
  using Interface = settings::InterfaceSettings;
  const std::pair<QString, std::function<void(Interface&)>> cases[] = {
      {"显示输入设备区域", [](Interface& i) { i.showInput = false; }},
      {"显示应用图标", [](Interface& i) { i.showAppIcons = false; }},
      {"菜单栏图标上滚轮调音量", [](Interface& i) { i.scrollVolume = false; }},
      {"屏幕中央", [](Interface& i) { i.hudPosition = "center"; }},
      {"屏幕顶部", [](Interface& i) { i.hudPosition = "top"; }},
      {"深色", [](Interface& i) { i.hudStyle = "dark"; }},
      {"显示音量浮窗", [](Interface& i) { i.hudEnabled = false; }},
  };
  Interface expected;
  int changes = 0;
  for (const auto& [control, change] : cases) {
    SCOPED_TRACE(control.toStdString());
    h.click(control);
    h.settle(kSaved);
    change(expected);
    const auto written = h.saved().advanced;
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->interface, expected);
    EXPECT_EQ(interfaceChanges, ++changes);
  }
  // The preview button is the tray program's test, where it reaches the volume display.

  ASSERT_EQ(h.saved().deviceVolumes.count("speakers"), 1U);
  h.click("记住各 App 音量与静音状态");
  h.settle(kSaved);
  EXPECT_TRUE(h.saved().apps.empty());
  EXPECT_EQ(h.state().preferences.apps.count("com.example.music"), 1U) << "kept in memory";
  EXPECT_FALSE(h.saved().rememberApps);
  h.click("记住每个输出设备的音量");
  h.settle(kSaved);
  EXPECT_TRUE(h.saved().deviceVolumes.empty());
  EXPECT_TRUE(h.state().preferences.deviceVolumes.empty()) << "forgotten";
  EXPECT_FALSE(h.saved().rememberDevices);

  auto* recorder = h.find<QAbstractButton>("打开 / 关闭面板 录制快捷键");
  ASSERT_NE(recorder, nullptr);
  EXPECT_EQ(recorder->text(), "Ctrl+Alt+M");
  h.click("打开 / 关闭面板 清除快捷键");
  EXPECT_EQ(recorder->text(), "点击设置");
  EXPECT_EQ(h.state().preferences.shortcuts.count("panel"), 0U);

  // Without global grabs the card names the command the desktop's own shortcuts run.
  qunsetenv("WAYLAND_DISPLAY");
  for (const bool wayland : {false, true}) {
    qputenv("XDG_SESSION_TYPE", wayland ? "wayland" : "x11");
    const ui::GeneralSettingsView view(*h.bridge);
    const auto labels = view.findChildren<QLabel*>();
    EXPECT_EQ(std::any_of(labels.begin(), labels.end(),
                          [](const QLabel* l) { return l->text().contains("velmora --action"); }),
              wayland);
  }
  qunsetenv("XDG_SESSION_TYPE");
}

// The favourites tab: scans on each entry, names, order, captions and refresh.
TEST(SettingsWindow, DeviceTabScansOnEntryRenamesReordersAndSaysWhetherEachDeviceCanBeUsed) {
  SettingsHarness h(settingsMachine());
  h.open(SettingsSection::general);
  int scans = h.machine.bluetooth().pairedDevicesRequests();
  const std::pair<std::function<void()>, int> steps[] = {
      {[&] { h.click("设备"); }, 1},
      {[&] { h.click("自动切换"); }, 0},
      {[&] { h.window->close(); }, 0},
      {[&] { h.open(SettingsSection::devices, DeviceSettingsTab::multi); }, 1},
      {[&] { h.open(SettingsSection::devices); }, 0},
  };
  for (const auto& [step, more] : steps) {
    step();
    h.settle();
    EXPECT_EQ(h.machine.bluetooth().pairedDevicesRequests(), scans += more);
  }

  QApplication::setActiveWindow(h.window.get());
  auto* field = h.find<QLineEdit>("重命名 USB DAC");
  ASSERT_NE(field, nullptr);
  // Trimming and cutting names are the model's; the field commits, reverts and shows the result.
  const std::tuple<QString, Qt::Key, std::optional<std::string>, QString> names[] = {
      {"客厅音箱", Qt::Key_Return, "客厅音箱", "客厅音箱"},
      {"别的名字", Qt::Key_Escape, "客厅音箱", "客厅音箱"},
      {"", Qt::Key_Return, std::nullopt, "USB DAC"},
  };
  for (const auto& [draft, key, alias, shown] : names) {
    SCOPED_TRACE(draft.toStdString());
    field->setFocus();
    field->setText(draft);
    QTest::keyClick(field, key);
    h.settle();
    EXPECT_EQ(h.bookmark(kDAC).alias, alias);
    EXPECT_EQ(field->text(), shown);
  }
  field->setFocus();
  field->setText("草稿");
  h.model->renameDevice(kDAC, "别处改的");
  h.settle();
  EXPECT_EQ(field->text(), "草稿") << "a draft being typed stays";
  h.click("恢复原设备名称 USB DAC");
  EXPECT_EQ(h.bookmark(kDAC).alias, std::nullopt);
  EXPECT_FALSE(h.shows("恢复原设备名称 USB DAC")) << "shown only while renamed";

  auto* view =
      qobject_cast<ui::DeviceManagerView*>(h.window->devicePage(DeviceSettingsTab::favorites));
  ASSERT_NE(view, nullptr);
  const auto drop = [&](const std::string& dragged, const std::string& target) {
    QMimeData data;
    data.setData(ui::DeviceListRow::kMimeType, QByteArray::fromStdString(dragged));
    // Qt hands a drop only to the target of a drag under way, which offscreen has none.
    EXPECT_TRUE(view->row(target)->drop(data));
    h.settle();
  };
  const auto order = [&h] {
    std::vector<std::string> ids;
    for (const auto& b : h.model->bookmarks()) ids.push_back(b.id);
    return ids;
  };
  const std::vector<std::string> start = order();
  h.click(QString("上移 ") + QString::fromStdString(h.model->bookmarks().front().displayName()));
  drop(start[1], start[1]);
  EXPECT_EQ(order(), start) << "the first row cannot go up, nor a row onto itself";
  drop(start[0], start[2]);
  std::vector<std::string> moved = order();
  moved.resize(3);
  EXPECT_EQ(moved, (std::vector{start[1], start[0], start[2]})) << "before the target";

  h.machine.audio().removeDevice("hdmi");
  h.settle(kRefresh);
  const std::pair<std::string, QString> captions[] = {
      {kDAC, "可用"}, {"bluetooth:A4-C3-F0-85-1E-22", "已配对 · 未连接"}, {"audio:hdmi", "未连接"}};
  for (const auto& [id, caption] : captions) {
    ASSERT_NE(view->row(id), nullptr) << id;
    QStringList texts;
    for (const QLabel* label : view->row(id)->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains(caption)) << id;
  }
  // Visibility boxes only where the device has that direction.
  EXPECT_TRUE(h.shows("USB DAC 在主面板显示输出"));
  EXPECT_FALSE(h.shows("USB DAC 在主面板显示输入"));
  h.find<QAbstractButton>("刷新设备")->click();  // the views not caught up yet
  QCoreApplication::processEvents();
  EXPECT_TRUE(h.shows("正在刷新…"));
  h.settle();
  EXPECT_TRUE(h.shows("刷新设备"));
  h.click("自动切换");
  auto* label = h.find<QLabel>(kTV);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST(SettingsWindow, PrioritiesApplyOnlyWithTheSwitchOnAndMultiOutputTakesTwoToFourDevices) {
  SettingsHarness h(settingsMachine());
  h.model->setAutomaticDevice(kDAC, AudioDirection::output, true);
  h.model->moveAutomaticDevice(kDAC, AudioDirection::output, -10);
  h.open(SettingsSection::devices, DeviceSettingsTab::automatic);
  const auto speakers = h.state().outputID;
  h.click("立即按优先级切换");
  h.settle(kRefresh);
  EXPECT_EQ(h.state().outputID, speakers) << "both switches off";
  h.click("输出 自动选择");
  h.model->selectDevice(speakers, AudioDirection::output);
  h.settle(kRefresh);
  ASSERT_EQ(h.state().outputID, speakers);
  h.click("立即按优先级切换");
  EXPECT_NE(h.state().outputID, speakers) << "the first candidate, the DAC";

  h.open(SettingsSection::devices, DeviceSettingsTab::multi);
  h.click("Speakers 加入多输出");
  h.click("同时播放到多个设备");
  EXPECT_TRUE(h.shows("请先勾选至少两个输出设备。")) << "in the banner";
  EXPECT_FALSE(h.find<QAbstractButton>("同时播放到多个设备")->isChecked()) << "refused";
  for (const QString name : {"USB DAC", "HDMI", "USB 音箱", kTV}) {
    h.click(name + " 加入多输出");
  }
  EXPECT_TRUE(h.shows("最多同时选择四个输出设备。")) << "in the banner";
  EXPECT_FALSE(h.find<QAbstractButton>(QString(kTV) + " 加入多输出")->isChecked());
  EXPECT_TRUE(h.shows("HDMI 多输出音量"));

  // A hand-edited file: one device twice and one the list does not know.
  h.model->updateAdvanced([](settings::AdvancedPreferences& a) {
    a.multiOutput.devices = {"audio:speakers", "audio:speakers", "audio:gone"};
  });
  h.settle();
  EXPECT_TRUE(h.shows("已选 2 个 · 在线 1 个 · 离线 1 个"));
  EXPECT_TRUE(h.shows("未知输出 · 离线"));
  h.click("移除 audio:gone");
  EXPECT_TRUE(h.shows("已选 1 个 · 在线 1 个 · 离线 0 个"));
  EXPECT_FALSE(h.shows("未知输出 · 离线"));
}

}  // namespace
}  // namespace velmora::test
