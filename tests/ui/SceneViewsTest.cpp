// The scene list and a scene's page on the simulated machine: saving from the field, the captions
// as the configuration changes, stopping an application half-way, both confirmations, and
// summaries that claim nothing the scene did not save.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>

#include "PanelHarness.h"
#include "ui/SceneViews.h"

namespace {

using velmora::model::AudioDirection;
using velmora::settings::AudioScene;
using velmora::ui::SceneSummaryText;

// The scenes section in the settings window, as the program installs it.
struct SceneViews : velmora::test::SettingsHarness {
  SceneViews()
      : SettingsHarness(withHeadsetMic()),
        section(new velmora::ui::ScenesSection(*bridge, window->navigation())) {
    window->setScenesSection(section);
    open(velmora::ui::SettingsSection::scenes);
  }
  static velmora::platform::sim::Scenario withHeadsetMic() {
    auto scenario = velmora::test::modelMachine();
    scenario.devices.push_back(velmora::test::simDevice("headset-mic", "Headset Mic", {}, {1}));
    return scenario;
  }
  const std::vector<AudioScene>& scenes() const {
    static const std::vector<AudioScene> none;
    return state().preferences.advanced ? state().preferences.advanced->scenes : none;
  }
  // The first of several alike (the list's rows each have "应用").
  void press(const QString& key) {
    const auto buttons = all<QAbstractButton>(key);
    ASSERT_FALSE(buttons.empty()) << key.toStdString();
    buttons.front()->click();
    settle();
  }
  void save(const QString& name) {
    section->findChild<QLineEdit*>()->setText(name);
    press("保存当前");
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

  velmora::ui::ScenesSection* section;
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
  h.press("应用");  // the first row's: "开会"
  EXPECT_EQ(h.state().activeSceneID, h.scenes()[0].id);
  EXPECT_TRUE(h.shows("当前配置"));
  EXPECT_FALSE(h.shows("已调整"));

  h.press("外放 详情");
  EXPECT_EQ(h.window->navigation().sceneID(), h.scenes()[1].id);
  EXPECT_FALSE(h.shows("保存当前"));
  EXPECT_TRUE(h.shows("用当前配置更新"));
  h.press("返回场景列表");
  EXPECT_TRUE(h.shows("保存当前"));

  // A scene open, then the window opened anew (the panel's settings button): the scene list.
  h.press("外放 详情");
  h.open(velmora::ui::SettingsSection::general);
  h.press("场景");  // the sidebar's
  EXPECT_EQ(h.window->navigation().sceneID(), std::nullopt);
  EXPECT_TRUE(h.shows("保存当前"));
  EXPECT_FALSE(h.shows("用当前配置更新"));
}

TEST(SceneViews, StoppingHalfWayKeepsTheSwitchMadeAndDeletingTheOpenSceneLeavesItGone) {
  SceneViews h;
  auto& audio = h.machine.audio();
  h.model->selectDevice(audio.deviceID("dac"), AudioDirection::output);
  h.model->setProcessing(true);
  h.model->saveScene("DAC", std::nullopt);
  const std::string id = h.scenes()[0].id;
  h.model->selectDevice(audio.deviceID("speakers"), AudioDirection::output);
  h.model->selectDevice(audio.deviceID("headset-mic"), AudioDirection::input);
  h.model->setProcessing(false);
  audio.removeDevice("dac");
  h.settle(1.5);
  h.press("DAC 详情");
  EXPECT_TRUE(h.shows("应用并恢复处理"));
  EXPECT_TRUE(h.shows("输出：USB DAC（离线） · 80%"));

  h.press("应用并恢复处理");
  EXPECT_TRUE(h.shows("切换中"));
  EXPECT_TRUE(h.shows("场景切换中"));
  EXPECT_TRUE(h.shows("停止后续切换会保留已完成的设备切换。"));
  h.press("删除场景");
  EXPECT_EQ(h.answer("取消"), "删除场景？|删除 DAC 并停止后续切换，已完成的设备切换会保留。");
  h.press("保留已完成的设备切换");
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_FALSE(h.shows("切换中"));

  h.model->setSystemVolume(0.3f);
  h.press("用当前配置更新");
  EXPECT_EQ(
      h.answer("更新"),
      "用当前配置更新场景？|将 DAC 中的设备、音量与静音、应用设置、音效、多输出和处理状态替换为"
      "当前配置。");
  EXPECT_EQ(h.scenes()[0].id, id);
  EXPECT_EQ(h.scenes()[0].systemVolume, 0.3f);
  h.press("删除场景");
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
    EXPECT_EQ(velmora::ui::sceneSummaryText(*h.model, scene),
              (SceneSummaryText{outputLine, inputLine, "1 个应用设置 · 均衡器 1 · 增强 1",
                                "多输出 开启 · 2 个设备 · 处理开启"}));
    EXPECT_EQ(velmora::ui::sceneDeviceMissing(*h.model, scene), output == "audio:gone");
  }
}

}  // namespace
