// The PipeWire backend against a real server: the devices it lists, ids across a re-created
// sink, applications from child processes (native and PulseAudio protocol), the default output,
// and volume and mute as heard on a sink's monitor.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/HAL.h"
#include "tests/pipewire/PipeWireSession.h"
#include "tests/support/Goertzel.h"

namespace velmora::test {
namespace {

using audio::AudioDevice;

class PipeWireIntegration : public ::testing::Test {
 protected:
  void SetUp() override { VELMORA_REQUIRE_PIPEWIRE(); }
  void TearDown() override {
    for (pid_t child : children_) pw::finish(child, SIGKILL);
  }

  pid_t play(const std::vector<std::string>& args) {
    children_.push_back(pw::spawn(args));
    return children_.back();
  }
  void stop(pid_t child) {
    pw::finish(child, SIGKILL);
    std::erase(children_, child);
  }

  static AudioObjectID device(const std::string& uid) {
    for (const AudioDevice& d : AudioDevice::all())
      if (d.uid == uid) return d.id;
    return 0;
  }
  // The process object of `pid`, 0 while there is none.
  static AudioObjectID process(pid_t pid) {
    for (AudioObjectID id :
         audio::HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList)) {
      if (audio::HAL::value<int32_t>(id, kAudioProcessPropertyPID) == pid) return id;
    }
    return 0;
  }
  static bool running(AudioObjectID process) {
    return audio::HAL::value<uint32_t>(process, kAudioProcessPropertyIsRunningOutput) == 1u;
  }
  static OSStatus write(AudioObjectID object, AudioObjectPropertySelector selector,
                        AudioObjectPropertyScope scope, const auto& value) {
    const AudioObjectPropertyAddress address{selector, scope, 0};
    return AudioObjectSetPropertyData(object, &address, 0, nullptr, sizeof value, &value);
  }

  std::vector<pid_t> children_;
};

TEST_F(PipeWireIntegration, ListsExactlyTheSessionsDevicesWithNamesAndChannels) {
  struct Expected {
    const char* uid;
    const char* name;
    int inputs;
    int outputs;
  };
  const Expected expected[] = {{"test-sink-a", "Test Sink A", 0, 2},
                               {"test-sink-b", "Test Sink B", 0, 2},
                               {"test-sink-c", "Test Sink C", 0, 2},
                               {"test-sink-mono", "Test Mono", 0, 1},
                               {"test-source", "Test Source", 2, 0}};
  const auto devices = AudioDevice::all();
  ASSERT_EQ(devices.size(), std::size(expected));
  for (const Expected& e : expected) {
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [&](const AudioDevice& d) { return d.uid == e.uid; });
    ASSERT_NE(found, devices.end()) << e.uid;
    EXPECT_EQ(found->name, e.name);
    EXPECT_EQ(found->inputs, e.inputs) << e.uid;
    EXPECT_EQ(found->outputs, e.outputs) << e.uid;
    EXPECT_EQ(found->transport, uint32_t(kAudioDeviceTransportTypeVirtual)) << e.uid;
  }
}

TEST_F(PipeWireIntegration, ARecreatedSinkGetsANewIdThoughTheServerReusedItsOwn) {
  auto create = [] {
    pw::run({"pw-cli", "create-node", "adapter",
             "{ factory.name = support.null-audio-sink node.name = recreated-sink media.class = "
             "Audio/Sink audio.position = [ FL FR ] object.linger = true }"});
    EXPECT_TRUE(pw::eventually([] { return device("recreated-sink") != 0; }));
    return device("recreated-sink");
  };
  const AudioObjectID first = create();
  const uint32_t firstGlobal = pw::backend().serverID(first);
  ASSERT_EQ(pw::run({"pw-cli", "destroy", std::to_string(firstGlobal)}), 0);
  ASSERT_TRUE(pw::eventually([] { return device("recreated-sink") == 0; }));
  const AudioObjectID second = create();
  const uint32_t secondGlobal = pw::backend().serverID(second);
  EXPECT_EQ(secondGlobal, firstGlobal) << "the server did not reuse its id this time";
  EXPECT_NE(second, first);
  pw::run({"pw-cli", "destroy", std::to_string(secondGlobal)});
  EXPECT_TRUE(pw::eventually([] { return device("recreated-sink") == 0; }));
}

TEST_F(PipeWireIntegration, APlayingChildIsAnApplicationUntilItIsKilled) {
  const pid_t child = play({"pw-play", "--target", "test-sink-a", pw::toneFile(440)});
  ASSERT_TRUE(pw::eventually([&] { return process(child) != 0 && running(process(child)); }));
  const AudioObjectID first = process(child);
  const auto apps = audio::AudioApp::all();
  EXPECT_TRUE(std::any_of(apps.begin(), apps.end(), [&](const audio::AudioApp& app) {
    return std::find(app.processes.begin(), app.processes.end(), first) != app.processes.end() &&
           app.audible;
  }));
  EXPECT_EQ(platform::installedAudioBackend()->processPath(child), "/usr/bin/pw-cat");
  EXPECT_FALSE(platform::installedAudioBackend()->clientApplications().at(child).name.empty());

  stop(child);
  ASSERT_TRUE(pw::eventually([&] { return process(child) == 0; }));
  const pid_t next = play({"pw-play", "--target", "test-sink-a", pw::toneFile(440)});
  ASSERT_TRUE(pw::eventually([&] { return process(next) != 0; }));
  EXPECT_NE(process(next), first);
}

TEST_F(PipeWireIntegration, APulseProtocolClientReportsItsOwnPid) {
  const pid_t child = play({"paplay", pw::toneFile(440)});
  EXPECT_TRUE(pw::eventually([&] { return process(child) != 0; }))
      << "no process object with paplay's pid " << child;
}

TEST_F(PipeWireIntegration, TheDefaultOutputIsReadBackAtOnceAndNewStreamsPlayThere) {
  const AudioObjectID before =
      audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                       kAudioHardwarePropertyDefaultOutputDevice)
          .value_or(0);
  const AudioObjectID sinkB = device("test-sink-b");
  ASSERT_EQ(write(kAudioObjectSystemObject, kAudioHardwarePropertyDefaultOutputDevice,
                  kAudioObjectPropertyScopeGlobal, sinkB),
            0);
  EXPECT_EQ(audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                             kAudioHardwarePropertyDefaultOutputDevice),
            sinkB);
  const pid_t child = play({"pw-play", pw::toneFile(880)});
  ASSERT_TRUE(pw::eventually([&] { return process(child) != 0 && running(process(child)); }));
  EXPECT_NEAR(toneAmplitude(pw::recordMonitor("test-sink-b", 2), 880), 0.5, 0.02);
  EXPECT_LT(toneAmplitude(pw::recordMonitor("test-sink-a", 2), 880), 0.001);
  stop(child);
  write(kAudioObjectSystemObject, kAudioHardwarePropertyDefaultOutputDevice,
        kAudioObjectPropertyScopeGlobal, before);
}

TEST_F(PipeWireIntegration, HalfVolumeIsTheCubicLevelAndMuteSilences) {
  const AudioObjectID sinkC = device("test-sink-c");
  const pid_t child = play({"pw-play", "--target", "test-sink-c", pw::toneFile(440)});
  ASSERT_TRUE(pw::eventually([&] { return process(child) != 0 && running(process(child)); }));

  ASSERT_EQ(write(sinkC, kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 0.5f),
            0);
  EXPECT_NEAR(audio::HAL::volume(sinkC, settings::AudioDirection::output).value_or(0), 0.5f, 1e-5f);
  const double level = toneAmplitude(pw::recordMonitor("test-sink-c", 2), 440);
  EXPECT_NEAR(20 * std::log10(level / 0.0625), 0.0, 0.3) << "0.5 on the cubic scale of a 0.5 tone";

  ASSERT_EQ(write(sinkC, kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 1u), 0);
  EXPECT_LT(toneAmplitude(pw::recordMonitor("test-sink-c", 2), 440), 1e-4);

  write(sinkC, kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0u);
  write(sinkC, kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 1.0f);
}

#ifdef VELMORA_PROGRAM
TEST_F(PipeWireIntegration, TheDiagnosticReportShowsTheSessionWithoutTheSimulatedNotice) {
  if (access(VELMORA_PROGRAM, X_OK) != 0) GTEST_SKIP() << VELMORA_PROGRAM << " is not built";
  const pid_t child = play({"pw-play", "--target", "test-sink-a", pw::toneFile(440)});
  ASSERT_TRUE(pw::eventually([&] { return process(child) != 0; }));
  const std::string errors = ::testing::TempDir() + "velmora-diagnose-errors.txt";
  FILE* program = popen((std::string(VELMORA_PROGRAM) + " --diagnose 2>" + errors).c_str(), "r");
  ASSERT_NE(program, nullptr);
  std::string report;
  char buffer[512];
  while (size_t read = fread(buffer, 1, sizeof buffer, program)) report.append(buffer, read);
  EXPECT_EQ(pclose(program), 0);
  EXPECT_NE(report.find("name=Test Sink A input=0 output=2"), std::string::npos) << report;
  EXPECT_NE(report.find("name=Test Mono input=0 output=1"), std::string::npos) << report;
  // No desktop entry names pw-cat, so the name is the one the stream gives the server.
  EXPECT_NE(report.find("app=pw-play id=process:/usr/bin/pw-cat"), std::string::npos) << report;
  std::ifstream in(errors);
  const std::string stderrText((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
  EXPECT_EQ(stderrText.find("simulated"), std::string::npos) << stderrText;
}
#endif

TEST_F(PipeWireIntegration, FailureTextsNamePipeWireWithTheSameDigits) {
  const float nan = std::nanf("");
  const OSStatus status = write(device("test-sink-a"), kAudioDevicePropertyVolumeScalar,
                                kAudioObjectPropertyScopeOutput, nan);
  EXPECT_EQ(audio::HAL::writeFailure(status), "设置音频属性失败（PipeWire -50）");
}

TEST_F(PipeWireIntegration, LosingTheServerFailsCallsAndAReconnectGivesNewIds) {
  const auto before = AudioDevice::all();
  ASSERT_FALSE(before.empty());
  pw::stopServer();
  ASSERT_TRUE(pw::eventually([] { return !pw::backend().connected(); }));
  uint32_t size = 0;
  const AudioObjectPropertyAddress devices{kAudioHardwarePropertyDevices,
                                           kAudioObjectPropertyScopeGlobal, 0};
  EXPECT_EQ(AudioObjectGetPropertyDataSize(kAudioObjectSystemObject, &devices, 0, nullptr, &size),
            kAudioHardwareNotRunningError);
  EXPECT_TRUE(AudioDevice::all().empty());
  const float half = 0.5f;
  EXPECT_EQ(
      write(before[0].id, kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, half),
      kAudioHardwareNotRunningError);

  ASSERT_EQ(pw::startServer(), "");
  const auto after = AudioDevice::all();
  ASSERT_EQ(after.size(), before.size());
  for (const AudioDevice& device : after) {
    EXPECT_TRUE(std::none_of(before.begin(), before.end(),
                             [&](const AudioDevice& old) { return old.id == device.id; }))
        << device.uid << " kept its id across the reconnect";
  }
}

}  // namespace
}  // namespace velmora::test
