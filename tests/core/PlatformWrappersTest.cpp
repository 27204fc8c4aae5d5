// The core's calls into the platform layer, on the simulated audio system: the backend lives in
// the platform's shared library, so a call made inside the core's shared library must reach it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "CoreTestSupport.h"
#include "platform/audio/AudioHardware.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform;

// Each call with no backend, then on the simulated system.
TEST(PlatformWrappers, RenderCycleTapInputsAndProcessPathOnTheSimulatedSystem) {
  auto state = velmora::test::makeState(1, 0.5f, 48000.0);
  AudioDeviceIOProcID proc = nullptr;
  EXPECT_EQ(OMRegisterIOProc(77, state.get(), &proc), kAudioHardwareNotRunningError)
      << "no backend, no audio system";

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
