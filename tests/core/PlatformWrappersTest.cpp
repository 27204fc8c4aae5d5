// The core's calls into the platform layer, on the simulated audio system: the backend lives in
// the platform's shared library, so a call made inside the core's shared library must reach it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <stdexcept>

#include "CoreTestSupport.h"
#include "platform/audio/AudioHardware.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform;

// Every call throws: what the platform layer must never let unwind through the C interface.
class ThrowingBackend final : public AudioBackend {
  using Address = AudioObjectPropertyAddress;
  [[noreturn]] static OSStatus fail() { throw std::runtime_error("backend failure"); }

 public:
  bool hasProperty(AudioObjectID, const Address&) override { fail(); }
  OSStatus isPropertySettable(AudioObjectID, const Address&, bool*) override { fail(); }
  OSStatus getPropertyDataSize(AudioObjectID, const Address&, uint32_t*) override { fail(); }
  OSStatus getPropertyData(AudioObjectID, const Address&, uint32_t*, void*) override { fail(); }
  OSStatus setPropertyData(AudioObjectID, const Address&, uint32_t, const void*, uint32_t,
                           const void*) override {
    fail();
  }
  OSStatus getPropertyString(AudioObjectID, const Address&, std::string*) override { fail(); }
  OSStatus getPropertyStrings(AudioObjectID, const Address&, std::vector<std::string>*) override {
    fail();
  }
  OSStatus createProcessTap(const TapDescription&, AudioObjectID*) override { fail(); }
  OSStatus destroyProcessTap(AudioObjectID) override { fail(); }
  OSStatus createAggregateDevice(const AggregateDeviceDescription&, AudioObjectID*) override {
    fail();
  }
  OSStatus destroyAggregateDevice(AudioObjectID) override { fail(); }
  OSStatus createIOProcID(AudioObjectID, AudioDeviceIOProc, void*, AudioDeviceIOProcID*) override {
    fail();
  }
  OSStatus destroyIOProcID(AudioObjectID, AudioDeviceIOProcID) override { fail(); }
  OSStatus startDevice(AudioObjectID, AudioDeviceIOProcID) override { fail(); }
  OSStatus stopDevice(AudioObjectID, AudioDeviceIOProcID) override { fail(); }
  std::optional<std::string> processPath(int32_t) override { fail(); }
};

// Each call with no backend, a backend that throws, and the simulated system.
TEST(PlatformWrappers, RenderCycleTapInputsAndProcessPathOnEveryKindOfBackend) {
  auto state = velmora::test::makeState(1, 0.5f, 48000.0);
  AudioDeviceIOProcID proc = nullptr;
  EXPECT_EQ(OMRegisterIOProc(77, state.get(), &proc), kAudioHardwareNotRunningError)
      << "no backend, no audio system";
  // Without a backend the operating system answers for process paths.
  char own[4096];
  const auto expected = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(OMProcessPath(getpid(), own, sizeof own), int32_t(expected.size()));
  EXPECT_EQ(std::string(own), expected);
  EXPECT_EQ(OMProcessPath(-1, own, sizeof own), 0);
  {
    ThrowingBackend throwing;
    struct Restore {
      AudioBackend* previous;
      ~Restore() { installAudioBackend(previous); }
    } restore{installAudioBackend(&throwing)};
    EXPECT_EQ(OMRegisterIOProc(77, state.get(), &proc), kAudioHardwareUnspecifiedError);
    EXPECT_EQ(OMProcessPath(100, std::array<char, 8>().data(), 8), 0);
  }

  const std::string path = "/opt/Tone Player/bin/tone-player";
  sim::Scenario scenario;
  scenario.devices = {velmora::test::simDevice("phones", "Headset", {2}, {1, 1})};
  scenario.processes = {{100, "com.example.music", path, {}, true, {}}};
  sim::SimulatedMachine machine(scenario);
  AudioObjectID aggregate = 0;
  // Two input streams, as a headset's microphone and a tap give; only the last ones count here.
  const AggregateDeviceDescription description{"a", "agg", true, 0, "phones", {{"phones", false}},
                                               {},  false};
  ASSERT_EQ(AudioHardwareCreateAggregateDevice(description, &aggregate), 0);
  ASSERT_EQ(OMRegisterIOProc(aggregate, state.get(), &proc), 0);
  const std::pair<uint32_t, std::vector<uint32_t>> taps[] = {{2, {1, 1}}, {0, {0, 0}}, {1, {0, 1}}};
  for (const auto& [count, on] : taps) {
    ASSERT_EQ(OMEnableTapInputsOnly(aggregate, proc, 2, count), 0);
    EXPECT_EQ(machine.audio().streamUsage(aggregate), on) << count;
  }
  EXPECT_EQ(OMEnableTapInputsOnly(aggregate, proc, 0, 0), kAudioHardwareIllegalOperationError);
  EXPECT_EQ(OMEnableTapInputsOnly(aggregate, proc, 2, 3), kAudioHardwareIllegalOperationError);
  // Too many streams to describe in a 32-bit property size: refused, not truncated.
  EXPECT_EQ(OMEnableTapInputsOnly(aggregate, proc, 0xFFFFFFFFu, 1), kAudioHardwareUnspecifiedError);

  // Exactly the path's length leaves no room for the terminator: refused, nothing written past.
  std::string buffer(path.size() + 4, 'x');
  EXPECT_EQ(OMProcessPath(100, buffer.data(), uint32_t(path.size())), 0);
  EXPECT_EQ(buffer, '\0' + std::string(path.size() + 3, 'x'));
  EXPECT_EQ(OMProcessPath(100, buffer.data(), uint32_t(path.size() + 1)), int32_t(path.size()));
  EXPECT_EQ(buffer, path + '\0' + "xxx");
  EXPECT_EQ(OMProcessPath(100, buffer.data(), 0), 0);
  EXPECT_EQ(buffer[0], '/') << "no room at all: nothing written";
  EXPECT_EQ(OMProcessPath(100, nullptr, 64), 0);
  EXPECT_EQ(OMProcessPath(getpid(), buffer.data(), 8), 0)
      << "the simulated system answers for its own processes only";
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
