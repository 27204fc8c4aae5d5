// The model's user operations and their edge cases: volume and mute, per-application controls,
// multi-output, hotkeys (and the manager that registers them) and launch at login.
#include <gtest/gtest.h>

#include <map>

#include "ModelHarness.h"
#include "model/HotkeyManager.h"
#include "platform/sim/SimulatedHotkeys.h"

namespace velmora::test {
namespace {

using model::AppRoutePresentation;
using settings::HotkeyAction;
using settings::Shortcut;
constexpr uint32_t kCtrlOpt = settings::kControlKey | settings::kOptionKey;

// The microphone gets a hardware mute; "hdmi" has no volume control; "headset" is an input whose
// mute reads but cannot be set.
Scenario volumeMachine() {
  Scenario s = modelMachine();
  s.devices[2].input.mute = MuteControl{};
  s.devices.push_back(simDevice("hdmi", "HDMI", {2}));
  s.devices.push_back(simDevice("headset", "Headset", {}, {1}));
  s.devices.back().input.volume = {{0, 0.7f, true}};
  s.devices.back().input.mute = MuteControl{false, false};
  return s;
}

std::optional<uint32_t> hardwareMute(ModelHarness& h, const std::string& uid, bool input) {
  return audio::HAL::value<uint32_t>(
      h.id(uid), kAudioDevicePropertyMute,
      input ? kAudioObjectPropertyScopeInput : kAudioObjectPropertyScopeOutput);
}

TEST(ModelVolume, MuteByHotkeyInHardwareOrEmulatedFailedWritesAndDevicesWithoutControls) {
  ModelHarness h(volumeMachine());
  std::string hud;
  h.model->onVolumeHUD = [&](const std::string& name, float, bool, AudioDirection) { hud = name; };
  // The mute shortcut, pressed as the system delivers it, switches the speakers' own mute.
  const Shortcut m{46, kCtrlOpt, "M"};
  h.model->setShortcut(HotkeyAction::mute, m);
  for (const bool muted : {true, false, true}) {
    EXPECT_EQ(h.machine.hotkeys().pressCombination(m.key, m.modifiers),
              platform::HotKeyEventResult::handled);
    h.advance(0.1);
    EXPECT_EQ(h.state().systemMuted, muted);
    EXPECT_EQ(hardwareMute(h, "speakers", false), muted ? 1u : 0u);
  }
  // A volume change sets the volume and switches the mute off.
  h.model->setSystemVolume(0.4f);
  EXPECT_FALSE(h.state().systemMuted);
  h.advance(1.5);
  EXPECT_FALSE(h.state().systemMuted) << "the device's mute was switched off";
  EXPECT_FLOAT_EQ(h.state().preferences.deviceVolumes.at("speakers"), 0.4f);
  EXPECT_EQ(hud, "Speakers");

  // The DAC has no hardware mute: muting sets 0 and remembers 0.6, unmuting brings 0.6 back.
  h.select("dac");
  h.model->setSystemVolume(0.6f);
  h.model->toggleSystemMute();
  EXPECT_TRUE(h.state().systemMuted);
  EXPECT_EQ(h.state().systemVolume, 0.0f);
  h.advance(1.5);
  EXPECT_FLOAT_EQ(h.state().preferences.deviceVolumes.at("dac"), 0.6f) << "not the mute's 0";
  h.model->toggleSystemMute();
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.6f);
  EXPECT_FALSE(h.state().systemMuted);

  // A value that is no number is written as full volume and never stored as such.
  h.model->setSystemVolume(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(h.state().preferences.deviceVolumes.at("dac"), 1.0f);

  h.select("hdmi");
  EXPECT_FALSE(h.state().volumeSupported || h.state().muteSupported);
  h.model->toggleSystemMute();
  EXPECT_EQ(h.state().errorMessage, "此设备不支持系统静音。");
  h.model->setSystemVolume(0.5f);
  EXPECT_EQ(h.state().errorMessage, "此设备不支持系统音量调节，请使用设备自身的控制。");

  // The input: a hardware mute is switched on the device and leaves the volume; a write that
  // fails says so and changes nothing. A mute that cannot be set is emulated, and known as ours
  // when read back as 0.
  h.model->toggleInputMute();
  EXPECT_TRUE(h.state().inputMuted);
  EXPECT_EQ(hardwareMute(h, "mic", true), 1u);
  EXPECT_FLOAT_EQ(*h.state().inputVolume, 0.7f) << "a hardware mute, not a volume of 0";

  h.failWrites(2);
  h.model->toggleInputMute();
  EXPECT_EQ(h.state().errorMessage, "设置音频属性失败（Core Audio -50）");
  h.model->setInputVolume(0.2f);
  h.advance(1.5);
  EXPECT_TRUE(h.state().inputMuted) << "the failed unmute left the device muted";
  EXPECT_EQ(hardwareMute(h, "mic", true), 1u);
  EXPECT_FLOAT_EQ(*h.state().inputVolume, 0.7f) << "the failed volume write left it as it was";
  h.model->toggleInputMute();
  EXPECT_FALSE(h.state().inputMuted);
  EXPECT_EQ(hardwareMute(h, "mic", true), 0u);

  h.select("headset", AudioDirection::input);
  for (const bool muted : {true, false}) {
    h.model->toggleInputMute();
    h.advance(1.5);
    EXPECT_EQ(h.state().inputMuted, muted);
    EXPECT_FLOAT_EQ(*h.state().inputVolume, muted ? 0.0f : 0.7f);
  }
}

TEST(ModelOperations, AppLevelsSoloRoutesMultiOutputHotkeyActionsAndLogin) {
  auto scenario = modelMachine();
  scenario.processes.push_back({300, "com.example.chat", "/opt/chat", {{330.0, 0.5f}}, false, {}});
  ModelHarness h(scenario);
  const auto listed = [&](const std::string& id) {
    const auto apps = h.model->visibleApps();
    return std::any_of(apps.begin(), apps.end(), [&](const auto& app) { return app.id == id; });
  };
  EXPECT_FALSE(listed("com.example.chat")) << "silent";
  h.model->toggleAppMute("com.example.chat");
  EXPECT_TRUE(listed("com.example.chat")) << "silent, but with settings";
  EXPECT_TRUE(h.state().preferences.apps.at("com.example.chat").muted);
  EXPECT_TRUE(h.state().preferences.processingEnabled) << "a mute switches processing on";

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

  // Outputs in list order: speakers, DAC (the microphone has none); the next after the last wraps.
  h.model->perform(HotkeyAction::nextOutput);
  EXPECT_EQ(h.state().outputID, h.id("dac"));
  h.model->perform(HotkeyAction::nextOutput);
  EXPECT_EQ(h.state().outputID, h.id("speakers"));

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
  EXPECT_FALSE(h.saved().apps.at(kMusic).outputDeviceID) << "removed from the file";

  const auto& multi = [&]() -> const auto& { return h.state().preferences.advanced->multiOutput; };
  h.model->setMultiDevice("A", true);
  h.model->setMultiEnabled(true);
  EXPECT_EQ(h.state().errorMessage, "请先勾选至少两个输出设备。");
  EXPECT_FALSE(multi().enabled);
  h.model->setMultiDevice("B", true);
  h.model->setMultiLevel("A", 0.4f);
  h.model->setMultiEnabled(true);
  EXPECT_TRUE(multi().enabled);
  h.model->setMultiDevice("A", false);
  h.model->setMultiDevice("A", true);
  EXPECT_EQ(multi().devices, (IDs{"B", "A"}));
  EXPECT_FALSE(multi().enabled) << "off while fewer than two";
  EXPECT_EQ(multi().levels.at("A"), 0.4f) << "the level survives";
  h.model->setMultiDevice("C", true);
  h.model->setMultiDevice("D", true);
  EXPECT_FALSE(h.model->canIncludeMultiDevice());
  EXPECT_EQ(h.state().errorMessage, "最多同时选择四个输出设备。");
  h.model->setMultiEnabled(true);
  EXPECT_EQ(h.model->appRoutePresentation(kMusic).routeTitle, "多输出 · 4");

  h.model->setSystemVolume(0.98f);
  h.model->perform(HotkeyAction::louder);
  EXPECT_EQ(h.state().systemVolume, 1.0f);
  h.model->setSystemVolume(0.03f);
  h.model->perform(HotkeyAction::quieter);
  EXPECT_EQ(h.state().systemVolume, 0.0f);

  const Shortcut up{126, kCtrlOpt, "↑"};
  h.model->setShortcut(HotkeyAction::quieter, up);
  h.model->setShortcut(HotkeyAction::louder, up);
  EXPECT_EQ(h.state().errorMessage, "此快捷键已用于“降低系统音量”。");
  EXPECT_FALSE(h.state().preferences.shortcuts.count("louder"));
  h.machine.hotkeys().refuse(125, kCtrlOpt);
  h.model->setShortcut(HotkeyAction::louder, Shortcut{125, kCtrlOpt, "↓"});
  EXPECT_EQ(h.state().shortcutErrors, IDs{"提高系统音量：Alt+Super+↓ 已被占用或无法注册。"});
  h.model->setShortcut(HotkeyAction::louder, std::nullopt);
  EXPECT_TRUE(h.state().shortcutErrors.empty());

  h.machine.loginItem().setApprovalRequired(true);
  h.model->setLogin(true);
  EXPECT_TRUE(h.state().loginEnabled && h.state().loginNeedsApproval);
  h.machine.loginItem().setFailure("不允许");
  h.model->setLogin(false);
  EXPECT_EQ(h.state().errorMessage, "修改开机启动失败：不允许");
  EXPECT_TRUE(h.state().loginEnabled);
}

using model::HotkeyManager;
using platform::HotKeyEventResult;
using platform::HotKeyID;
using platform::sim::SimulatedHotkeys;

// Refusals and re-applying are walked through the model's shortcuts; here, what the manager does
// not handle the system passes on, and its end releases everything.
TEST(HotkeyManager, OnlyItsOwnIdsAreHandledAndItsEndReleasesEverything) {
  constexpr uint32_t kOurs = HotkeyManager::kSignature;
  SimulatedHotkeys hotkeys;
  {
    HotkeyManager manager(hotkeys);
    std::vector<HotkeyAction> performed;
    manager.onAction = [&](HotkeyAction action) { performed.push_back(action); };
    EXPECT_TRUE(manager.apply({{"nextOutput", {45, kCtrlOpt, "n"}}, {"x", {1, 0, "S"}}}).empty());
    EXPECT_EQ(hotkeys.registrations().size(), 1u);
    // Not ours: an id past the last, 'Vlmr' with one letter's case changed, no readable id.
    for (const auto& pressed :
         {std::optional(HotKeyID{kOurs, 6}), std::optional(HotKeyID{kOurs ^ 0x20, 1}),
          std::optional<HotKeyID>()})
      EXPECT_EQ(hotkeys.press(pressed), HotKeyEventResult::notHandled);
    EXPECT_EQ(hotkeys.press(HotKeyID{kOurs, 1}), HotKeyEventResult::handled);
    EXPECT_EQ(performed, std::vector{HotkeyAction::panel});
    manager.onAction = nullptr;  // still ours, so still handled
    EXPECT_EQ(hotkeys.press(HotKeyID{kOurs, 5}), HotKeyEventResult::handled);
  }
  EXPECT_TRUE(hotkeys.registrations().empty());
  EXPECT_EQ(hotkeys.handlerCount(), 0u);
}

}  // namespace
}  // namespace velmora::test
