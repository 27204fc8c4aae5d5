// The property helpers and device enumeration, on the simulated audio system.
#include <gtest/gtest.h>

#include "audio/AudioDevice.h"
#include "audio/HAL.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/ScenarioBuilders.h"

using velmora::settings::AudioDirection;

namespace {

using namespace velmora::audio;
using namespace velmora::platform::sim;

using velmora::test::simDevice;

// Enumeration, and the property helpers' answers when a read fails.
TEST(AudioDevice, AllListsLiveDevicesButOurAggregatesInNameOrderWithTheirVolumes) {
  Scenario s;
  s.devices = {simDevice("b", "Speaker 10", {2}),
               simDevice("a", "Speaker 2", {1}, {2}),
               simDevice("dead", "Alpha", {2}),
               simDevice("c", "speaker 10", {2}),
               simDevice("com.local.Ombrel.aggregate.1234", "Velmora · Music", {2}),
               simDevice("dac", "DAC", {2, 2})};
  s.devices[2].alive = false;
  s.devices[1].transport = kAudioDeviceTransportTypeUSB;
  s.devices[5].output.volume = {{0, 0.9f, false}, {1, 0.5f, true}, {2, 0.7f, true}};
  SimulatedMachine machine(s);
  const auto devices = AudioDevice::all();
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices[1], (AudioDevice{machine.audio().deviceID("a"), "a", "Speaker 2", 2, 1,
                                     uint32_t(kAudioDeviceTransportTypeUSB)}));
  EXPECT_EQ(devices[0].uid + devices[2].uid + devices[3].uid, "dacbc")
      << "names equal but for case keep the system's order";
  machine.audio().failProperty(kAudioDevicePropertyDeviceIsAlive, kAudioHardwareUnspecifiedError,
                               1);
  EXPECT_EQ(AudioDevice::all().size(), 3u) << "a device whose liveness cannot be read is left out";

  const AudioObjectID dac = devices[0].id;
  EXPECT_FLOAT_EQ(*HAL::volume(dac, AudioDirection::output), 0.6f)
      << "channels 1 and 2; element 0 is fixed";
  machine.audio().failProperty(kAudioDevicePropertyVolumeScalar, kAudioHardwareUnspecifiedError, 1);
  EXPECT_FLOAT_EQ(*HAL::volume(dac, AudioDirection::output), (1.0f + 0.7f) / 2)
      << "unreadable counts as full";
  machine.audio().failProperty(kAudioHardwarePropertyDevices, kAudioHardwareUnspecifiedError, 1);
  EXPECT_TRUE(HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyDevices).empty());
  EXPECT_TRUE(HAL::strings(dac, kAudioAggregateDevicePropertyFullSubDeviceList).empty());
}

}  // namespace
