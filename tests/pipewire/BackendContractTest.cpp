// What every audio backend promises the program, checked on the simulated system and on
// PipeWire alike so that the two cannot drift apart: ids never reused, a write visible to the
// next read, lists that hand out what fits, and the same statuses for the same mistakes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>

#include "platform/sim/SimulatedAudioSystem.h"
#include "tests/pipewire/PipeWireTest.h"
#include "tests/support/ScenarioBuilders.h"

namespace velmora::test {
namespace {

using platform::AudioBackend;

// One backend with a stereo output device, an input-only device, and a way to plug a device in
// and out again.
class ContractMachine {
 public:
  virtual ~ContractMachine() = default;
  virtual AudioBackend& backend() = 0;
  virtual std::string outputUID() = 0;
  virtual std::string inputUID() = 0;
  virtual void plug(const std::string& uid) = 0;
  virtual void unplug(const std::string& uid) = 0;

  AudioObjectID device(const std::string& uid) {
    for (AudioObjectID id : devices()) {
      std::string text;
      if (backend().getPropertyString(
              id, {kAudioDevicePropertyDeviceUID, kAudioObjectPropertyScopeGlobal, 0}, &text) ==
              0 &&
          text == uid)
        return id;
    }
    return 0;
  }
  std::vector<AudioObjectID> devices() {
    const AudioObjectPropertyAddress address{kAudioHardwarePropertyDevices,
                                             kAudioObjectPropertyScopeGlobal, 0};
    uint32_t size = 0;
    if (backend().getPropertyDataSize(kAudioObjectSystemObject, address, &size) != 0) return {};
    std::vector<AudioObjectID> ids(size / sizeof(AudioObjectID));
    if (backend().getPropertyData(kAudioObjectSystemObject, address, &size, ids.data()) != 0)
      return {};
    ids.resize(size / sizeof(AudioObjectID));
    return ids;
  }
};

class SimulatedContractMachine final : public ContractMachine {
 public:
  SimulatedContractMachine() : system_(scenario()) {}
  AudioBackend& backend() override { return system_; }
  std::string outputUID() override { return "out"; }
  std::string inputUID() override { return "in"; }
  void plug(const std::string& uid) override { system_.addDevice(simDevice(uid, uid, {2})); }
  void unplug(const std::string& uid) override { system_.removeDevice(uid); }

 private:
  static platform::sim::Scenario scenario() {
    platform::sim::Scenario scenario;
    auto output = simDevice("out", "Out", {2}, {}, {{0, 1.0f, true}});
    output.output.mute = platform::sim::MuteControl{};
    scenario.devices = {output, simDevice("in", "In", {}, {2})};
    scenario.defaultOutputUID = "out";
    return scenario;
  }
  platform::sim::SimulatedAudioSystem system_;
};

class PipeWireContractMachine final : public ContractMachine {
 public:
  AudioBackend& backend() override { return pw::backend(); }
  std::string outputUID() override { return "test-sink-a"; }
  std::string inputUID() override { return "test-source"; }
  void plug(const std::string& uid) override {
    createSink(uid);
    pw::eventually([&] { return device(uid) != 0; });
  }
  void unplug(const std::string& uid) override {
    destroyDevice(device(uid));
    pw::eventually([&] { return device(uid) == 0; });
  }
};

struct System {
  const char* name;
  bool needsSession;
  std::function<std::unique_ptr<ContractMachine>()> make;
};

void PrintTo(const System& system, std::ostream* out) { *out << system.name; }

class BackendContract : public ::testing::TestWithParam<System> {
 protected:
  void SetUp() override {
    if (GetParam().needsSession) VELMORA_REQUIRE_PIPEWIRE();
    machine_ = GetParam().make();
  }
  AudioBackend& backend() { return machine_->backend(); }
  std::unique_ptr<ContractMachine> machine_;
};

constexpr AudioObjectPropertyAddress kVolume{kAudioDevicePropertyVolumeScalar,
                                             kAudioObjectPropertyScopeOutput, 0};
constexpr AudioObjectPropertyAddress kMute{kAudioDevicePropertyMute,
                                           kAudioObjectPropertyScopeOutput, 0};
constexpr AudioObjectPropertyAddress kDefaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                    kAudioObjectPropertyScopeGlobal, 0};

TEST_P(BackendContract, ListsWritesMistakesAndReplugsKeepTheirPromises) {
  const AudioObjectID output = machine_->device(machine_->outputUID());
  const AudioObjectID input = machine_->device(machine_->inputUID());
  SCOPED_TRACE("lists hand out what fits, fixed values must fit");
  const auto all = machine_->devices();
  ASSERT_GE(all.size(), 2u);
  const AudioObjectPropertyAddress devices{kAudioHardwarePropertyDevices,
                                           kAudioObjectPropertyScopeGlobal, 0};
  uint32_t size = 0;
  ASSERT_EQ(backend().getPropertyDataSize(kAudioObjectSystemObject, devices, &size), 0);
  EXPECT_EQ(size, all.size() * sizeof(AudioObjectID));
  AudioObjectID first[2] = {0, 0};
  size = sizeof(AudioObjectID) + 2;  // room for one id and a part of another
  ASSERT_EQ(backend().getPropertyData(kAudioObjectSystemObject, devices, &size, first), 0);
  EXPECT_EQ(size, sizeof(AudioObjectID));
  EXPECT_EQ(first[0], all[0]);

  uint16_t tooSmall = 0;
  size = sizeof tooSmall;
  EXPECT_EQ(backend().getPropertyData(
                all[0], {kAudioDevicePropertyDeviceIsAlive, kAudioObjectPropertyScopeGlobal, 0},
                &size, &tooSmall),
            kAudioHardwareBadPropertySizeError);

  SCOPED_TRACE("writes are visible to the next read");
  bool settable = false;
  ASSERT_EQ(backend().isPropertySettable(output, kVolume, &settable), 0);
  ASSERT_TRUE(settable);
  for (float written : {0.5f, 0.25f, 1.0f}) {
    ASSERT_EQ(backend().setPropertyData(output, kVolume, 0, nullptr, sizeof written, &written), 0);
    float read = 0;
    size = sizeof read;
    ASSERT_EQ(backend().getPropertyData(output, kVolume, &size, &read), 0);
    EXPECT_NEAR(read, written, 1e-5f);
  }
  for (uint32_t written : {1u, 0u}) {
    ASSERT_EQ(backend().setPropertyData(output, kMute, 0, nullptr, sizeof written, &written), 0);
    uint32_t read = 7;
    size = sizeof read;
    ASSERT_EQ(backend().getPropertyData(output, kMute, &size, &read), 0);
    EXPECT_EQ(read, written);
  }

  SCOPED_TRACE("the same mistake gives the same status");
  const AudioObjectID missing = 0x7fff0000;
  const float nan = std::nanf("");
  const float half = 0.5f;
  const double wide = 0.5;
  uint32_t value = 0;
  size = sizeof value;
  EXPECT_EQ(backend().getPropertyData(missing, kVolume, &size, &value),
            kAudioHardwareBadObjectError);
  EXPECT_EQ(
      backend().getPropertyData(
          output, {VELMORA_FOUR_CHAR_CODE('z', 'z', 'z', 'z'), kAudioObjectPropertyScopeGlobal, 0},
          &size, &value),
      kAudioHardwareUnknownPropertyError);
  EXPECT_EQ(backend().setPropertyData(missing, kVolume, 0, nullptr, sizeof half, &half),
            kAudioHardwareBadObjectError);
  EXPECT_EQ(backend().setPropertyData(output, kVolume, 0, nullptr, sizeof nan, &nan),
            kAudio_ParamError);
  EXPECT_EQ(backend().setPropertyData(output, kVolume, 0, nullptr, sizeof wide, &wide),
            kAudioHardwareBadPropertySizeError);
  EXPECT_EQ(backend().setPropertyData(kAudioObjectSystemObject, kDefaultOutput, 0, nullptr,
                                      sizeof input, &input),
            kAudioHardwareIllegalOperationError);
  EXPECT_EQ(backend().setPropertyData(kAudioObjectSystemObject, kDefaultOutput, 0, nullptr,
                                      sizeof missing, &missing),
            kAudioHardwareBadObjectError);
  EXPECT_EQ(backend().isPropertySettable(missing, kVolume, &settable),
            kAudioHardwareBadObjectError);

  SCOPED_TRACE("an unplugged device comes back under an id never seen before");
  std::set<AudioObjectID> seen;
  for (AudioObjectID id : machine_->devices()) seen.insert(id);
  for (int round = 0; round < 3; ++round) {
    machine_->plug("contract-extra");
    const AudioObjectID id = machine_->device("contract-extra");
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(seen.insert(id).second) << "id " << id << " handed out twice";
    machine_->unplug("contract-extra");
    ASSERT_EQ(machine_->device("contract-extra"), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Backends, BackendContract,
    ::testing::Values(
        System{"simulated", false, [] { return std::make_unique<SimulatedContractMachine>(); }},
        System{"pipewire", true, [] { return std::make_unique<PipeWireContractMachine>(); }}),
    [](const ::testing::TestParamInfo<System>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::test
