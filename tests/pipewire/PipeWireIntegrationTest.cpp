// The PipeWire backend against a real server: the devices it lists, applications from child
// processes (native and PulseAudio protocol), volume and mute as heard on a sink's monitor, the
// default output, the program's own report, and a lost server.
#include <unistd.h>

#include <set>

#include "audio/AudioApp.h"
#include "tests/pipewire/PipeWireTest.h"

namespace velmora::test {
namespace {

using audio::AudioDevice;
using PipeWireIntegration = PipeWireTest;

OSStatus write(AudioObjectID object, AudioObjectPropertySelector selector, const auto& value,
               AudioObjectPropertyScope scope = kAudioObjectPropertyScopeOutput) {
  const AudioObjectPropertyAddress address{selector, scope, 0};
  return AudioObjectSetPropertyData(object, &address, 0, nullptr, sizeof value, &value);
}

bool running(pid_t pid) {
  const AudioObjectID process = processOf(pid);
  return process != 0 &&
         audio::HAL::value<uint32_t>(process, kAudioProcessPropertyIsRunningOutput) == 1u;
}

TEST_F(PipeWireIntegration, DevicesApplicationsLevelsAndTheDefaultOutputUntilTheServerIsLost) {
  const auto devices = AudioDevice::all();
  std::multiset<std::string> listed;  // "uid name inputs/outputs"
  for (const AudioDevice& d : devices) {
    listed.insert(d.uid + " " + d.name + " " + std::to_string(d.inputs) + "/" +
                  std::to_string(d.outputs));
    EXPECT_EQ(d.transport, uint32_t(kAudioDeviceTransportTypeVirtual)) << d.uid;
  }
  EXPECT_EQ(listed, (std::multiset<std::string>{
                        "test-sink-a Test Sink A 0/2", "test-sink-b Test Sink B 0/2",
                        "test-sink-c Test Sink C 0/2", "test-sink-mono Test Mono 0/1",
                        "test-source Test Source 2/0"}));

  SCOPED_TRACE("the default output moved to sink B");
  const AudioObjectID sinkB = deviceID("test-sink-b");
  ASSERT_EQ(write(kAudioObjectSystemObject, kAudioHardwarePropertyDefaultOutputDevice, sinkB,
                  kAudioObjectPropertyScopeGlobal),
            0);
  EXPECT_EQ(audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                             kAudioHardwarePropertyDefaultOutputDevice),
            sinkB)
      << "read back at once";

  SCOPED_TRACE("a child playing on sink C");
  const pid_t child = play({"pw-play", "--target", "test-sink-c", pw::toneFile(440)});
  ASSERT_TRUE(pw::eventually([&] { return running(child); }));
  const AudioObjectID first = processOf(child);
  const auto apps = audio::AudioApp::all();
  EXPECT_TRUE(std::any_of(apps.begin(), apps.end(), [&](const audio::AudioApp& app) {
    return std::find(app.processes.begin(), app.processes.end(), first) != app.processes.end() &&
           app.audible;
  }));

  const AudioObjectID sinkC = deviceID("test-sink-c");
  ASSERT_EQ(write(sinkC, kAudioDevicePropertyVolumeScalar, 0.5f), 0);
  EXPECT_NEAR(audio::HAL::volume(sinkC, settings::AudioDirection::output).value_or(0), 0.5f, 1e-5f);
  EXPECT_NEAR(dB("test-sink-c"), -18.06, 0.3) << "0.5 on the cubic scale";
  ASSERT_EQ(write(sinkC, kAudioDevicePropertyMute, 1u), 0);
  EXPECT_LT(dB("test-sink-c"), -80.0);
  EXPECT_EQ(audio::HAL::writeFailure(write(sinkC, kAudioDevicePropertyVolumeScalar, std::nanf(""))),
            "设置音频属性失败（PipeWire -50）");

  SCOPED_TRACE("the child killed, a new one on the default output");
  killChild(child);
  ASSERT_TRUE(pw::eventually([&] { return processOf(child) == 0; }));
  const pid_t next = play({"pw-play", pw::toneFile(880)});
  ASSERT_TRUE(pw::eventually([&] { return running(next); }));
  EXPECT_NE(processOf(next), first);
  EXPECT_NEAR(dB("test-sink-b", 880), 0.0, 0.3);
  EXPECT_LT(dB("test-sink-a", 880), -80.0);
  const pid_t pulse = play({"paplay", pw::toneFile(440)});
  EXPECT_TRUE(pw::eventually([&] { return processOf(pulse) != 0; })) << "paplay's own pid";

#ifdef VELMORA_PROGRAM
  if (access(VELMORA_PROGRAM, X_OK) == 0) {
    SCOPED_TRACE("the program's report");
    const std::string report = commandOutput(VELMORA_PROGRAM " --diagnose 2>&1");
    EXPECT_NE(report.find("name=Test Mono input=0 output=1"), std::string::npos) << report;
    // No desktop entry names pw-cat, so the name is the one the stream gives the server.
    EXPECT_NE(report.find("app=pw-play id=process:/usr/bin/pw-cat"), std::string::npos) << report;
    EXPECT_EQ(report.find("simulated"), std::string::npos) << report;
  }
#endif

  SCOPED_TRACE("the server lost, and back");
  pw::stopServer();
  ASSERT_TRUE(pw::eventually([] { return !pw::backend().connected(); }));
  uint32_t size = 0;
  const AudioObjectPropertyAddress list{kAudioHardwarePropertyDevices,
                                        kAudioObjectPropertyScopeGlobal, 0};
  EXPECT_EQ(AudioObjectGetPropertyDataSize(kAudioObjectSystemObject, &list, 0, nullptr, &size),
            kAudioHardwareNotRunningError);
  EXPECT_TRUE(AudioDevice::all().empty());
  EXPECT_EQ(write(sinkB, kAudioDevicePropertyVolumeScalar, 0.5f), kAudioHardwareNotRunningError);
  ASSERT_EQ(pw::startServer(), "");
  const auto after = AudioDevice::all();
  ASSERT_EQ(after.size(), devices.size());
  for (const AudioDevice& device : after) {
    EXPECT_TRUE(std::none_of(devices.begin(), devices.end(),
                             [&](const AudioDevice& old) { return old.id == device.id; }))
        << device.uid << " kept its id across the reconnect";
  }
}

}  // namespace
}  // namespace velmora::test
