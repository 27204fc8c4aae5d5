// A private PipeWire + WirePlumber + pipewire-pulse session for the integration tests, started
// once for the test binary in temporary XDG folders with null devices (test-sink-a/b/c stereo,
// test-sink-mono, test-source), and helpers to drive it: child processes that play tones,
// recordings of a sink's monitor, devices made and destroyed with the server's own tools.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/pipewire/PipeWireBackend.h"

namespace velmora::test::pw {

// Starts the session once (and installs the backend connected to it), or stops it; start
// returns unavailableReason().
const std::string& startSession();
void stopSession();

// Why the session is not there ("" when it is). Tests skip with it, or fail when
// VELMORA_REQUIRE_INTEGRATION=1.
const std::string& unavailableReason();
// Skips or fails the calling test when the session is not there.
#define VELMORA_REQUIRE_PIPEWIRE()                              \
  do {                                                          \
    if (!::velmora::test::pw::unavailableReason().empty()) {    \
      if (::velmora::test::pw::integrationRequired())           \
        FAIL() << ::velmora::test::pw::unavailableReason();     \
      GTEST_SKIP() << ::velmora::test::pw::unavailableReason(); \
    }                                                           \
  } while (0)
bool integrationRequired();

// The backend connected to the session, installed for the whole binary.
platform::pipewire::PipeWireBackend& backend();

// Stops every daemon of the session, and starts them again ("" when they answer again).
void stopServer();
std::string startServer();

// Child processes. `spawn` returns the pid; `finish` stops one by pid and reaps it.
pid_t spawn(const std::vector<std::string>& args);
void finish(pid_t pid, int signal = 15);
// Runs to completion; the exit status.
int run(const std::vector<std::string>& args);
// Runs to completion; what it printed.
std::string output(const std::vector<std::string>& args);

// A 30 s mono WAV of a sine at peak 0.5, made once per frequency.
std::string toneFile(double frequency);
// Channel 0 of what `sink`'s monitor carries over `seconds`, after its first 0.3 s.
std::vector<float> recordMonitor(const std::string& sink, int channels, double seconds = 1.0);

// Polls `done` (with a round trip to the server between tries) until it holds; the limit only
// catches hangs.
template <class Done>
bool eventually(Done done, double limitSeconds = 15.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    backend().sync(1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace velmora::test::pw
