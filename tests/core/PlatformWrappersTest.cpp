// The core's calls into the platform layer, checked against a recording backend installed by the
// test: the backend lives in the platform's shared library, so a call made inside the core's
// shared library must reach it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "BufferList.h"
#include "CoreTestSupport.h"
#include "RecordingAudioBackend.h"

namespace {

using velmora::test::RecordingAudioBackend;
using velmora::test::ScopedBackend;

TEST(PlatformWrappers, RegisterIOProcReachesTheInstalledBackend) {
  auto state = velmora::test::makeState(1, 0.5f, 48000.0);
  AudioDeviceIOProcID id = nullptr;
  EXPECT_EQ(OMRegisterIOProc(77, state.get(), &id), kAudioHardwareNotRunningError)
      << "no backend, no audio system";

  RecordingAudioBackend backend;
  ScopedBackend installed(&backend);
  ASSERT_EQ(OMRegisterIOProc(77, state.get(), &id), kAudioHardwareNoError);
  ASSERT_EQ(backend.registrations.size(), 1u);
  const auto& registration = backend.registrations[0];
  EXPECT_EQ(registration.device, 77u);
  EXPECT_EQ(registration.proc, &OMIOProc);
  EXPECT_EQ(registration.clientData, state.get());
  EXPECT_NE(id, nullptr);

  // What the backend's I/O thread will call renders the state and reports success.
  velmora::test::BufferList in({{2, 4}});
  velmora::test::BufferList out({{2, 4}});
  in.fill(0.5f);
  EXPECT_EQ(registration.proc(77, nullptr, in.get(), nullptr, out.get(), nullptr,
                              registration.clientData),
            kAudioHardwareNoError);
  EXPECT_EQ(out.at(0, 3, 1), 0.25f);
  EXPECT_EQ(registration.proc(77, nullptr, nullptr, nullptr, out.get(), nullptr, nullptr),
            kAudioHardwareNoError)
      << "a faulting callback still reports success";

  backend.nextStatus = kAudioHardwareBadObjectError;
  EXPECT_EQ(OMRegisterIOProc(78, state.get(), &id), kAudioHardwareBadObjectError);
  backend.nextStatus = kAudioHardwareNoError;
  backend.throwNext = true;
  EXPECT_EQ(OMRegisterIOProc(78, state.get(), &id), kAudioHardwareUnspecifiedError)
      << "a backend's exception never crosses the C interface";
}

TEST(PlatformWrappers, EnableTapInputsOnlySwitchesOnTheLastStreams) {
  RecordingAudioBackend backend;
  ScopedBackend installed(&backend);
  const auto procID = reinterpret_cast<AudioDeviceIOProcID>(uintptr_t(0xABC));
  struct Case {
    uint32_t streams, taps;
    std::vector<uint32_t> on;
  };
  const Case cases[] = {{5, 2, {0, 0, 0, 1, 1}}, {1, 1, {1}}, {3, 0, {0, 0, 0}}, {2, 2, {1, 1}}};
  for (const Case& c : cases) {
    backend.writes.clear();
    ASSERT_EQ(OMEnableTapInputsOnly(42, procID, c.streams, c.taps), kAudioHardwareNoError);
    ASSERT_EQ(backend.writes.size(), 1u);
    const auto& write = backend.writes[0];
    EXPECT_EQ(write.object, 42u);
    EXPECT_EQ(write.address.selector, uint32_t(kAudioDevicePropertyIOProcStreamUsage));
    EXPECT_EQ(write.address.scope, uint32_t(kAudioObjectPropertyScopeInput));
    EXPECT_EQ(write.address.element, 0u);
    ASSERT_EQ(write.data.size(), AudioHardwareIOProcStreamUsageSize(c.streams));
    const auto* usage = reinterpret_cast<const AudioHardwareIOProcStreamUsage*>(write.data.data());
    EXPECT_EQ(usage->ioProc, procID);
    EXPECT_EQ(usage->numberStreams, c.streams);
    EXPECT_EQ(std::vector<uint32_t>(usage->streamIsOn, usage->streamIsOn + c.streams), c.on);
  }

  backend.writes.clear();
  EXPECT_EQ(OMEnableTapInputsOnly(42, procID, 0, 0), int32_t(0x6E6F7065));
  EXPECT_EQ(OMEnableTapInputsOnly(42, procID, 2, 3), kAudioHardwareIllegalOperationError);
  EXPECT_TRUE(backend.writes.empty());
  // Too many streams to describe in a 32-bit property size: refused, not truncated.
  EXPECT_EQ(OMEnableTapInputsOnly(42, procID, 0xFFFFFFFFu, 1), int32_t(0x77686174));
  EXPECT_TRUE(backend.writes.empty());
  backend.nextStatus = kAudioHardwareBadObjectError;
  EXPECT_EQ(OMEnableTapInputsOnly(42, procID, 2, 1), kAudioHardwareBadObjectError);
}

TEST(PlatformWrappers, ProcessPathAlwaysTerminatesAndNeverOverruns) {
  const std::string path = "/opt/Tone Player/bin/tone-player";
  const auto length = int32_t(path.size());
  RecordingAudioBackend backend;
  backend.processPaths[4242] = path;
  {
    ScopedBackend installed(&backend);
    char buffer[64];
    EXPECT_EQ(OMProcessPath(4242, buffer, sizeof buffer), length);
    EXPECT_EQ(std::string(buffer), path);

    // Exactly the path's length leaves no room for the terminator: refused, buffer untouched past
    // it.
    std::vector<char> tight(path.size() + 8, 'x');
    EXPECT_LE(OMProcessPath(4242, tight.data(), uint32_t(path.size())), 0);
    EXPECT_EQ(tight[0], '\0');
    for (size_t i = path.size(); i < tight.size(); ++i) ASSERT_EQ(tight[i], 'x');
    EXPECT_EQ(OMProcessPath(4242, tight.data(), uint32_t(path.size() + 1)), length);
    EXPECT_EQ(tight[path.size()], '\0');
    EXPECT_EQ(tight[path.size() + 1], 'x');

    char untouched = 'x';
    EXPECT_EQ(OMProcessPath(4242, &untouched, 0), 0);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(OMProcessPath(4242, nullptr, 64), 0);
    EXPECT_EQ(OMProcessPath(getpid(), buffer, sizeof buffer), 0)
        << "the simulated system answers for its own processes only";
    EXPECT_EQ(buffer[0], '\0');
  }
  // Without a backend the operating system answers.
  char own[4096];
  const auto expected = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(OMProcessPath(getpid(), own, sizeof own), int32_t(expected.size()));
  EXPECT_EQ(std::string(own), expected);
  EXPECT_EQ(OMProcessPath(-1, own, sizeof own), 0);
  // Above any pid the kernel hands out, so no process of the machine can answer.
  EXPECT_EQ(OMProcessPath(0x7FFFFFF0, own, sizeof own), 0);
}

}  // namespace
