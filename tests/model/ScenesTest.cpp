// Scenes on the simulated machine: saving, the two-phase application and its deadline,
// stopping and deleting, and the modified state.
#include <gtest/gtest.h>

#include "ModelHarness.h"
#include "audio/HAL.h"

using velmora::settings::AudioDirection;

namespace {

using velmora::settings::AudioScene;
using velmora::test::ModelHarness;

constexpr const char* kMusic = "com.example.music";
constexpr const char* kSceneMessage =
    "场景设备未全部就绪，未应用音量配置。已完成的设备切换会保留。";

const std::vector<AudioScene>& scenes(const ModelHarness& h) {
  return h.state().preferences.advanced->scenes;
}

TEST(Scenes, AppliedSceneSwitchesDevicesFirstThenSettingsAndTracksChanges) {
  ModelHarness h;
  auto& audio = h.machine.audio();
  h.model->setSystemVolume(0.3f);
  h.model->setAppVolume(kMusic, 0.6f);
  h.model->setEQ("audio:speakers", {true, {3, 0, 0, 0, -2}});
  h.model->saveScene(" \u3000工作\n", std::nullopt);
  ASSERT_EQ(scenes(h).size(), 1u);
  const AudioScene saved = scenes(h)[0];
  EXPECT_EQ(saved.name, "工作");
  EXPECT_EQ(saved.outputDeviceID, "audio:speakers");
  EXPECT_EQ(saved.inputDeviceID, "audio:mic");
  EXPECT_EQ(saved.id.size(), 36u);
  EXPECT_EQ(h.state().activeSceneID, saved.id);
  EXPECT_FALSE(h.model->activeSceneModified());

  // Change everything the scene holds.
  h.model->setSystemVolume(0.9f);  // remembered for the speakers, brought back when they return
  h.model->toggleSystemMute();
  h.model->selectDevice(audio.deviceID("dac"), AudioDirection::output);
  h.model->setAppVolume(kMusic, 0.2f);
  h.model->resetEQ("audio:speakers");
  h.model->toggleBoost("audio:dac");
  h.model->toggleSolo(kMusic);
  EXPECT_TRUE(h.model->activeSceneModified());

  // The default output changes while the settings are still the changed ones.
  std::optional<float> musicWhenSpeakersReturned;
  h.model->observe([&](const velmora::model::ModelState& state) {
    if (state.outputID == audio.deviceID("speakers") && !musicWhenSpeakersReturned) {
      musicWhenSpeakersReturned = state.preferences.apps.at(kMusic).volume;
    }
  });
  h.model->applyScene(saved);
  EXPECT_EQ(musicWhenSpeakersReturned, 0.2f) << "devices switch before the settings";
  EXPECT_EQ(h.state().outputID, audio.deviceID("speakers"));
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().activeSceneID, saved.id);
  EXPECT_FALSE(h.state().soloAppID);
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.6f);
  EXPECT_TRUE(h.state().preferences.processingEnabled);
  EXPECT_EQ(h.state().preferences.advanced->equalizers.at("audio:speakers").bands[0], 3.0f);
  EXPECT_FALSE(h.model->boostEnabled("audio:dac"));
  EXPECT_FLOAT_EQ(*velmora::audio::HAL::volume(audio.deviceID("speakers"), AudioDirection::output),
                  0.3f);
  EXPECT_FALSE(h.state().systemMuted);
  EXPECT_FALSE(h.state().errorMessage);
  EXPECT_EQ(scenes(h).size(), 1u) << "the other advanced settings, scenes included, stay";
  h.advance(1.5);
  EXPECT_FALSE(h.model->activeSceneModified());

  // Within the tolerance the scene is still current; beyond it, or with a solo, it is adjusted.
  h.model->setAppVolume(kMusic, 0.6005f);
  EXPECT_FALSE(h.model->activeSceneModified());
  h.model->setAppVolume(kMusic, 0.61f);
  EXPECT_TRUE(h.model->activeSceneModified());
  h.model->setAppVolume(kMusic, 0.6f);
  h.model->toggleSolo("com.example.game");
  EXPECT_TRUE(h.model->activeSceneModified());
}

TEST(Scenes, DeadlineStopDeleteAndScenesThatApplyAtOnce) {
  auto scenario = velmora::test::modelMachine();
  auto headset = scenario.devices[2];
  headset.uid = "headset-mic";
  headset.name = "Headset";
  scenario.devices.push_back(headset);
  ModelHarness h(scenario);
  auto& audio = h.machine.audio();

  // Without devices, or with the only device already the default, a scene applies in the call.
  AudioScene bare;
  bare.id = "bare";
  bare.apps[kMusic].volume = 0.4f;
  h.model->applyScene(bare);
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.4f);
  EXPECT_EQ(h.state().activeSceneID, "bare");
  AudioScene onSpeakers = bare;
  onSpeakers.id = "speakers";
  onSpeakers.outputDeviceID = "audio:speakers";
  h.model->applyScene(onSpeakers);
  EXPECT_EQ(h.state().activeSceneID, "speakers");
  EXPECT_FALSE(h.state().applyingSceneID);

  // Scene on the DAC and the built-in microphone; then the DAC is unplugged.
  h.model->selectDevice(audio.deviceID("dac"), AudioDirection::output);
  h.model->setAppVolume(kMusic, 0.7f);
  h.model->saveScene("DAC", std::nullopt);
  const AudioScene scene = scenes(h).back();
  h.model->selectDevice(audio.deviceID("speakers"), AudioDirection::output);
  h.model->selectDevice(audio.deviceID("headset-mic"), AudioDirection::input);
  h.model->setAppVolume(kMusic, 0.5f);
  audio.removeDevice("dac");
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
  EXPECT_EQ(scenes(h).size(), 0u);

  // The deadline: the input switch made stays, the settings are not applied.
  h.model->selectDevice(audio.deviceID("headset-mic"), AudioDirection::input);
  h.model->applyScene(scene);
  EXPECT_EQ(h.state().inputID, audio.deviceID("mic"));
  h.advance(27.9);
  EXPECT_EQ(h.state().applyingSceneID, scene.id);
  EXPECT_EQ(h.state().errorMessage, unavailable);
  h.advance(1.6);
  EXPECT_EQ(h.state().errorMessage, kSceneMessage);
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().inputID, audio.deviceID("mic"));
  EXPECT_EQ(h.state().preferences.apps.at(kMusic).volume, 0.5f);
  EXPECT_FALSE(h.state().activeSceneID);
  // The DAC coming back later changes nothing.
  audio.reconnectDevice("dac");
  h.advance(1.5);
  EXPECT_EQ(h.state().outputID, audio.deviceID("speakers"));

  // A device no longer in the list: nothing switches, nothing is under way.
  AudioScene gone = scene;
  gone.outputDeviceID = "audio:gone";
  h.model->selectDevice(audio.deviceID("headset-mic"), AudioDirection::input);
  h.model->applyScene(gone);
  EXPECT_EQ(h.state().errorMessage, "场景中的设备已不在列表中，请重新保存场景。");
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_EQ(h.state().inputID, audio.deviceID("headset-mic"));
}

TEST(Scenes, NamesAreTrimmedAndCutAndReplacingKeepsThePlace) {
  ModelHarness h;
  h.model->saveScene(" \n\u3000 ", std::nullopt);
  EXPECT_EQ(h.state().errorMessage, "请为场景输入名称。");
  EXPECT_FALSE(h.state().preferences.advanced && !scenes(h).empty());

  std::string chinese;
  for (int i = 0; i < 50; ++i) chinese += "声";
  const std::string accented =
      std::string(39, 'a') + "e\u0301\u0302" + "bc";  // the mark stays with its e
  const std::string family = std::string(38, 'x') + "😀👩\u200D👩\u200D👧🇨🇳🇯🇵";
  h.model->saveScene(chinese + "\n", std::nullopt);
  h.model->saveScene(accented, std::nullopt);
  h.model->saveScene(family, std::nullopt);
  ASSERT_EQ(scenes(h).size(), 3u);
  EXPECT_EQ(scenes(h)[0].name, chinese.substr(0, size_t(40) * 3));
  EXPECT_EQ(scenes(h)[1].name, std::string(39, 'a') + "e\u0301\u0302");
  EXPECT_EQ(scenes(h)[2].name, std::string(38, 'x') + "😀👩\u200D👩\u200D👧");

  // Replacing keeps the id and the place in the list.
  const std::string middle = scenes(h)[1].id;
  h.model->setAppVolume(kMusic, 0.25f);
  h.model->saveScene("新的", middle);
  ASSERT_EQ(scenes(h).size(), 3u);
  EXPECT_EQ(scenes(h)[1].id, middle);
  EXPECT_EQ(scenes(h)[1].name, "新的");
  EXPECT_EQ(scenes(h)[1].apps.at(kMusic).volume, 0.25f);
  EXPECT_EQ(h.state().activeSceneID, middle);

  // Deleting another scene keeps the order of the rest; the file reads back the same.
  h.model->deleteScene(scenes(h)[0].id);
  EXPECT_EQ(h.state().activeSceneID, middle);
  h.advance(1);
  const auto stored = velmora::settings::PreferencesStore(h.file()).load();
  ASSERT_TRUE(stored.advanced);
  EXPECT_EQ(stored.advanced->scenes, scenes(h));
  EXPECT_EQ(stored.advanced->scenes[0].id, middle);
}

// A scene waits for its microphone while a display is plugged in; when it finishes, muting the
// output must not let the automatic rules move it off the scene's speakers.
TEST(Scenes, ASceneThatMutesKeepsItsDevicesAgainstTheRules) {
  auto machine = velmora::test::modelMachine();
  machine.devices.push_back(velmora::test::simDevice("usbmic", "USB Mic", {}, {1}));
  ModelHarness h(machine);
  auto& audio = h.machine.audio();
  h.model->updateAdvanced([](velmora::settings::AdvancedPreferences& advanced) {
    advanced.autoOutput = true;
    advanced.automaticOutputIDs = std::vector<std::string>{"audio:dac", "audio:speakers"};
  });
  h.advance(3.0);
  h.model->selectDevice(audio.deviceID("speakers"), AudioDirection::output);
  AudioScene scene = h.model->currentSceneSnapshot("安静");
  scene.inputDeviceID = "audio:usbmic";
  scene.systemMuted = true;

  audio.failCall(velmora::platform::sim::SimulatedCall::setPropertyData, -50,
                 2);  // neither default is written
  h.model->applyScene(scene);
  audio.addDevice(velmora::test::simDevice("hdmi", "HDMI", {2}));
  h.advance(3.0);
  ASSERT_EQ(h.state().applyingSceneID, scene.id) << "waiting for the microphone";
  audio.setDefaultDevice("usbmic", true);
  h.advance(1.5);
  EXPECT_FALSE(h.state().applyingSceneID);
  EXPECT_TRUE(h.state().systemMuted);
  EXPECT_EQ(h.state().outputID, audio.deviceID("speakers"));
  h.advance(3.0);
  EXPECT_EQ(h.state().outputID, audio.deviceID("speakers"));
}

}  // namespace
