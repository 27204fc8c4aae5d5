// The engine end to end on the simulated machine: what each application sounds like where,
// measured on the devices' meters by the frequency of its tone.
#include <gtest/gtest.h>

#include <thread>

#include "EngineHarness.h"

namespace {

using namespace velmora::test;  // and the simulated machine's names
using velmora::audio::AppAudioStatus;
using velmora::settings::AppLevel;
using velmora::settings::DeviceEQ;

constexpr const char* kMusicID = "com.example.music";
constexpr const char* kGameID = "com.example.game";

TEST(AudioEngine, VolumeMuteAndSoloShapeWhatIsHeard) {
  EngineHarness h;
  h.update();
  EXPECT_EQ(h.status(kMusicID), (AppAudioStatus{false, "原始音量", std::nullopt, false}));
  EXPECT_TRUE(h.audio().aggregates().empty()) << "nothing to do, nothing captured";

  h.levels[kMusicID] = level(0.5f);
  h.update();
  EXPECT_EQ(h.status(kMusicID),
            (AppAudioStatus{false, "正在建立处理 · 设置尚未生效", std::nullopt, true}));
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID), (AppAudioStatus{true, "独立音量", std::nullopt, false}));
  EXPECT_NEAR(h.tone("speakers", kMusic), 0.25, 0.01) << "about 6 dB lower";
  EXPECT_NEAR(h.tone("speakers", kGame), 0.25, 0.01) << "the others unchanged";

  h.levels[kMusicID].muted = true;
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "已静音");

  h.levels[kMusicID] = AppLevel{};
  h.solo = kGameID;
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "独听期间静音");
  EXPECT_EQ(h.status(kGameID).message, "独立音量") << "the soloed one shows its normal label";
  EXPECT_NEAR(h.tone("speakers", kMusic), 0.0, 0.002);
  EXPECT_NEAR(h.tone("speakers", kGame), 0.25, 0.01);
  EXPECT_EQ(h.statuses.at("com.example.chat").message, "原始音量") << "silent and never set";

  // No output device at all: every application, the silent one too, is told why.
  h.engine.update(velmora::audio::AudioApp::all(), std::nullopt, {}, true, h.levels, h.advanced,
                  h.solo);
  h.settle();
  const AppAudioStatus nowhere{false, "未接管 · 设置未生效", "没有可用的输出设备。", false};
  EXPECT_EQ(h.status(kMusicID), nowhere);
  EXPECT_EQ(h.status("com.example.chat"), nowhere);
}

TEST(AudioEngine, ChosenAndMultipleOutputsMoveTheToneAndAnOfflineChoiceIsFollowedOrSilent) {
  EngineHarness h;
  h.levels[kMusicID] = level(1.0f, false, "audio:dac");
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "→ USB DAC");
  EXPECT_NEAR(h.tone("dac", kMusic), 0.5, 0.01);

  h.levels.clear();
  h.advanced.multiOutput = {
      true, {"audio:dac", "audio:mono", "audio:gone"}, {{"audio:dac", 1.0f}, {"audio:mono", 0.5f}}};
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID), (AppAudioStatus{true, "部分多输出设备离线", std::nullopt, false}));
  EXPECT_NEAR(h.tone("dac", kMusic), 0.5, 0.01);
  EXPECT_NEAR(h.tone("mono", kGame), 0.125, 0.01);
  h.advanced.multiOutput.devices.pop_back();
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "2 个输出设备");

  h.advanced.multiOutput.enabled = false;
  h.levels[kMusicID] = level(1.0f, false, "audio:dac");
  ASSERT_TRUE(h.audio().removeDevice("dac"));
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "指定输出离线 · 暂时静音");
  h.levels[kMusicID].followSystemWhenOffline = true;
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID),
            (AppAudioStatus{true, "指定输出离线 · 跟随系统", std::nullopt, false}));
  EXPECT_NEAR(h.tone("speakers", kMusic), 0.5, 0.01);
}

using Inject = std::function<void(SimulatedAudioSystem&)>;

// Once only: a second attempt would succeed.
Inject call(SimulatedCall call, OSStatus status = -50) {
  return [=](SimulatedAudioSystem& audio) { audio.failCall(call, status, 1); };
}

Inject property(AudioObjectPropertySelector selector, AudioObjectPropertyScope scope = 0,
                int skip = 0) {
  return [=](SimulatedAudioSystem& audio) { audio.failProperty(selector, -1, -1, scope, skip); };
}

std::string failedStep(const std::string& step, const char* status = "-50") {
  return step + "失败（Core Audio " + status + "）";
}

struct ConstructionFault {
  const char* name;
  Inject inject;
  std::string message;
  const char* output = "audio:dac";
};

TEST(AudioEngine, EveryFailingStepLeavesNothingBehindAndIsNotRetriedUntilAsked) {
  auto format16 = SimulatedAudioSystem::floatFormat(2);
  format16.formatFlags = 0;
  format16.bitsPerChannel = 16;
  const std::vector<ConstructionFault> faults = {
      {"routes", {}, "请选择 1–4 个不同的单声道或双声道输出设备。", "audio:surround"},
      {"tap", call(SimulatedCall::createProcessTap), failedStep("创建应用音频通道")},
      {"tap format", [&](SimulatedAudioSystem& audio) { audio.setTapFormat(format16); },
       "此应用的音频格式暂不支持，已保留原始输出。"},
      {"tap uid", property(kAudioTapPropertyUID), "无法读取音频通道标识。"},
      {"aggregate", call(SimulatedCall::createAggregateDevice, 1852797029),
       failedStep("连接输出设备", "1852797029")},
      {"outputs appear after the last look",
       [](SimulatedAudioSystem& audio) { audio.delayAggregateOutputs(25); },
       "输出设备尚未准备就绪，请重试。"},
      {"output format", property(kAudioStreamPropertyVirtualFormat),
       "当前输出格式不是受支持的 32 位浮点音频。"},
      {"input streams", property(kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput),
       "聚合音频输入未就绪。"},
      {"input format", property(kAudioStreamPropertyVirtualFormat, 0, 1), "输入音频格式不受支持。"},
      {"channel layout", [](SimulatedAudioSystem& audio) { audio.setAggregateChannelSurplus(1); },
       "输出声道排列与设备配置不一致，已保留原始声音。"},
      {"callback", call(SimulatedCall::createIOProcID), failedStep("创建音频处理回调")},
      {"hardware inputs", call(SimulatedCall::setPropertyData), failedStep("关闭不需要的硬件输入"),
       "audio:phones"},
      {"start", call(SimulatedCall::startDevice),
       failedStep("启动音频处理（请检查系统音频录制权限）")},
  };
  for (const ConstructionFault& fault : faults) {
    SCOPED_TRACE(fault.name);
    EngineHarness h;
    if (fault.inject) fault.inject(h.audio());
    h.levels[kMusicID] = level(1.0f, false, fault.output);
    h.update();
    EXPECT_EQ(h.status(kMusicID),
              (AppAudioStatus{false, "未接管 · 原始声音", fault.message, false}));
    EXPECT_EQ(h.audio().liveProcessingObjects(), 0u) << "nothing left behind: heard unprocessed";
    if (std::string(fault.name) == "outputs appear after the last look") {
      EXPECT_EQ(h.pauses, 25);
    }

    h.update();
    EXPECT_EQ(h.status(kMusicID).error, fault.message);
    EXPECT_EQ(h.audio().liveProcessingObjects(), 0u) << "the same signature is not tried again";
  }
  // Retry builds again; outputs that appear on the last look are used.
  EngineHarness h;
  h.audio().failCall(SimulatedCall::startDevice, -50, 1);
  h.levels[kMusicID] = level(1.0f, false, "audio:dac");
  h.update();
  ASSERT_TRUE(h.status(kMusicID).error.has_value());
  h.audio().delayAggregateOutputs(24);
  h.pauses = 0;
  h.engine.retry();
  h.update();
  EXPECT_EQ(h.pauses, 24) << "a pause after each look that found no outputs, none after";
  EXPECT_EQ(h.status(kMusicID).message, "正在建立处理 · 设置尚未生效");
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID), (AppAudioStatus{true, "→ USB DAC", std::nullopt, false}));
  EXPECT_NEAR(h.tone("dac", kMusic), 0.5, 0.01);
}

// The simulated system's own thread calls the I/O procs while the engine's queue rebuilds and
// retunes the sessions: ThreadSanitizer checks what crosses between them.
TEST(AudioEngine, SessionsRebuiltAndRetunedWhileAudioRenders) {
  EngineHarness h;
  h.audio().startRealTime();
  const auto waitForPeriods = [&](uint64_t count) {
    const uint64_t until = h.audio().periodsRendered() + count;
    while (h.audio().periodsRendered() < until) std::this_thread::yield();
  };
  DeviceEQ eq;
  eq.enabled = true;
  for (int round = 0; round < 12; ++round) {
    h.levels[kMusicID] = level(0.25f + 0.05f * float(round), round % 4 == 3,
                               round % 2 == 0 ? "audio:speakers" : "audio:dac");
    h.levels[kGameID] = level(1.0f - 0.05f * float(round));
    eq.bands = {float(round % 5), 0, -float(round % 3), 0, 1};
    h.advanced.equalizers["audio:speakers"] = eq;
    h.update();
    waitForPeriods(2);
  }
  h.levels[kMusicID] = level(0.5f, false, "audio:dac");
  h.update();
  waitForPeriods(4);
  h.update();
  h.audio().stopRealTime();
  EXPECT_EQ(h.status(kMusicID), (AppAudioStatus{true, "→ USB DAC", std::nullopt, false}));
  EXPECT_GT(h.tone("dac", kMusic), 0.1) << "the last route plays";
}

TEST(AudioEngine, WatchdogAndLayoutFaultsFallBackToTheApplicationsOwnSound) {
  EngineHarness h;
  h.audio().setIOProcsSilent(true);
  h.levels[kMusicID] = level(0.5f);
  h.levels["com.example.chat"] = level(0.5f);  // silent: never trips the watchdog
  h.update();
  h.clock.advance(4.9);
  h.playAndUpdate();
  EXPECT_TRUE(h.status(kMusicID).pending);
  h.clock.advance(0.2);
  h.update();
  EXPECT_EQ(h.status(kMusicID).error,
            "未收到音频回调，已恢复原始声音。请检查系统音频录制权限后重试。");
  EXPECT_TRUE(h.status("com.example.chat").pending);

  EngineHarness layout;
  layout.audio().setStrayOutputChannels(2);
  layout.levels[kMusicID] = level(0.5f);
  layout.playAndUpdate(1);
  EXPECT_EQ(layout.status(kMusicID).error, "音频缓冲布局不匹配，已恢复原始声音。");
  EXPECT_NEAR(layout.tone("speakers", kMusic), 0.5, 0.01);
}

// How the effects sound is measured in the core; here, that each change of the device's
// settings reaches the sessions that play on it, in place, that only a changed device rebuilds,
// and that stopping all or switching off leaves nothing behind.
TEST(AudioEngine, EffectsAreRetunedInPlaceRebuiltForANewDeviceAndRemovedByStopAllOrOff) {
  EngineHarness h;
  h.advanced.boostedOutputs = std::map<std::string, bool>{{"audio:speakers", true}};
  h.playAndUpdate();
  EXPECT_EQ(h.status(kMusicID).message, "音量增强 +6 dB") << "a boost alone needs processing";
  EXPECT_NEAR(h.tone("speakers", kGame), 0.5, 0.01) << "twice as loud";
  const auto sessions = h.audio().aggregates();

  DeviceEQ eq;
  eq.enabled = true;
  eq.bands = {0, 0, 12, 0, 0};
  h.advanced.equalizers["audio:speakers"] = eq;
  h.update();
  EXPECT_EQ(h.status(kMusicID).message, "音量增强 · EQ");
  h.advanced.boostedOutputs->clear();
  h.levels[kMusicID] = level(0.8f);
  h.update();
  EXPECT_EQ(h.status(kMusicID).message, "独立音量 · EQ");
  h.audio().render(30);  // the bands reach their gains
  EXPECT_LT(h.tone("speakers", kMusic), 0.25) << "the EQ reached the session";
  EXPECT_EQ(h.audio().aggregates(), sessions) << "retuned in place";

  h.audio().reconnectDevice("speakers");
  h.update();
  EXPECT_NE(h.audio().aggregates(), sessions) << "a new device id builds new sessions";
  EXPECT_EQ(h.audio().aggregates().size(), 2u) << "the old sessions are gone";
  h.playAndUpdate();
  EXPECT_TRUE(h.status(kMusicID).active);

  h.engine.stopAll(true);
  EXPECT_EQ(h.audio().liveProcessingObjects(), 0u) << "every application's own sound";
  h.mainQueue.runPending();
  EXPECT_TRUE(h.statuses.empty());
  h.update();
  h.enabled = false;
  h.update();
  EXPECT_TRUE(h.statuses.empty());
  EXPECT_EQ(h.audio().liveProcessingObjects(), 0u) << "switched off";
}

}  // namespace
