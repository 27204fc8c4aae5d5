// Scenes on the simulated machine: saving, the two-phase application and its deadline,
// stopping and deleting, and the modified state.
#include <gtest/gtest.h>

#include "ModelHarness.h"

namespace velmora::test {
namespace {

using settings::AudioScene;

const std::vector<AudioScene>& scenes(const ModelHarness& h) {
  return h.state().preferences.advanced->scenes;
}

TEST(Scenes, SavedSceneIsBroughtBackTracksChangesAndIsReplacedInPlace) {
  ModelHarness h;
  h.model->setSystemVolume(0.3f);
  h.model->setAppVolume(kMusic, 0.6f);
  h.model->setEQ("audio:speakers", {true, {3, 0, 0, 0, -2}});
  h.model->saveScene("工作", std::nullopt);
  const AudioScene saved = scenes(h).at(0);
  EXPECT_EQ(h.state().activeSceneID, saved.id);
  EXPECT_FALSE(h.model->activeSceneModified());

  // Change everything the scene holds.
  h.model->setSystemVolume(0.9f);  // remembered for the speakers, brought back when they return
  h.model->toggleSystemMute();
  h.select("dac");
  h.model->setAppVolume(kMusic, 0.2f);
  h.model->resetEQ("audio:speakers");
  h.model->toggleBoost("audio:dac");
  h.model->toggleSolo(kMusic);
  EXPECT_TRUE(h.model->activeSceneModified());

  h.model->applyScene(saved);
  EXPECT_EQ(h.state().outputID, h.id("speakers"));
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().activeSceneID, saved.id);
  EXPECT_FLOAT_EQ(*audio::HAL::volume(h.id("speakers"), AudioDirection::output), 0.3f);
  EXPECT_FALSE(h.state().errorMessage);
  EXPECT_EQ(scenes(h).size(), 1u) << "the other advanced settings, scenes included, stay";
  h.advance(1.5);
  EXPECT_FALSE(h.model->activeSceneModified()) << "every setting the scene holds is back";

  // A solo is no setting the scene holds, but it adjusts the scene.
  h.model->toggleSolo("com.example.game");
  EXPECT_TRUE(h.model->activeSceneModified());

  // Names are trimmed, and an empty one is refused; replacing keeps the id and the place.
  h.model->saveScene(" \n\u3000 ", std::nullopt);
  EXPECT_EQ(h.state().errorMessage, "请为场景输入名称。");
  h.model->saveScene("\u3000 早上\n", std::nullopt);
  h.model->saveScene("一", std::nullopt);
  ASSERT_EQ(scenes(h).size(), 3u);
  EXPECT_EQ(scenes(h)[1].name, "早上");
  const std::string middle = scenes(h)[1].id;
  h.model->setAppVolume(kMusic, 0.25f);
  h.model->saveScene("新的", middle);
  EXPECT_EQ(scenes(h)[1].id, middle);
  EXPECT_EQ(scenes(h)[1].name, "新的");
  EXPECT_EQ(scenes(h)[1].apps.at(kMusic).volume, 0.25f);
  EXPECT_EQ(h.state().activeSceneID, middle);
}

TEST(Scenes, DeadlineStopDeleteAndScenesThatApplyAtOnce) {
  auto scenario = modelMachine();
  scenario.devices.push_back(simDevice("headset-mic", "Headset", {}, {1}));
  ModelHarness h(scenario);

  // Without devices a scene applies in the call.
  AudioScene bare;
  bare.id = "bare";
  bare.apps[kMusic].volume = 0.4f;
  h.model->setAppVolume(kMusic, 0.9f);  // switches processing on
  h.model->applyScene(bare);
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.4f);
  EXPECT_FALSE(h.state().preferences.processingEnabled);
  EXPECT_EQ(h.state().activeSceneID, "bare");

  // Scene on the DAC and the built-in microphone; then the DAC is unplugged.
  h.select("dac");
  h.model->setAppVolume(kMusic, 0.7f);
  h.model->saveScene("DAC", std::nullopt);
  const AudioScene scene = scenes(h).back();
  h.select("speakers");
  h.select("headset-mic", AudioDirection::input);
  h.model->setAppVolume(kMusic, 0.5f);
  h.machine.audio().removeDevice("dac");
  h.advance(1.5);

  // Stopping: nothing more happens, not even after the deadline. (Choosing the missing DAC
  // says at once that it is unavailable; the scene's own message must not follow.)
  const std::string unavailable = "USB DAC 当前不可用，请先连接设备。";
  h.model->applyScene(scene);
  EXPECT_EQ(h.state().applyingSceneID, scene.id);
  EXPECT_EQ(h.state().errorMessage, unavailable);
  h.model->stopApplyingScene();
  EXPECT_FALSE(h.state().applyingSceneID);
  h.advance(30);
  EXPECT_EQ(h.state().errorMessage, unavailable);
  // Deleting the scene being applied stops it without a message.
  h.model->applyScene(scene);
  h.model->deleteScene(scene.id);
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_FALSE(h.state().activeSceneID) << "the deleted scene was the last saved";
  h.advance(30);
  EXPECT_EQ(h.state().errorMessage, unavailable);

  // The deadline: the input switch made stays, the settings are not applied.
  h.select("headset-mic", AudioDirection::input);
  h.model->applyScene(scene);
  EXPECT_EQ(h.state().inputID, h.id("mic"));
  h.advance(29.5);
  EXPECT_EQ(h.state().errorMessage, "场景设备未全部就绪，未应用音量配置。已完成的设备切换会保留。");
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().inputID, h.id("mic"));
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.5f);
  EXPECT_FALSE(h.state().activeSceneID);
  // The DAC coming back later changes nothing.
  h.machine.audio().reconnectDevice("dac");
  h.advance(1.5);
  EXPECT_EQ(h.state().outputID, h.id("speakers"));

  // A device no longer in the list: nothing switches, nothing is under way.
  AudioScene gone = scene;
  gone.outputDeviceID = "audio:gone";
  h.select("headset-mic", AudioDirection::input);
  h.model->applyScene(gone);
  EXPECT_EQ(h.state().errorMessage, "场景中的设备已不在列表中，请重新保存场景。");
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().inputID, h.id("headset-mic"));
}

// A scene waits for its microphone while a display is plugged in; when it finishes, muting the
// output must not let the automatic rules move it off the scene's speakers.
TEST(Scenes, ASceneThatMutesKeepsItsDevicesAgainstTheRules) {
  auto machine = modelMachine();
  machine.devices.push_back(simDevice("usbmic", "USB Mic", {}, {1}));
  ModelHarness h(machine);
  h.automaticOutputs({"audio:dac", "audio:speakers"});
  h.advance(3.0);
  h.select("speakers");
  AudioScene scene = h.model->currentSceneSnapshot("安静");
  scene.inputDeviceID = "audio:usbmic";
  scene.systemMuted = true;

  h.failWrites(2);  // neither default is written
  h.model->applyScene(scene);
  h.machine.audio().addDevice(simDevice("hdmi", "HDMI", {2}));
  h.advance(3.0);
  ASSERT_EQ(h.state().applyingSceneID, scene.id) << "waiting for the microphone";
  h.machine.audio().setDefaultDevice("usbmic", true);
  h.advance(1.5);
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_TRUE(h.state().systemMuted);
  h.advance(3.0);
  EXPECT_EQ(h.state().outputID, h.id("speakers"));
}

}  // namespace
}  // namespace velmora::test
