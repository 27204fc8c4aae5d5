// The model's user operations and their edge cases: volume and mute, per-application controls,
// multi-output, hotkeys and launch at login.
#include <gtest/gtest.h>

#include "ModelHarness.h"
#include "audio/HAL.h"

namespace {

using velmora::model::AppRoutePresentation;
using velmora::model::AudioDirection;
using velmora::platform::SettingsPage;
using velmora::settings::HotkeyAction;
using velmora::settings::Shortcut;
using velmora::test::ModelHarness;

constexpr const char* kMusic = "com.example.music";

TEST(ModelVolume, HardwareAndEmulatedMute) {
  ModelHarness h;
  std::vector<std::tuple<std::string, float, bool>> huds;
  h.model->onVolumeHUD = [&](const std::string& name, float volume, bool muted, AudioDirection) {
    huds.emplace_back(name, volume, muted);
  };
  // Hardware mute on, then a volume change: the volume is set and the mute switched off.
  h.model->toggleSystemMute();
  EXPECT_TRUE(h.state().systemMuted);
  h.model->setSystemVolume(0.4f);
  EXPECT_FALSE(h.state().systemMuted);
  h.advance(1.5);
  EXPECT_FALSE(h.state().systemMuted) << "the device's mute was switched off";
  EXPECT_FLOAT_EQ(h.state().preferences.deviceVolumes.at("speakers"), 0.4f);
  h.model->setSystemVolume(1.3f);
  EXPECT_EQ(h.state().systemVolume, 1.3f) << "until the next refresh reads 1.0 back";
  h.advance(1.5);
  EXPECT_EQ(h.state().systemVolume, 1.0f);
  ASSERT_FALSE(huds.empty());
  EXPECT_EQ(std::get<0>(huds.back()), "Speakers");

  // The DAC has no hardware mute: muting sets 0 and remembers 0.6, unmuting brings 0.6 back.
  h.model->selectDevice(h.machine.audio().deviceID("dac"), AudioDirection::output);
  h.model->setSystemVolume(0.6f);
  h.model->toggleSystemMute();
  EXPECT_TRUE(h.state().systemMuted);
  EXPECT_EQ(h.state().systemVolume, 0.0f);
  h.advance(1.5);
  EXPECT_FLOAT_EQ(h.state().preferences.deviceVolumes.at("dac"), 0.6f)
      << "the 0 of a mute is not remembered";
  h.model->toggleSystemMute();
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.6f);
  EXPECT_FALSE(h.state().systemMuted);

  // A value that is no number is written as full volume and never stored as such.
  h.model->setSystemVolume(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(h.state().preferences.deviceVolumes.at("dac"), 1.0f);

  // Without a HUD switch nothing reaches the shell, but the volume still changes.
  const size_t shown = huds.size();
  h.model->updateAdvanced([](auto& advanced) { advanced.interface.hudEnabled = false; });
  h.model->setSystemVolume(0.2f);
  EXPECT_EQ(huds.size(), shown);
  EXPECT_FLOAT_EQ(
      *velmora::audio::HAL::volume(h.machine.audio().deviceID("dac"), AudioDirection::output),
      0.2f);
}

TEST(ModelVolume, DevicesWithoutControlsGiveTheirMessages) {
  auto scenario = velmora::test::modelMachine();
  scenario.devices[1].output.volume.clear();
  ModelHarness h(scenario);
  h.model->selectDevice(h.machine.audio().deviceID("dac"), AudioDirection::output);
  EXPECT_FALSE(h.state().volumeSupported);
  EXPECT_FALSE(h.state().muteSupported);
  h.model->toggleSystemMute();
  EXPECT_EQ(h.state().errorMessage, "此设备不支持系统静音。");
  h.model->setSystemVolume(0.5f);
  EXPECT_EQ(h.state().errorMessage, "此设备不支持系统音量调节，请使用设备自身的控制。");

  h.machine.audio().failCall(velmora::platform::sim::SimulatedCall::setPropertyData, -50, 1);
  h.model->setInputVolume(0.3f);
  EXPECT_EQ(h.state().errorMessage, "设置音频属性失败（Core Audio -50）");
  h.model->toggleInputMute();  // no hardware mute on the microphone: emulated
  EXPECT_TRUE(h.state().inputMuted);
  EXPECT_EQ(h.state().inputVolume, 0.0f);
  h.model->toggleInputMute();
  EXPECT_FLOAT_EQ(*h.state().inputVolume, 0.7f);

  // A mute that reads but cannot be set: emulated, and known as ours when read back as 0.
  auto readOnlyMute = velmora::test::modelMachine();
  readOnlyMute.devices[2].input.mute = velmora::platform::sim::MuteControl{false, false};
  ModelHarness m(readOnlyMute);
  m.model->toggleInputMute();
  EXPECT_TRUE(m.state().inputMuted);
  m.model->toggleInputMute();
  EXPECT_FALSE(m.state().inputMuted);
  EXPECT_FLOAT_EQ(*m.state().inputVolume, 0.7f);
}

// The input side with a hardware mute: the mute is switched on the device and leaves the volume;
// a write that fails says so and changes nothing.
TEST(ModelVolume, InputHardwareMuteAndFailedInputWrites) {
  auto scenario = velmora::test::modelMachine();
  scenario.devices[2].input.mute = velmora::platform::sim::MuteControl{};
  ModelHarness h(scenario);
  const AudioObjectID mic = h.machine.audio().deviceID("mic");
  const auto hardwareMute = [&] {
    return velmora::audio::HAL::value<uint32_t>(mic, kAudioDevicePropertyMute,
                                                kAudioObjectPropertyScopeInput);
  };
  h.model->toggleInputMute();
  EXPECT_TRUE(h.state().inputMuted);
  EXPECT_EQ(hardwareMute(), 1u);
  EXPECT_FLOAT_EQ(*h.state().inputVolume, 0.7f) << "a hardware mute, not a volume of 0";

  h.machine.audio().failCall(velmora::platform::sim::SimulatedCall::setPropertyData, -50, 2);
  h.model->toggleInputMute();
  EXPECT_EQ(h.state().errorMessage, "设置音频属性失败（Core Audio -50）");
  h.model->setInputVolume(0.2f);
  h.advance(1.5);
  EXPECT_TRUE(h.state().inputMuted) << "the failed unmute left the device muted";
  EXPECT_EQ(hardwareMute(), 1u);
  EXPECT_FLOAT_EQ(*h.state().inputVolume, 0.7f) << "the failed volume write left it as it was";

  h.model->toggleInputMute();
  EXPECT_FALSE(h.state().inputMuted);
  EXPECT_EQ(hardwareMute(), 0u);
}

TEST(ModelAppControls, LevelsSoloOutputsAndPresentations) {
  ModelHarness h;
  h.model->toggleAppMute("com.example.silent");
  const auto& created = h.state().preferences.apps.at("com.example.silent");
  EXPECT_TRUE(created.muted);
  EXPECT_EQ(created.volume, 1.0f);
  EXPECT_FALSE(created.outputDeviceID.has_value());
  EXPECT_TRUE(h.state().preferences.processingEnabled) << "a mute switches processing on";

  h.model->setAppVolume(kMusic, 0.3f);
  h.model->toggleAppMute(kMusic);
  h.model->setAppVolume(kMusic, 0.4f);
  EXPECT_FALSE(h.state().preferences.apps.at(kMusic).muted) << "moving the volume unmutes";

  h.model->toggleSolo(kMusic);
  h.model->toggleSolo("com.example.game");
  EXPECT_EQ(h.state().soloAppID, "com.example.game");
  h.model->toggleSolo("com.example.game");
  EXPECT_FALSE(h.state().soloAppID.has_value());
  h.model->toggleSolo(kMusic);
  h.model->setProcessing(false);
  EXPECT_FALSE(h.state().soloAppID.has_value()) << "switching processing off ends the solo";

  h.model->setAppOutput(kMusic, "audio:dac");
  EXPECT_EQ(h.model->appRoutePresentation(kMusic), (AppRoutePresentation{"USB DAC", std::nullopt}));
  h.machine.audio().removeDevice("dac");
  h.advance(1.5);
  EXPECT_EQ(h.model->appRoutePresentation(kMusic),
            (AppRoutePresentation{"USB DAC", "指定输出离线 · 暂时静音"}));
  h.model->setAppFallback(kMusic, true);
  EXPECT_EQ(h.model->appRoutePresentation(kMusic).routeDetail, "指定输出离线 · 跟随系统");
  h.model->setAppOutput(kMusic, std::nullopt);
  EXPECT_EQ(h.model->appRoutePresentation(kMusic).routeTitle, "跟随系统");
  h.advance(0.35);
  EXPECT_EQ(h.fileText().find("outputDeviceID"), std::string::npos)
      << "the choice is removed from the file";

  EXPECT_FALSE(h.model->boostEnabled("audio:speakers"));
  h.model->toggleBoost("audio:speakers");
  h.model->toggleBoost("audio:speakers");
  EXPECT_FALSE(h.model->boostEnabled("audio:speakers"));
  EXPECT_EQ(h.state().preferences.advanced->boostedOutputs->at("audio:speakers"), false);

  h.model->openAudioPermission();
  EXPECT_EQ(h.machine.applications().openedSettingsPages(),
            std::vector{SettingsPage::audioCapturePermission});
  h.machine.applications().setSettingsPageAvailable(SettingsPage::bluetooth, false);
  EXPECT_FALSE(h.model->canOpenSettingsPage(SettingsPage::bluetooth));
  h.model->openSettingsPage(SettingsPage::bluetooth);
  EXPECT_EQ(h.machine.applications().openedSettingsPages().size(), 1u)
      << "a missing page opens nothing";
}

TEST(ModelAppControls, VisibleAppsKeepSilentOnesWithSettings) {
  auto scenario = velmora::test::modelMachine();
  scenario.processes.push_back({300, "com.example.chat", "/opt/chat", {{330.0, 0.5f}}, false, {}});
  ModelHarness h(scenario);
  auto listed = [&](const std::string& id) {
    for (const auto& app : h.model->visibleApps())
      if (app.id == id) return true;
    return false;
  };
  EXPECT_FALSE(listed("com.example.chat"));
  h.model->toggleAppMute("com.example.chat");
  EXPECT_TRUE(listed("com.example.chat"));
}

TEST(ModelMultiOutput, SelectionRulesAndLimits) {
  ModelHarness h;
  h.model->setMultiEnabled(false);
  EXPECT_FALSE(h.state().preferences.advanced->multiOutput.enabled);
  h.model->setMultiDevice("A", true);
  h.model->setMultiEnabled(true);
  EXPECT_EQ(h.state().errorMessage, "请先勾选至少两个输出设备。");
  EXPECT_FALSE(h.state().preferences.advanced->multiOutput.enabled);
  h.model->setMultiDevice("B", true);
  h.model->setMultiLevel("A", 0.4f);
  h.model->setMultiEnabled(true);
  EXPECT_TRUE(h.state().preferences.advanced->multiOutput.enabled);
  h.model->setMultiDevice("A", false);
  h.model->setMultiDevice("A", true);
  EXPECT_EQ(h.state().preferences.advanced->multiOutput.devices,
            (std::vector<std::string>{"B", "A"}));
  EXPECT_FALSE(h.state().preferences.advanced->multiOutput.enabled) << "off while fewer than two";
  EXPECT_EQ(h.state().preferences.advanced->multiOutput.levels.at("A"), 0.4f)
      << "the level survives";
  h.model->setMultiDevice("C", true);
  h.model->setMultiDevice("D", true);
  EXPECT_TRUE(h.model->canIncludeMultiDevice() == false);
  EXPECT_EQ(h.state().errorMessage, "最多同时选择四个输出设备。");
  h.model->setMultiEnabled(true);
  EXPECT_EQ(h.model->appRoutePresentation(kMusic).routeTitle, "多输出 · 4");
}

TEST(ModelHotkeys, ActionsBindingsAndNextOutput) {
  ModelHarness h;
  h.model->setSystemVolume(0.98f);
  h.model->perform(HotkeyAction::louder);
  EXPECT_EQ(h.state().systemVolume, 1.0f);
  h.model->setSystemVolume(0.03f);
  h.model->perform(HotkeyAction::quieter);
  EXPECT_EQ(h.state().systemVolume, 0.0f);
  int toggles = 0;
  h.model->togglePanel = [&] { ++toggles; };
  h.model->perform(HotkeyAction::panel);
  EXPECT_EQ(toggles, 1);

  const Shortcut up{126, velmora::settings::kControlKey | velmora::settings::kOptionKey, "↑"};
  h.model->setShortcut(HotkeyAction::quieter, up);
  h.model->setShortcut(HotkeyAction::louder, up);
  EXPECT_EQ(h.state().errorMessage, "此快捷键已用于“降低系统音量”。");
  EXPECT_FALSE(h.state().preferences.shortcuts.count("louder"));
  h.machine.hotkeys().refuse(125, up.modifiers);
  h.model->setShortcut(HotkeyAction::louder, Shortcut{125, up.modifiers, "↓"});
  EXPECT_EQ(h.state().shortcutErrors,
            (std::vector<std::string>{"提高系统音量：Alt+Super+↓ 已被占用或无法注册。"}));
  h.model->setShortcut(HotkeyAction::louder, std::nullopt);
  EXPECT_TRUE(h.state().shortcutErrors.empty());

  // Outputs in list order: speakers, DAC (the microphone has none); the next after the last wraps.
  const AudioObjectID speakers = h.machine.audio().deviceID("speakers");
  const AudioObjectID dac = h.machine.audio().deviceID("dac");
  h.model->perform(HotkeyAction::nextOutput);
  EXPECT_EQ(h.state().outputID, dac);
  h.model->perform(HotkeyAction::nextOutput);
  EXPECT_EQ(h.state().outputID, speakers);

  // The mute shortcut, pressed as the system delivers it, mutes the output device and unmutes it.
  const Shortcut m{46, up.modifiers, "M"};
  h.model->setShortcut(HotkeyAction::mute, m);
  const auto speakerMute = [&] {
    return velmora::audio::HAL::value<uint32_t>(speakers, kAudioDevicePropertyMute,
                                                kAudioObjectPropertyScopeOutput);
  };
  for (const bool muted : {true, false}) {
    EXPECT_EQ(h.machine.hotkeys().pressCombination(m.key, m.modifiers),
              velmora::platform::HotKeyEventResult::handled);
    h.advance(0.1);
    EXPECT_EQ(h.state().systemMuted, muted);
    EXPECT_EQ(speakerMute(), muted ? 1u : 0u);
  }

  h.machine.loginItem().setApprovalRequired(true);
  h.model->setLogin(true);
  EXPECT_TRUE(h.state().loginEnabled);
  EXPECT_TRUE(h.state().loginNeedsApproval);
  h.machine.loginItem().setFailure("不允许");
  h.model->setLogin(false);
  EXPECT_EQ(h.state().errorMessage, "修改开机启动失败：不允许");
  EXPECT_TRUE(h.state().loginEnabled);
}

}  // namespace
