// The simulated audio system keeps the promises the rest of the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "platform/audio/AudioHardware.h"
#include "platform/sim/SimulatedAudioSystem.h"
#include "tests/support/Goertzel.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;
using Strings = std::vector<std::string>;

constexpr AudioObjectPropertyScope kOut = kAudioObjectPropertyScopeOutput;
constexpr AudioObjectPropertyScope kIn = kAudioObjectPropertyScopeInput;

AudioObjectPropertyAddress at(AudioObjectPropertySelector selector,
                              AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal,
                              AudioObjectPropertyElement element = 0) {
  return {selector, scope, element};
}

using velmora::test::simDevice;

Scenario machine() {
  Scenario s;
  s.devices = {simDevice("speakers", "speakers", {2}, {}, {{0, 1.0f, true}}),
               simDevice("dac", "dac", {2}, {}, {{1, 0.5f, true}, {2, 0.7f, false}}),
               simDevice("headset", "headset", {1}, {1})};
  s.devices[0].output.mute = MuteControl{};
  s.devices[1].sampleRate = 96000;
  s.defaultOutputUID = "speakers";
  s.processes = {{100, "com.example.music", "/bin/music", {{440.0, 0.5f}}, true, {}},
                 {200, "com.example.game", "/bin/game", {{1000.0, 0.25f}}, true, {}}};
  return s;
}

// The machine above, and short forms of the calls the tests make on it.
struct Simulated : ::testing::Test {
  SimulatedAudioSystem system{machine()};

  double played(const std::string& uid, double frequency, uint32_t channel = 0) {
    return velmora::test::toneAmplitude(system.meter(uid).recent(channel, 4096), frequency);
  }
  template <class T>
  OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& address, T* value) {
    uint32_t size = sizeof(T);
    return system.getPropertyData(object, address, &size, value);
  }
  template <class T>
  OSStatus write(AudioObjectID object, const AudioObjectPropertyAddress& address, const T& value) {
    return system.setPropertyData(object, address, 0, nullptr, sizeof(T), &value);
  }
  // A tap on the process that mutes it while read.
  OSStatus createTap(AudioObjectID process, AudioObjectID* tap) {
    return system.createProcessTap({{process}, "t", true, TapMuteBehavior::mutedWhenTapped}, tap);
  }
  // An aggregate of the devices (the first the main one) with a tap on the music process.
  AudioObjectID aggregateOn(Strings uids, AudioObjectID* tap) {
    EXPECT_EQ(createTap(system.processObjectID(100), tap), 0);
    AggregateDeviceDescription d;
    d.uid = "com.local.Ombrel.aggregate.test-" + uids[0];
    d.mainSubDevice = uids[0];
    for (size_t i = 0; i < uids.size(); ++i) d.subDevices.push_back({uids[i], i > 0});
    d.taps = {{{}, true}};
    EXPECT_EQ(system.getPropertyString(*tap, at(kAudioTapPropertyUID), &d.taps[0].uid), 0);
    AudioObjectID aggregate = 0;
    EXPECT_EQ(system.createAggregateDevice(d, &aggregate), 0);
    return aggregate;
  }
  AudioDeviceIOProcID procOn(AudioObjectID aggregate, AudioDeviceIOProc proc, void* data) {
    AudioDeviceIOProcID id = nullptr;
    EXPECT_EQ(system.createIOProcID(aggregate, proc, data, &id), 0);
    return id;
  }
};

// Counts its calls in *calls and copies the tap (the last input buffer, stereo like the DAC) to
// the first output buffer: the sound of a session that passes its application through.
OSStatus passThrough(AudioObjectID, const AudioTimeStamp*, const AudioBufferList* in,
                     const AudioTimeStamp*, AudioBufferList* out, const AudioTimeStamp*,
                     void* calls) {
  ++*static_cast<int*>(calls);
  const AudioBuffer& tap = in->buffers[in->numberBuffers - 1];
  std::memcpy(out->buffers[0].data, tap.data,
              std::min(tap.dataByteSize, out->buffers[0].dataByteSize));
  return 0;
}

TEST_F(Simulated, VolumeElementsHaveTheirOwnSettableFlagsAndScaleTheirChannels) {
  const AudioObjectID dac = system.deviceID("dac");
  const auto volume = [](uint32_t element) {
    return at(kAudioDevicePropertyVolumeScalar, kOut, element);
  };
  EXPECT_FALSE(system.hasProperty(dac, volume(0)));
  EXPECT_FALSE(system.hasProperty(dac, at(kAudioDevicePropertyMute, kOut)));
  // Whether an element reads as settable is checked through the HAL wrappers (tests/audio).
  EXPECT_EQ(write(dac, volume(2), 0.25f), kAudioHardwareIllegalOperationError);
  EXPECT_EQ(write(dac, volume(1), 0.25f), 0);
  float value = 0;
  ASSERT_EQ(read(dac, volume(1), &value), 0);
  EXPECT_EQ(value, 0.25f) << "a write is visible to the next read";
  ASSERT_TRUE(system.setDefaultDevice("dac", false));
  system.render(10);
  EXPECT_NEAR(played("dac", 440.0, 0), 0.125, 0.01) << "channel 1 at 0.25";
  EXPECT_NEAR(played("dac", 440.0, 1), 0.35, 0.01) << "channel 2 at 0.7";

  ASSERT_TRUE(system.setDefaultDevice("speakers", false));
  ASSERT_EQ(write(system.deviceID("speakers"), at(kAudioDevicePropertyMute, kOut), 1u), 0);
  system.render(10);
  EXPECT_EQ(system.meter("speakers").peak(0, 4096), 0.0f) << "muted";
}

TEST_F(Simulated, TappedProcessIsSilentOnItsDeviceExactlyWhileTheTapIsRead) {
  AudioObjectID tap = 0;
  const AudioObjectID aggregate = aggregateOn({"dac"}, &tap);
  int calls = 0;
  const AudioDeviceIOProcID proc = procOn(aggregate, passThrough, &calls);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "an unread tap silences nothing";

  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  ASSERT_TRUE(system.addTone(100, {3000.0, 0.2f}));  // a stream opened later is captured too
  system.render(10);
  EXPECT_EQ(calls, 10);
  EXPECT_NEAR(played("speakers", 440.0), 0.0, 0.001) << "silent on its own device";
  EXPECT_NEAR(played("speakers", 1000.0), 0.25, 0.01) << "others untouched";
  EXPECT_NEAR(played("dac", 440.0), 0.25, 0.01) << "heard where the proc put it";
  EXPECT_NEAR(played("dac", 3000.0), 0.1, 0.01);
  EXPECT_NEAR(played("dac", 1000.0), 0.0, 0.001)
      << "the tap holds only its process, and processes play on the default output only";

  ASSERT_EQ(system.stopDevice(aggregate, proc), 0);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "stopped: heard as usual";
  EXPECT_EQ(calls, 10) << "a stopped proc is not called";
  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  system.setIOProcsSilent(true);  // an injected fault: the proc is never called ...
  system.render(10);
  EXPECT_EQ(calls, 10);
  EXPECT_NEAR(played("speakers", 440.0), 0.0, 0.001) << "... and its tap still silences";
  ASSERT_EQ(system.destroyIOProcID(aggregate, proc), 0);
  ASSERT_EQ(system.destroyAggregateDevice(aggregate), 0);
  ASSERT_EQ(system.destroyProcessTap(tap), 0);
  EXPECT_EQ(system.liveProcessingObjects(), 0u);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "torn down: its sound is back";
  const AudioObjectID gone = system.processObjectID(100);
  ASSERT_TRUE(system.removeProcess(100));
  EXPECT_EQ(createTap(gone, &tap), kAudioHardwareBadObjectError);
}

TEST_F(Simulated, AggregateLaysOutStreamsFromItsDescription) {
  AudioObjectID tap = 0;
  system.setTapFormat(SimulatedAudioSystem::floatFormat(2, false));
  const AudioObjectID aggregate = aggregateOn({"dac", "headset"}, &tap);
  // The member list is read by every engine test; a wrong one fails them all.
  double rate = 0;
  ASSERT_EQ(read(aggregate, at(kAudioDevicePropertyNominalSampleRate), &rate), 0);
  EXPECT_EQ(rate, 96000.0) << "the main sub-device's rate";

  // The proc gets a buffer per stream, shaped like it (the DAC, then the mono headset out; the
  // microphone, then a stream per channel of the non-interleaved tap in); one switched off has no
  // data. The streams' formats are read only to accept 32-bit float, which every engine test needs.
  const auto shapes = [](AudioObjectID, const AudioTimeStamp*, const AudioBufferList* in,
                         const AudioTimeStamp*, AudioBufferList* out, const AudioTimeStamp*,
                         void* text) -> OSStatus {
    std::string& s = *static_cast<std::string*>(text);
    for (auto& b : std::span(in->buffers, in->numberBuffers))
      s += "in" + std::to_string(b.numberChannels) + (b.data ? " " : "off ");
    for (auto& b : std::span(out->buffers, out->numberBuffers))
      s += "out" + std::to_string(b.numberChannels) + " ";
    return 0;
  };
  std::string seen;
  const AudioDeviceIOProcID proc = procOn(aggregate, shapes, &seen);
  struct {  // laid out like AudioHardwareIOProcStreamUsage for three streams
    AudioDeviceIOProcID proc;
    uint32_t count, on[3];
  } usage{proc, 3, {0, 1, 1}};
  ASSERT_EQ(sizeof usage, AudioHardwareIOProcStreamUsageSize(3));
  ASSERT_EQ(write(aggregate, at(kAudioDevicePropertyIOProcStreamUsage, kIn), usage), 0);
  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  system.render(1);
  EXPECT_EQ(seen, "in1off in1 in1 out2 out1 ") << "the microphone switched off";
}

}  // namespace
