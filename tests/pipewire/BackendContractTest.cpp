// What every audio backend promises the program, checked on the simulated system and on
// PipeWire alike so that the two cannot drift apart: ids never reused, a write visible to the
// next read, lists that hand out what fits, and the same statuses for the same mistakes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

#include "platform/sim/SimulatedAudioSystem.h"
#include "tests/pipewire/PipeWireTest.h"
#include "tests/support/ScenarioBuilders.h"

namespace velmora::test {
namespace {

using platform::AudioBackend;

// The simulated system or the PipeWire session, by the parameter: a stereo output device, an
// input-only device, and a way to plug a device in and out again.
class BackendContract : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "pipewire") {
      VELMORA_REQUIRE_PIPEWIRE();
      return;
    }
    platform::sim::Scenario scenario;
    auto output = simDevice("out", "Out", {2}, {}, {{0, 1.0f, true}});
    output.output.mute = platform::sim::MuteControl{};
    scenario.devices = {output, simDevice("in", "In", {}, {2})};
    scenario.defaultOutputUID = "out";
    sim_ = std::make_unique<platform::sim::SimulatedAudioSystem>(scenario);
    previous_ = platform::installAudioBackend(sim_.get());
  }
  void TearDown() override {
    if (sim_) platform::installAudioBackend(previous_);
  }
  static AudioBackend& backend() { return *platform::installedAudioBackend(); }
  template <class T>
  static OSStatus set(AudioObjectID object, const AudioObjectPropertyAddress& address, T value) {
    return backend().setPropertyData(object, address, 0, nullptr, sizeof value, &value);
  }
  template <class T>
  static OSStatus get(AudioObjectID object, const AudioObjectPropertyAddress& address, T* value) {
    uint32_t size = sizeof *value;
    return backend().getPropertyData(object, address, &size, value);
  }
  // Plugs a device in, or out again; its id once the list shows the change.
  AudioObjectID plug(const std::string& uid, bool in) {
    if (sim_ && in) {
      sim_->addDevice(simDevice(uid, uid, {2}));
    } else if (sim_) {
      sim_->removeDevice(uid);
    } else if (in) {
      createSink(uid);
    } else {
      destroyDevice(deviceID(uid));
    }
    if (!sim_) pw::eventually([&] { return (deviceID(uid) != 0) == in; });
    return deviceID(uid);
  }

  std::unique_ptr<platform::sim::SimulatedAudioSystem> sim_;
  AudioBackend* previous_ = nullptr;
};

constexpr AudioObjectPropertyAddress kVolume{kAudioDevicePropertyVolumeScalar,
                                             kAudioObjectPropertyScopeOutput, 0};
constexpr AudioObjectPropertyAddress kMute{kAudioDevicePropertyMute,
                                           kAudioObjectPropertyScopeOutput, 0};
constexpr AudioObjectPropertyAddress kDefaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                    kAudioObjectPropertyScopeGlobal, 0};

TEST_P(BackendContract, ListsWritesMistakesAndReplugsKeepTheirPromises) {
  const AudioObjectID output = deviceID(sim_ ? "out" : "test-sink-a");
  const AudioObjectID input = deviceID(sim_ ? "in" : "test-source");
  SCOPED_TRACE("lists hand out what fits, fixed values must fit");
  const auto all = audio::HAL::objects(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
  ASSERT_GE(all.size(), 2u);
  const AudioObjectPropertyAddress list{kAudioHardwarePropertyDevices,
                                        kAudioObjectPropertyScopeGlobal, 0};
  uint32_t size = 0;
  ASSERT_EQ(backend().getPropertyDataSize(kAudioObjectSystemObject, list, &size), 0);
  EXPECT_EQ(size, all.size() * sizeof(AudioObjectID));
  AudioObjectID first[2] = {0, 0};
  size = sizeof(AudioObjectID) + 2;  // room for one id and a part of another
  ASSERT_EQ(backend().getPropertyData(kAudioObjectSystemObject, list, &size, first), 0);
  EXPECT_EQ(size, sizeof(AudioObjectID));
  EXPECT_EQ(first[0], all[0]);

  uint16_t tooSmall = 0;
  EXPECT_EQ(get(all[0], {kAudioDevicePropertyDeviceIsAlive, kAudioObjectPropertyScopeGlobal, 0},
                &tooSmall),
            kAudioHardwareBadPropertySizeError);

  SCOPED_TRACE("writes are visible to the next read");
  bool settable = false;
  ASSERT_EQ(backend().isPropertySettable(output, kVolume, &settable), 0);
  ASSERT_TRUE(settable);
  for (float written : {0.5f, 0.25f, 1.0f}) {
    float read = 0;
    ASSERT_EQ(set(output, kVolume, written), 0);
    ASSERT_EQ(get(output, kVolume, &read), 0);
    EXPECT_NEAR(read, written, 1e-5f);
  }
  for (uint32_t written : {1u, 0u}) {
    uint32_t read = 7;
    ASSERT_EQ(set(output, kMute, written), 0);
    ASSERT_EQ(get(output, kMute, &read), 0);
    EXPECT_EQ(read, written);
  }

  SCOPED_TRACE("the same mistake gives the same status");
  const AudioObjectID missing = 0x7fff0000;
  const AudioObjectPropertyAddress unknown{VELMORA_FOUR_CHAR_CODE('z', 'z', 'z', 'z'),
                                           kAudioObjectPropertyScopeGlobal, 0};
  uint32_t value = 0;
  EXPECT_EQ(get(missing, kVolume, &value), kAudioHardwareBadObjectError);
  EXPECT_EQ(get(output, unknown, &value), kAudioHardwareUnknownPropertyError);
  EXPECT_EQ(set(missing, kVolume, 0.5f), kAudioHardwareBadObjectError);
  EXPECT_EQ(set(output, kVolume, std::nanf("")), kAudio_ParamError);
  EXPECT_EQ(set(output, kVolume, 0.5), kAudioHardwareBadPropertySizeError);
  EXPECT_EQ(set(kAudioObjectSystemObject, kDefaultOutput, input),
            kAudioHardwareIllegalOperationError);
  EXPECT_EQ(set(kAudioObjectSystemObject, kDefaultOutput, missing), kAudioHardwareBadObjectError);
  EXPECT_EQ(backend().isPropertySettable(missing, kVolume, &settable),
            kAudioHardwareBadObjectError);

  SCOPED_TRACE("an unplugged device comes back under an id never seen before");
  std::set<AudioObjectID> seen(all.begin(), all.end());
  for (int round = 0; round < 3; ++round) {
    const AudioObjectID id = plug("contract-extra", true);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(seen.insert(id).second) << "id " << id << " handed out twice";
    ASSERT_EQ(plug("contract-extra", false), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendContract, ::testing::Values("simulated", "pipewire"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace velmora::test
