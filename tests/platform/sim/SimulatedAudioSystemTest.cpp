// The simulated audio system keeps the promises the rest of the program relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/audio/AudioHardware.h"
#include "platform/sim/SimulatedAudioSystem.h"
#include "tests/support/Goertzel.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;
using velmora::test::toneAmplitude;

ScenarioDevice device(std::string uid, std::vector<uint32_t> outputs, std::vector<uint32_t> inputs = {}) {
  ScenarioDevice d;
  d.uid = uid;
  d.name = uid;
  d.output.streams = std::move(outputs);
  d.input.streams = std::move(inputs);
  return d;
}

Scenario machine() {
  Scenario s;
  s.devices = {device("speakers", {2}), device("dac", {2}), device("headset", {1}, {1})};
  s.devices[0].output.volume = {{0, 1.0f, true}};
  s.devices[0].output.mute = MuteControl{};
  s.devices[1].output.volume = {{1, 0.5f, true}, {2, 0.7f, false}};
  s.devices[1].sampleRate = 96000;
  s.defaultOutputUID = "speakers";
  s.processes = {{100, "com.example.music", "/bin/music", {{440.0, 0.5f}}, true, {}},
                 {200, "com.example.game", "/bin/game", {{1000.0, 0.25f}}, true, {}}};
  return s;
}

double played(SimulatedAudioSystem& system, const std::string& uid, double frequency, uint32_t channel = 0) {
  return toneAmplitude(system.meter(uid).recent(channel, 4096), frequency);
}

// Copies the tap (the last input buffer) to every output buffer: the sound of a session that
// passes its application through.
OSStatus passThrough(AudioObjectID, const AudioTimeStamp*, const AudioBufferList* in,
                     const AudioTimeStamp*, AudioBufferList* out, const AudioTimeStamp*, void* calls) {
  ++*static_cast<int*>(calls);
  const AudioBuffer& tap = in->buffers[in->numberBuffers - 1];
  for (uint32_t b = 0; b < out->numberBuffers; ++b) {
    AudioBuffer& buffer = out->buffers[b];
    const uint32_t frames = buffer.dataByteSize / (4 * buffer.numberChannels);
    for (uint32_t i = 0; i < frames; ++i) {
      for (uint32_t c = 0; c < buffer.numberChannels; ++c) {
        static_cast<float*>(buffer.data)[i * buffer.numberChannels + c] =
            static_cast<const float*>(tap.data)[i * tap.numberChannels + (c % tap.numberChannels)];
      }
    }
  }
  return 0;
}

AggregateDeviceDescription aggregateOn(std::vector<std::string> uids, const std::string& tapUID) {
  AggregateDeviceDescription d;
  d.name = "Velmora · Music";
  d.uid = "com.local.Ombrel.aggregate.test-" + uids[0];
  d.isPrivate = true;
  d.mainSubDevice = uids[0];
  for (size_t i = 0; i < uids.size(); ++i) d.subDevices.push_back({uids[i], i > 0});
  d.taps = {{tapUID, true}};
  return d;
}

TEST(SimulatedAudioSystem, ProcessesPlayTheirTonesOnTheDefaultOutputAtItsVolume) {
  SimulatedAudioSystem system(machine());
  system.render(10);
  EXPECT_NEAR(played(system, "speakers", 440.0), 0.5, 0.01);
  EXPECT_NEAR(played(system, "speakers", 1000.0), 0.25, 0.01);
  EXPECT_NEAR(played(system, "dac", 440.0), 0.0, 0.001) << "only the default output plays them";

  ASSERT_TRUE(system.setDefaultDevice("dac", false));
  system.render(10);
  EXPECT_NEAR(played(system, "dac", 440.0, 0), 0.25, 0.01) << "channel 1 at 0.5";
  EXPECT_NEAR(played(system, "dac", 440.0, 1), 0.35, 0.01) << "channel 2 at 0.7";

  const AudioObjectPropertyAddress mute{kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0};
  const uint32_t on = 1;
  ASSERT_TRUE(system.setDefaultDevice("speakers", false));
  ASSERT_EQ(system.setPropertyData(system.deviceID("speakers"), mute, 0, nullptr, 4, &on), 0);
  system.render(10);
  EXPECT_EQ(system.meter("speakers").peak(0, 4096), 0.0f);
}

TEST(SimulatedAudioSystem, TappedProcessIsHeardThroughTheTapOnlyWhileItIsRead) {
  SimulatedAudioSystem system(machine());
  AudioObjectID tap = 0;
  TapDescription description{{system.processObjectID(100)}, "Velmora · Music", true,
                             TapMuteBehavior::mutedWhenTapped};
  ASSERT_EQ(system.createProcessTap(description, &tap), 0);
  std::string tapUID;
  const AudioObjectPropertyAddress uidAddress{kAudioTapPropertyUID, kAudioObjectPropertyScopeGlobal, 0};
  ASSERT_EQ(system.getPropertyString(tap, uidAddress, &tapUID), 0);
  system.render(10);
  EXPECT_NEAR(played(system, "speakers", 440.0), 0.5, 0.01) << "an unread tap silences nothing";

  AudioObjectID aggregate = 0;
  ASSERT_EQ(system.createAggregateDevice(aggregateOn({"dac"}, tapUID), &aggregate), 0);
  int calls = 0;
  AudioDeviceIOProcID proc = nullptr;
  ASSERT_EQ(system.createIOProcID(aggregate, passThrough, &calls, &proc), 0);
  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  system.render(10);
  EXPECT_EQ(calls, 10);
  EXPECT_NEAR(played(system, "speakers", 440.0), 0.0, 0.001) << "silent on its own device";
  EXPECT_NEAR(played(system, "speakers", 1000.0), 0.25, 0.01) << "others untouched";
  EXPECT_NEAR(played(system, "dac", 440.0, 0), 0.25, 0.01) << "heard where the proc put it";
  EXPECT_NEAR(played(system, "dac", 1000.0, 0), 0.0, 0.001) << "the tap holds only its process";

  // A stream the process opens later is captured too.
  ASSERT_TRUE(system.addTone(100, {3000.0, 0.2f}));
  system.render(10);
  EXPECT_NEAR(played(system, "speakers", 3000.0), 0.0, 0.001);
  EXPECT_NEAR(played(system, "dac", 3000.0, 0), 0.1, 0.01);

  ASSERT_EQ(system.stopDevice(aggregate, proc), 0);
  system.render(10);
  EXPECT_NEAR(played(system, "speakers", 440.0), 0.5, 0.01) << "stopped: heard as usual";
  EXPECT_EQ(calls, 20) << "a stopped proc is not called";

  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  ASSERT_EQ(system.destroyIOProcID(aggregate, proc), 0);
  ASSERT_EQ(system.destroyAggregateDevice(aggregate), 0);
  ASSERT_EQ(system.destroyProcessTap(tap), 0);
  EXPECT_EQ(system.liveProcessingObjects(), 0u);
  system.render(10);
  EXPECT_NEAR(played(system, "speakers", 440.0), 0.5, 0.01) << "torn down: its sound is back";
}

TEST(SimulatedAudioSystem, AggregateLaysOutStreamsFromItsDescription) {
  SimulatedAudioSystem system(machine());
  AudioObjectID tap = 0;
  system.setTapFormat(SimulatedAudioSystem::floatFormat(2, false));
  ASSERT_EQ(system.createProcessTap({{system.processObjectID(100)}, "t", true, TapMuteBehavior::mutedWhenTapped}, &tap), 0);
  std::string tapUID;
  const AudioObjectPropertyAddress tuid{kAudioTapPropertyUID, kAudioObjectPropertyScopeGlobal, 0};
  ASSERT_EQ(system.getPropertyString(tap, tuid, &tapUID), 0);
  AudioObjectID aggregate = 0;
  ASSERT_EQ(system.createAggregateDevice(aggregateOn({"dac", "headset"}, tapUID), &aggregate), 0);

  std::vector<std::string> members;
  const AudioObjectPropertyAddress grup{kAudioAggregateDevicePropertyFullSubDeviceList, kAudioObjectPropertyScopeGlobal, 0};
  ASSERT_EQ(system.getPropertyStrings(aggregate, grup, &members), 0);
  EXPECT_EQ(members, (std::vector<std::string>{"dac", "headset"}));

  auto streams = [&](AudioObjectPropertyScope scope) {
    const AudioObjectPropertyAddress address{kAudioDevicePropertyStreams, scope, 0};
    uint32_t size = 0;
    EXPECT_EQ(system.getPropertyDataSize(aggregate, address, &size), 0);
    std::vector<AudioObjectID> ids(size / 4);
    EXPECT_EQ(system.getPropertyData(aggregate, address, &size, ids.data()), 0);
    return ids;
  };
  auto format = [&](AudioObjectID stream) {
    AudioStreamBasicDescription f{};
    uint32_t size = sizeof f;
    const AudioObjectPropertyAddress sfmt{kAudioStreamPropertyVirtualFormat, kAudioObjectPropertyScopeGlobal, 0};
    EXPECT_EQ(system.getPropertyData(stream, sfmt, &size, &f), 0);
    return f;
  };
  const auto outputs = streams(kAudioObjectPropertyScopeOutput);
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(format(outputs[0]).channelsPerFrame, 2u) << "the DAC first";
  EXPECT_EQ(format(outputs[1]).channelsPerFrame, 1u) << "then the mono headset";
  const auto inputs = streams(kAudioObjectPropertyScopeInput);
  ASSERT_EQ(inputs.size(), 3u) << "the headset microphone, then the two tap channels";
  EXPECT_EQ(format(inputs[0]).formatFlags & kAudioFormatFlagIsNonInterleaved, 0u);
  EXPECT_NE(format(inputs[2]).formatFlags & kAudioFormatFlagIsNonInterleaved, 0u);

  double rate = 0;
  uint32_t size = sizeof rate;
  const AudioObjectPropertyAddress nsrt{kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0};
  ASSERT_EQ(system.getPropertyData(aggregate, nsrt, &size, &rate), 0);
  EXPECT_EQ(rate, 96000.0) << "the main sub-device's rate";

  // The proc gets one output buffer per sub-device stream, shaped like it: a mono device, one channel.
  struct Seen {
    std::vector<uint32_t> in, out;
    std::vector<bool> inData;
  } seen;
  auto record = [](AudioObjectID, const AudioTimeStamp*, const AudioBufferList* in, const AudioTimeStamp*,
                   AudioBufferList* out, const AudioTimeStamp*, void* data) -> OSStatus {
    auto* s = static_cast<Seen*>(data);
    s->in.clear(), s->out.clear(), s->inData.clear();
    for (uint32_t b = 0; b < in->numberBuffers; ++b) {
      s->in.push_back(in->buffers[b].numberChannels);
      s->inData.push_back(in->buffers[b].data != nullptr);
    }
    for (uint32_t b = 0; b < out->numberBuffers; ++b) s->out.push_back(out->buffers[b].numberChannels);
    return 0;
  };
  AudioDeviceIOProcID proc = nullptr;
  ASSERT_EQ(system.createIOProcID(aggregate, record, &seen, &proc), 0);
  std::vector<uint8_t> usage(AudioHardwareIOProcStreamUsageSize(3), 0);
  auto* words = reinterpret_cast<AudioHardwareIOProcStreamUsage*>(usage.data());
  *words = {proc, 3};
  words->streamIsOn[1] = words->streamIsOn[2] = 1;
  const AudioObjectPropertyAddress suse{kAudioDevicePropertyIOProcStreamUsage, kAudioObjectPropertyScopeInput, 0};
  ASSERT_EQ(system.setPropertyData(aggregate, suse, 0, nullptr, uint32_t(usage.size()), usage.data()), 0);
  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  system.render(1);
  EXPECT_EQ(seen.out, (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(seen.in, (std::vector<uint32_t>{1, 1, 1}));
  EXPECT_EQ(seen.inData, (std::vector<bool>{false, true, true})) << "the microphone switched off";
}

TEST(SimulatedAudioSystem, VolumeElementsHaveTheirOwnSettableFlags) {
  SimulatedAudioSystem system(machine());
  const AudioObjectID dac = system.deviceID("dac");
  auto address = [](AudioObjectPropertyElement element) {
    return AudioObjectPropertyAddress{kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, element};
  };
  EXPECT_FALSE(system.hasProperty(dac, address(0)));
  EXPECT_TRUE(system.hasProperty(dac, address(1)));
  bool settable = false;
  ASSERT_EQ(system.isPropertySettable(dac, address(2), &settable), 0);
  EXPECT_FALSE(settable);
  const float value = 0.25f;
  EXPECT_EQ(system.setPropertyData(dac, address(2), 0, nullptr, 4, &value), kAudioHardwareIllegalOperationError);
  EXPECT_EQ(system.setPropertyData(dac, address(1), 0, nullptr, 4, &value), 0);
  float read = 0;
  uint32_t size = 4;
  ASSERT_EQ(system.getPropertyData(dac, address(1), &size, &read), 0);
  EXPECT_EQ(read, 0.25f) << "a write is visible to the next read";
  EXPECT_FALSE(system.hasProperty(dac, {kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0}));
}

TEST(SimulatedAudioSystem, ObjectIdsAreNeverReusedAndFaultsFire) {
  SimulatedAudioSystem system(machine());
  const AudioObjectID before = system.deviceID("dac");
  const AudioObjectID after = system.reconnectDevice("dac");
  EXPECT_GT(after, before);
  uint32_t alive = 0, size = 4;
  const AudioObjectPropertyAddress livn{kAudioDevicePropertyDeviceIsAlive, kAudioObjectPropertyScopeGlobal, 0};
  EXPECT_EQ(system.getPropertyData(before, livn, &size, &alive), kAudioHardwareBadObjectError);

  system.failCall("AudioDeviceStart", -50, 1);
  AudioObjectID tap = 0;
  ASSERT_EQ(system.createProcessTap({{system.processObjectID(200)}, "t", true, TapMuteBehavior::mutedWhenTapped}, &tap), 0);
  AudioObjectID aggregate = 0;
  ASSERT_EQ(system.createAggregateDevice(aggregateOn({"speakers"}, "no-such-tap"), &aggregate), 0);
  int calls = 0;
  AudioDeviceIOProcID proc = nullptr;
  ASSERT_EQ(system.createIOProcID(aggregate, passThrough, &calls, &proc), 0);
  EXPECT_EQ(system.startDevice(aggregate, proc), -50);
  EXPECT_EQ(system.startDevice(aggregate, proc), 0) << "only the next call fails";

  system.delayAggregateOutputs(2);
  system.setAggregateChannelSurplus(1);
  AudioObjectID slow = 0;
  ASSERT_EQ(system.createAggregateDevice(aggregateOn({"dac"}, "x"), &slow), 0);
  const AudioObjectPropertyAddress stm{kAudioDevicePropertyStreams, kAudioObjectPropertyScopeOutput, 0};
  for (int read = 0; read < 3; ++read) {
    AudioObjectID ids[4] = {};
    uint32_t bytes = sizeof ids;
    ASSERT_EQ(system.getPropertyData(slow, stm, &bytes, ids), 0);
    EXPECT_EQ(bytes, read < 2 ? 0u : 4u) << "read " << read;
  }
  std::vector<AudioBuffer> config(4);
  uint32_t bytes = uint32_t(config.size() * sizeof(AudioBuffer));
  const AudioObjectPropertyAddress slay{kAudioDevicePropertyStreamConfiguration, kAudioObjectPropertyScopeOutput, 0};
  ASSERT_EQ(system.getPropertyData(slow, slay, &bytes, config.data()), 0);
  const auto* list = reinterpret_cast<const AudioBufferList*>(config.data());
  EXPECT_EQ(list->numberBuffers, 2u) << "the DAC's two channels plus one that is not there";

  system.setIOProcsSilent(true);
  system.render(3);
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(system.removeProcess(200));
  EXPECT_EQ(system.processObjectID(200), 0u);
  EXPECT_EQ(system.createProcessTap({{tap}, "t", true, TapMuteBehavior::mutedWhenTapped}, &tap),
            kAudioHardwareBadObjectError);
}

}  // namespace
