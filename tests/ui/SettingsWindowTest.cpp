// The settings window as a user meets it, on the simulated machine in virtual time: the frame,
// where it opens, the general options as read back from the settings file, the three device tabs,
// the scenes, and recording a hotkey.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTest>
#include <algorithm>
#include <functional>

#include "PanelHarness.h"
#include "ui/DeviceManagerView.h"
#include "ui/GeneralSettingsView.h"
#include "ui/SceneViews.h"
#include "ui/SettingsWindow.h"
#include "ui/ShortcutRecorder.h"

namespace velmora::test {
namespace {

using model::AudioDirection;
using settings::AudioScene;
using settings::Shortcut;
using ui::DeviceSettingsTab;
using ui::SceneSummaryText;
using ui::SettingsSection;
using ui::ShortcutRecorder;

constexpr const char* kDAC = "audio:dac";
constexpr const char* kTV = "<b>电视</b>";
constexpr double kSaved = model::AppModel::kSaveDelay + 0.01;
constexpr double kRefresh = model::AppModel::kRefreshInterval;

Scenario settingsMachine() {
  Scenario s = modelMachine();
  s.devices.push_back(simDevice("hdmi", "HDMI", {2}));
  s.devices.push_back(simDevice("usb", "USB 音箱", {2}));
  s.devices.push_back(simDevice("tv", kTV, {2}));
  s.devices.push_back(simDevice("headset-mic", "Headset Mic", {}, {1}));
  s.pairedDevices = {{"a4:c3:f0:85:1e:22", "降噪耳机", {0x110B}, 4, false}};
  return s;
}

// The settings window on the same machine; controls are looked for in it.
class SettingsHarness : public PanelHarness {
 public:
  SettingsHarness()
      : PanelHarness(settingsMachine()),
        frameFile(QString::fromStdString((folder / "shell.conf").string())),
        window(std::make_unique<ui::SettingsWindow>(*bridge, frameFile)) {
    scope = window.get();
  }

  void open(ui::SettingsSection section,
            ui::DeviceSettingsTab tab = ui::DeviceSettingsTab::favorites) {
    window->open(section, tab);
    settle();
  }

  QString frameFile;
  std::unique_ptr<ui::SettingsWindow> window;
};

TEST(SettingsWindow, KeepsItsFrameAcrossRunsAndCentresAFrameMeetingNoScreen) {
  SettingsHarness h;
  h.open(SettingsSection::devices, DeviceSettingsTab::multi);
  const QRect frame(40, 30, 720, 560);
  h.window->setGeometry(frame);
  EXPECT_TRUE(h.window->close());
  h.open(SettingsSection::general);
  EXPECT_EQ(h.window->geometry(), frame);
  h.window->hide();
  EXPECT_EQ(ui::SettingsWindow(*h.bridge, h.frameFile).geometry(), frame) << "the next run";

  const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
  // First use, then a frame whose monitor was unplugged.
  for (const QVariant& value : {QVariant(), QVariant(QRect(5000, 4000, 680, 540))}) {
    QSettings(h.frameFile, QSettings::IniFormat).setValue(ui::SettingsWindow::kFrameKey, value);
    EXPECT_EQ(ui::SettingsWindow(*h.bridge, h.frameFile).geometry().center(), middle);
  }
}

TEST(SettingsWindow, GeneralControlsChangeOnlyTheirFieldRememberSwitchesForgetHotkeysClear) {
  SettingsHarness h;
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
      {"屏幕顶部", [](Interface& i) { i.hudPosition = "top"; }},
      {"深色", [](Interface& i) { i.hudStyle = "dark"; }},
      {"显示音量浮窗", [](Interface& i) { i.hudEnabled = false; }},
  };
  Interface expected;
  int changes = 0;
  for (const auto& [control, change] : cases) {
    h.click(control);
    h.settle(kSaved);
    change(expected);
    EXPECT_EQ(h.saved().advanced.value_or(settings::AdvancedPreferences{}).interface, expected)
        << control.toStdString();
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
  SettingsHarness h;
  h.open(SettingsSection::general);
  const auto scans = [&h] { return h.machine.bluetooth().pairedDevicesRequests(); };
  const int before = scans();
  h.click("设备");
  EXPECT_EQ(scans(), before + 1) << "entering the tab";
  h.click("自动切换");
  h.click("通用");
  h.window->close();
  h.open(SettingsSection::devices, DeviceSettingsTab::multi);
  h.open(SettingsSection::devices);
  EXPECT_EQ(scans(), before + 2) << "on each entry of the section only";

  QApplication::setActiveWindow(h.window.get());
  auto* field = h.find<QLineEdit>("重命名 USB DAC");
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
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST(SettingsWindow, PrioritiesApplyOnlyWithTheSwitchOnAndMultiOutputTakesTwoToFourDevices) {
  SettingsHarness h;
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

// The scenes section in the settings window, as the program installs it.
struct SceneViews : SettingsHarness {
  SceneViews() : section(new ui::ScenesSection(*bridge, window->navigation())) {
    window->setScenesSection(section);
    open(ui::SettingsSection::scenes);
  }
  const std::vector<AudioScene>& scenes() const {
    static const std::vector<AudioScene> none;
    return state().preferences.advanced ? state().preferences.advanced->scenes : none;
  }
  void save(const QString& name) {
    section->findChild<QLineEdit*>()->setText(name);
    click("保存当前");
  }
  // Answers the open confirmation and returns what it asked.
  QString answer(const QString& button) {
    QMessageBox* box = section->detail() ? section->detail()->confirmation() : nullptr;
    if (!box) return "no confirmation";
    QString asked = box->windowTitle() + "|" + box->text();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == button) b->click();
    }
    settle();
    return asked;
  }

  ui::ScenesSection* section;
};

TEST(SceneViews, SavingFromTheFieldAddsAtTheEndAndCaptionsFollowTheConfiguration) {
  SceneViews h;
  EXPECT_TRUE(h.shows("还没有保存的场景"));
  h.save("   ");
  EXPECT_EQ(h.state().errorMessage, "请为场景输入名称。");
  EXPECT_TRUE(h.scenes().empty());

  h.save("开会");
  h.model->setSystemVolume(0.2f);
  h.save("外放");
  ASSERT_EQ(h.scenes().size(), 2u);
  EXPECT_EQ(h.scenes()[1].name, "外放");
  EXPECT_TRUE(h.section->findChild<QLineEdit*>()->text().isEmpty());
  EXPECT_FALSE(h.shows("还没有保存的场景"));
  EXPECT_TRUE(h.shows("当前配置")) << "the scene just saved is the active one";

  h.model->setSystemVolume(0.6f);
  h.settle();
  EXPECT_TRUE(h.shows("已调整"));
  h.click("应用");  // the first row's: "开会"
  EXPECT_EQ(h.state().activeSceneID, h.scenes()[0].id);
  EXPECT_TRUE(h.shows("当前配置"));
  EXPECT_FALSE(h.shows("已调整"));

  h.click("外放 详情");
  EXPECT_EQ(h.window->navigation().sceneID(), h.scenes()[1].id);
  EXPECT_TRUE(h.shows("用当前配置更新"));
  h.click("返回场景列表");
  EXPECT_TRUE(h.shows("保存当前"));

  // A scene open, then the window opened anew (the panel's settings button): the scene list.
  h.click("外放 详情");
  h.open(ui::SettingsSection::general);
  h.click("场景");  // the sidebar's
  EXPECT_EQ(h.window->navigation().sceneID(), std::nullopt);
  EXPECT_TRUE(h.shows("保存当前"));
  EXPECT_FALSE(h.shows("用当前配置更新"));
}

TEST(SceneViews, StoppingHalfWayKeepsTheSwitchMadeAndDeletingTheOpenSceneLeavesItGone) {
  SceneViews h;
  h.select("dac");
  h.model->setProcessing(true);
  h.model->saveScene("DAC", std::nullopt);
  const std::string id = h.scenes()[0].id;
  h.select("speakers");
  h.select("headset-mic", AudioDirection::input);
  h.model->setProcessing(false);
  h.machine.audio().removeDevice("dac");
  h.settle(1.5);
  h.click("DAC 详情");
  EXPECT_TRUE(h.shows("应用并恢复处理"));
  EXPECT_TRUE(h.shows("输出：USB DAC（离线） · 80%"));

  h.click("应用并恢复处理");
  EXPECT_TRUE(h.shows("切换中"));
  EXPECT_TRUE(h.shows("停止后续切换会保留已完成的设备切换。"));
  h.click("删除场景");
  EXPECT_EQ(h.answer("取消"), "删除场景？|删除 DAC 并停止后续切换，已完成的设备切换会保留。");
  h.click("保留已完成的设备切换");
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_FALSE(h.shows("切换中"));

  h.model->setSystemVolume(0.3f);
  h.click("用当前配置更新");
  EXPECT_TRUE(h.answer("更新").startsWith("用当前配置更新场景？|将 DAC 中的设备"));
  EXPECT_EQ(h.scenes()[0].id, id);
  EXPECT_EQ(h.scenes()[0].systemVolume, 0.3f);
  h.click("删除场景");
  EXPECT_EQ(h.answer("删除"), "删除场景？|删除 DAC 的已保存配置。");
  EXPECT_TRUE(h.scenes().empty());
  EXPECT_TRUE(h.shows("场景已不可用"));
  EXPECT_FALSE(h.shows("删除场景"));
}

TEST(SceneViews, SummariesClaimOnlyWhatTheSceneSaved) {
  SceneViews h;
  AudioScene scene;
  scene.apps["com.example.music"].volume = 0.5f;
  scene.equalizers["audio:speakers"] = {true, {1, 0, 0, 0, 0}};
  scene.boostedOutputs = {{{"audio:speakers", true}, {"audio:dac", false}}};
  scene.multiOutput = {true, {"audio:speakers", "audio:dac"}, {}};
  scene.processingEnabled = true;
  // The story; the output and input saved, the input's volume, the output muted; the two lines.
  using ID = std::optional<std::string>;
  using Line = std::optional<QString>;
  const std::tuple<const char*, ID, ID, std::optional<float>, bool, Line, Line> cases[] = {
      {"no devices saved", {}, {}, 0.4f, false, {}, {}},
      {"present and muted; input without volume", "audio:speakers", "audio:mic", std::nullopt, true,
       "输出：Speakers · 50% · 静音", "输入：Microphone"},
      {"removed from the list", "audio:gone", "audio:mic", 0.7f, false,
       "输出：已保存设备 · 离线 · 50%", "输入：Microphone · 70%"},
  };
  for (const auto& [story, output, input, inputVolume, muted, outputLine, inputLine] : cases) {
    SCOPED_TRACE(story);
    scene.outputDeviceID = output;
    scene.inputDeviceID = input;
    scene.inputVolume = inputVolume;
    scene.systemVolume = 0.5f;
    scene.systemMuted = muted;
    EXPECT_EQ(ui::sceneSummaryText(*h.model, scene),
              (SceneSummaryText{outputLine, inputLine, "1 个应用设置 · 均衡器 1 · 增强 1",
                                "多输出 开启 · 2 个设备 · 处理开启"}));
    EXPECT_EQ(ui::sceneDeviceMissing(*h.model, scene), output == "audio:gone");
  }
}

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
}  // namespace velmora::test
