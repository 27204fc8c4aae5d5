// Choosing devices from the list, Bluetooth headphones that must connect first, and editing the
// list, on the simulated machine in virtual time.
#include <gtest/gtest.h>

#include "ModelHarness.h"

namespace velmora::test {
namespace {

using settings::DeviceBookmark;
constexpr const char* kAddress = kHeadphonesAddress;

// The headphones' audio device may carry the address in its UID, or only a name that matches the
// paired device. Either way, once chosen and connected they stay the output although automatic
// switching prefers the wired speakers.
TEST(DeviceSelection, PairedHeadphonesConnectThenBecomeTheOutputWhenTheirAudioAppears) {
  for (const std::string uid : {kHeadphonesUID, "bluez_output.sink"}) {
    SCOPED_TRACE(uid);
    ModelHarness h(withHeadphones());
    h.advance(0.0);  // the first scan's result
    h.automaticOutputs({"audio:speakers", "audio:dac"});
    h.model->setAppVolume(kMusic, 0.5f);
    h.advance(0.0);

    h.machine.audioDeviceOnConnection(kAddress, headphonesAudio(uid), 3.0, h.mainQueue);
    h.machine.bluetooth().holdConnections(true);
    h.model->selectBookmark(h.bookmark(kHeadphonesID), AudioDirection::output);
    const std::string key = std::string("false:") + kHeadphonesID;
    EXPECT_EQ(h.state().connectionLabels.at(key), "正在连接…");
    h.connect();
    EXPECT_EQ(h.state().connectionLabels.at(key), "等待音频就绪…") << "the link up, no audio yet";

    h.advance(4.5);
    ASSERT_NE(h.id(uid), 0u);
    EXPECT_EQ(h.state().outputID, h.id(uid));
    EXPECT_TRUE(h.state().connectionLabels.empty());
    // Processing was rebuilt for the new output: the application plays there at its own volume.
    h.machine.audio().render(4);
    h.advance(1.5);
    EXPECT_NEAR(h.tone(uid, 440.0), 0.25, 0.02);
    h.advance(4.5);
    EXPECT_EQ(h.state().outputID, h.id(uid)) << "the rules leave the choice alone";
  }
}

TEST(DeviceSelection, FailuresTimeOutsAndLateCompletionsEndWithoutASwitch) {
  ModelHarness h(withHeadphones());
  h.advance(0.0);
  const DeviceBookmark headphones = h.bookmark(kHeadphonesID);
  const auto select = [&](const DeviceBookmark& bookmark, double audioAfter = -1) {
    h.machine.audio().removeDevice(kHeadphonesUID);
    h.machine.bluetooth().setConnected(kAddress, false);
    h.advance(1.5);
    if (audioAfter >= 0)
      h.machine.audioDeviceOnConnection(kAddress, headphonesAudio(), audioAfter, h.mainQueue);
    h.model->selectBookmark(bookmark, AudioDirection::output);
  };

  // The link fails: the headphones' name, then the stack's message.
  h.machine.bluetooth().setConnectionOutcome(kAddress, -536870212);
  select(headphones);
  h.connect();
  EXPECT_EQ(h.state().errorMessage,
            "降噪耳机：蓝牙连接失败（-536870212）。请确认耳机已开机、在附近且未被其他设备占用。");
  EXPECT_TRUE(h.state().connectionLabels.empty());

  // The link opens but no audio device ever comes: after 25 s the selection gives up.
  h.machine.bluetooth().setConnectionOutcome(kAddress, 0);
  select(headphones);
  h.connect();
  h.advance(24.0);
  EXPECT_FALSE(h.state().connectionLabels.empty()) << "still waiting at 24 s";
  h.advance(1.5);
  EXPECT_EQ(h.state().errorMessage,
            "降噪耳机 的音频通道尚未就绪。请确认设备已开机，并在蓝牙设置中检查连接后重试。");
  EXPECT_TRUE(h.state().connectionLabels.empty());
  EXPECT_EQ(h.state().outputID, h.id("speakers"));

  // The user chooses the DAC while the connection is still opening: its late success, and the
  // audio device that follows, change nothing.
  h.machine.bluetooth().holdConnections(true);
  select(headphones, 1.0);
  h.select("dac");
  h.connect();
  h.advance(3.0);
  ASSERT_NE(h.id(kHeadphonesUID), 0u);
  EXPECT_EQ(h.state().outputID, h.id("dac"));
  EXPECT_TRUE(h.state().connectionLabels.empty());

  // The link opens and the audio device comes, but writing it as the default fails: the user is
  // told, nothing waits on, and the output stays where it was.
  select(headphones, 1.0);
  h.connect();
  h.failWrites(1);
  h.advance(3.0);
  ASSERT_NE(h.id(kHeadphonesUID), 0u);
  EXPECT_EQ(h.state().errorMessage, "设置音频属性失败（Core Audio -50）");
  EXPECT_TRUE(h.state().connectionLabels.empty());
  EXPECT_EQ(h.state().outputID, h.id("dac"));

  // A Bluetooth entry that is no longer paired: no connection is tried.
  const int attempts = h.machine.bluetooth().connectionAttempts();
  DeviceBookmark forgotten = headphones;
  forgotten.bluetoothAddress = "00-11-22-33-44-55";
  forgotten.name = "旧耳机";
  h.model->selectBookmark(forgotten, AudioDirection::input);
  h.connect();
  EXPECT_EQ(h.state().errorMessage, "旧耳机：此蓝牙设备尚未配对。请先在系统蓝牙设置中完成配对。");
  EXPECT_EQ(h.machine.bluetooth().connectionAttempts(), attempts);
}

TEST(DeviceList, RenamingAndMovingEntries) {
  ModelHarness h(withHeadphones());
  h.advance(0.0);
  auto ids = [&] {
    IDs result;
    for (const DeviceBookmark& bookmark : h.state().preferences.deviceList->devices)
      result.push_back(bookmark.id);
    return result;
  };
  ASSERT_EQ(ids(), (IDs{"audio:mic", "audio:speakers", "audio:dac", kHeadphonesID}));

  // Trimmed of Unicode white space, cut to 48 characters as a person counts them.
  std::string fortySeven;
  for (int i = 0; i < 47; ++i) fortySeven += "声";
  h.model->renameDevice("audio:dac", "\u3000 " + fortySeven + "e\u0301" + "xyz\n");
  EXPECT_EQ(h.bookmark("audio:dac").alias, fortySeven + "e\u0301");
  h.model->renameDevice("audio:dac", " \u3000\t\n");
  EXPECT_FALSE(h.bookmark("audio:dac").alias) << "only white space: no alias";

  h.model->moveDevice("audio:mic", -5);
  EXPECT_EQ(ids()[0], "audio:mic") << "the first entry cannot move up";
  h.model->moveDevice("audio:dac", -5);
  EXPECT_EQ(ids(), (IDs{"audio:dac", "audio:mic", "audio:speakers", kHeadphonesID}));
  h.model->moveDevice(kHeadphonesID, "audio:mic");
  EXPECT_EQ(ids(), (IDs{"audio:dac", kHeadphonesID, "audio:mic", "audio:speakers"}));
  h.model->moveDevice("audio:dac", "audio:nowhere");
  h.model->moveDevice("audio:nowhere", 1);
  EXPECT_EQ(ids()[0], "audio:dac") << "unknown ids change nothing";
}

TEST(DeviceSelection, ASceneOnHeadphonesConnectsThemFirstThenAppliesItsSettings) {
  ModelHarness h(withHeadphones());
  h.machine.audioDeviceOnConnection(kAddress, headphonesAudio(), 2.0, h.mainQueue);
  h.advance(0.0);
  h.model->selectBookmark(h.bookmark(kHeadphonesID), AudioDirection::output);
  h.connect();
  h.advance(3.0);
  h.model->setAppVolume(kMusic, 0.3f);
  h.model->saveScene("耳机", std::nullopt);
  const auto scene = h.state().preferences.advanced->scenes.back();
  EXPECT_EQ(h.model->sceneState(scene.id), "当前配置");
  // Back on the speakers with another volume; the headphones go away and must connect again.
  const auto backOnSpeakers = [&] {
    h.select("speakers");
    h.model->setAppVolume(kMusic, 0.9f);
    h.machine.audio().removeDevice(kHeadphonesUID);
    h.machine.bluetooth().setConnected(kAddress, false);
    h.advance(1.5);
    h.machine.bluetooth().holdConnections(true);
  };

  backOnSpeakers();
  EXPECT_EQ(h.model->sceneState(scene.id), "已调整");
  h.model->applyScene(scene);
  EXPECT_EQ(h.model->sceneState(scene.id), "切换中");
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.9f) << "devices first, settings after";
  h.connect();
  h.advance(3.0);
  EXPECT_EQ(h.state().outputID, h.id(kHeadphonesUID));
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.3f);
  EXPECT_EQ(h.model->sceneState(scene.id), "当前配置");

  // Under way again, the user picks the speakers: the scene is abandoned, neither its headphones
  // nor its settings come later.
  backOnSpeakers();
  h.model->applyScene(scene);
  h.select("speakers");
  EXPECT_NE(h.model->sceneState(scene.id), "切换中");
  h.connect();
  h.advance(3.0);
  EXPECT_EQ(h.state().outputID, h.id("speakers"));
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.9f);

  // The same when the user picks the headphones themselves: they come, the scene's volume not.
  backOnSpeakers();
  h.model->applyScene(scene);
  h.model->selectBookmark(h.bookmark(kHeadphonesID), AudioDirection::output);
  h.connect();
  h.advance(3.0);
  EXPECT_EQ(h.state().outputID, h.id(kHeadphonesUID));
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.9f);
}

}  // namespace
}  // namespace velmora::test
