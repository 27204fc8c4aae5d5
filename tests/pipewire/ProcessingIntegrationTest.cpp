// Per-application processing on a real server, driven through the engine and its tap sessions:
// what each sink's monitor carries (tones told apart with Goertzel), what is left on the server
// after a stop, a refusal or a killed program, and when the I/O proc may run.
#include <atomic>
#include <filesystem>

#include "audio/AudioApp.h"
#include "audio/AudioEngine.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/ManualScheduler.h"
#include "tests/pipewire/PipeWireTest.h"

namespace velmora::test {
namespace {

using audio::AudioApp;
using audio::AudioDevice;

class Processing : public PipeWireTest {
 protected:
  // The engine stops every session as it ends, before the children end.
  Processing() {
    engine_.setOnStatus([this](const audio::AudioEngine::Statuses& s) { statuses_ = s; });
  }

  // The application of a child, once it plays.
  static AudioApp appOf(pid_t pid) {
    AudioApp found;
    EXPECT_TRUE(pw::eventually([&] {
      const AudioObjectID process = processOf(pid);
      for (const AudioApp& app : AudioApp::all())
        if (app.audible && process != 0 && std::ranges::count(app.processes, process) > 0)
          found = app;
      return !found.processes.empty();
    }));
    return found;
  }

  // One reconciliation with the current settings, waited for.
  void update() {
    std::map<std::string, AudioDevice> devices;
    for (const AudioDevice& device : AudioDevice::all())
      if (device.outputs > 0) devices["audio:" + device.uid] = device;
    engine_.update(AudioApp::all(), "audio:" + defaultSink(), devices, true, levels_, advanced_,
                   {});
    engine_.queue().sync([] {});
    mainQueue_.runPending();
  }
  // Updates until the application's session runs; its status then.
  audio::AppAudioStatus activeStatus(const AudioApp& app) {
    pw::eventually([&] {
      update();
      return statuses_[app.id].active || statuses_[app.id].error;
    });
    return statuses_[app.id];
  }

  platform::ManualClock clock_;
  platform::ManualScheduler mainQueue_{clock_};
  audio::AudioEngine engine_{mainQueue_, clock_};
  std::map<std::string, settings::AppLevel> levels_;
  settings::AdvancedPreferences advanced_;
  audio::AudioEngine::Statuses statuses_;
};

TEST_F(Processing, ARouteTakesTheApplicationsLaterStreamsTooAndStopAllGivesThemBack) {
  const pid_t child = play({VELMORA_PIPEWIRE_HELPER, "tone", "440", "880", "1.0"});
  const AudioApp app = appOf(child);
  const std::string own = defaultSink();
  const std::string chosen = own == "test-sink-b" ? "test-sink-c" : "test-sink-b";
  levels_[app.id].volume = 0.5f;
  levels_[app.id].outputDeviceID = "audio:" + chosen;
  ASSERT_TRUE(activeStatus(app).active) << statuses_[app.id].error.value_or("");
  EXPECT_NEAR(dB(chosen), -6.02, 0.3);
  EXPECT_LT(dB(own), -80.0);
  // The stream opened later takes a moment to be linked; it never plays on its own sink.
  ASSERT_TRUE(pw::eventually([&] { return pw::backend().serverStreams(child).size() == 2; }));
  EXPECT_TRUE(pw::eventually([&] { return std::abs(dB(chosen, 880) + 6.02) < 0.3; }));
  EXPECT_LT(dB(own, 880), -80.0);

  engine_.stopAll(true);
  EXPECT_TRUE(pw::eventually(nothingOfOurs));
  // The session manager moves each stream back on its own time after the metadata is cleared.
  EXPECT_TRUE(pw::eventually([&] {
    return std::abs(dB(own)) < 0.3 && std::abs(dB(own, 880)) < 0.3;
  })) << "the application is back on its own sink";

  SCOPED_TRACE("an application that refuses to move");
  levels_.erase(app.id);
  const AudioApp refusing =
      appOf(play({"pw-play", "-P", "{ node.dont-reconnect = true }", pw::toneFile(660)}));
  levels_[refusing.id].volume = 0.5f;
  levels_[refusing.id].outputDeviceID = "audio:" + chosen;
  update();
  EXPECT_EQ(statuses_[refusing.id].error,
            "启动音频处理（请检查系统音频录制权限）失败（PipeWire 1852797029）");
  EXPECT_TRUE(pw::eventually(nothingOfOurs));
  EXPECT_NEAR(dB(own, 660), 0.0, 0.3) << "it keeps its sound";
}

TEST_F(Processing, FourRoutesPlayAtTheirLevelsWithEffectsOnlyWhereSetAndSurviveARemovedSink) {
  ASSERT_TRUE(createSink("test-sink-d"));
  ASSERT_TRUE(pw::eventually([] { return deviceID("test-sink-d") != 0; }));
  const AudioApp app = appOf(play({"pw-play", pw::toneFile(440)}));
  // At volume 0.5 (-6.02 dB): sink-c at level 0.5 is boosted back (+6.02 dB), the mono sink's
  // equaliser cuts the bands around the tone.
  const std::map<std::string, float> levels{{"test-sink-b", 1.0f},
                                            {"test-sink-c", 0.5f},
                                            {"test-sink-mono", 1.0f},
                                            {"test-sink-d", 0.25f}};
  advanced_.multiOutput.enabled = true;
  for (const auto& [sink, level] : levels) {
    advanced_.multiOutput.devices.push_back("audio:" + sink);
    advanced_.multiOutput.levels["audio:" + sink] = level;
  }
  advanced_.boostedOutputs = std::map<std::string, bool>{{"audio:test-sink-c", true}};
  advanced_.equalizers["audio:test-sink-mono"] = {true, {0, -12, -12, 0, 0}};
  levels_[app.id].volume = 0.5f;
  ASSERT_TRUE(activeStatus(app).active);
  EXPECT_NEAR(dB("test-sink-b"), -6.02, 0.3);
  EXPECT_NEAR(dB("test-sink-c"), -6.02, 0.3) << "boosted";
  EXPECT_LT(dB("test-sink-mono"), -9.0) << "the equaliser cut the tone";
  EXPECT_NEAR(dB("test-sink-d"), -18.06, 0.3);

  // A routed sink goes: no crash, and the next update rebuilds over the rest.
  destroyDevice(deviceID("test-sink-d"));
  ASSERT_TRUE(pw::eventually([&] {
    update();
    return statuses_[app.id].active && statuses_[app.id].message != "4 个输出设备";
  })) << statuses_[app.id].message;
  EXPECT_NEAR(dB("test-sink-b"), -6.02, 0.3);
}

TEST_F(Processing, StopReturnsAfterTheProcsLastCallAndLeavesNothingBehind) {
  const pid_t child = play({"pw-play", pw::toneFile(440)});
  const AudioApp app = appOf(child);
  AudioObjectID tap = 0, aggregate = 0;
  ASSERT_EQ(AudioHardwareCreateProcessTap({app.processes, "Velmora · counted", true,
                                           platform::TapMuteBehavior::mutedWhenTapped},
                                          &tap),
            0);
  platform::AggregateDeviceDescription description;
  description.uid = std::string(audio::kAggregateUIDPrefix) + "counted";
  description.subDevices = {{"test-sink-b", false}};
  description.taps = {{audio::HAL::string(tap, kAudioTapPropertyUID), true}};
  ASSERT_EQ(AudioHardwareCreateAggregateDevice(description, &aggregate), 0);
  static std::atomic<int> calls{0};
  auto counting = [](AudioObjectID, const AudioTimeStamp*, const AudioBufferList*,
                     const AudioTimeStamp*, AudioBufferList*, const AudioTimeStamp*,
                     void*) -> OSStatus {
    calls.fetch_add(1);
    return 0;
  };
  AudioDeviceIOProcID proc = nullptr;
  ASSERT_EQ(AudioDeviceCreateIOProcID(aggregate, counting, nullptr, &proc), 0);
  ASSERT_EQ(AudioDeviceStart(aggregate, proc), 0);
  ASSERT_TRUE(pw::eventually([] { return calls.load() > 10; }));
  ASSERT_EQ(AudioDeviceStop(aggregate, proc), 0);
  const int atStop = calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(calls.load(), atStop) << "the proc ran after stop returned";

  EXPECT_EQ(AudioDeviceDestroyIOProcID(aggregate, proc), 0);
  EXPECT_EQ(AudioHardwareDestroyAggregateDevice(aggregate), 0);
  EXPECT_EQ(AudioHardwareDestroyProcessTap(tap), 0);
  EXPECT_TRUE(pw::eventually(nothingOfOurs));
  EXPECT_NEAR(dB(defaultSink()), 0.0, 0.3);
}

TEST_F(Processing, AKilledProgramsApplicationComesBackAndTheNextStartRestoresItsTarget) {
  const pid_t child = play({"pw-play", pw::toneFile(440)});
  appOf(child);
  const std::string own = defaultSink();
  // The user's own earlier choice for this stream.
  const auto streams = pw::backend().serverStreams(child);
  ASSERT_EQ(streams.size(), 1u);
  pw::run(
      {"pw-metadata", "-n", "default", std::to_string(streams[0]), "target.object", "test-sink-c"});
  ASSERT_TRUE(pw::eventually([] { return dB("test-sink-c") > -0.3; }));

  const std::string ready = ::testing::TempDir() + "velmora-held-" + std::to_string(child);
  const pid_t holder =
      play({VELMORA_PIPEWIRE_HELPER, "hold", "test-sink-b", ready, "0", std::to_string(child)});
  ASSERT_TRUE(pw::eventually([&] { return std::filesystem::exists(ready); })) << holder;
  EXPECT_NEAR(dB("test-sink-b"), 0.0, 0.3);
  killChild(holder);
  EXPECT_TRUE(pw::eventually([&] { return dB(own) > -0.3; })) << "the server gave it back";

  platform::pipewire::PipeWireBackend next;
  ASSERT_TRUE(next.waitUntilConnected(5000));
  EXPECT_TRUE(pw::eventually([] { return dB("test-sink-c") > -0.3; })) << "its target is back";
  EXPECT_TRUE(pw::eventually(nothingOfOurs));
  std::filesystem::remove(ready);
}

}  // namespace
}  // namespace velmora::test
