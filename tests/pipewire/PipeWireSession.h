// A private PipeWire + WirePlumber + pipewire-pulse session for the integration tests, started
// once for the test binary in temporary XDG folders with null devices (test-sink-a/b/c stereo,
// test-sink-mono, test-source), and helpers to drive it: tones to play, recordings of a sink's
// monitor, the server's own tools run to completion.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/pipewire/PipeWireBackend.h"

namespace velmora::test::pw {

// Starts the session (and installs the backend connected to it) unless it runs; "" when it
// answers, else why not.
const std::string& startSession();
void stopSession();

// The backend connected to the session.
platform::pipewire::PipeWireBackend& backend();

// Stops every daemon of the session, and starts them again ("" when they answer again).
void stopServer();
std::string startServer();

// Runs a program to completion: its exit status.
int run(std::vector<std::string> args);

// A 30 s mono WAV of a sine at peak 0.5, made once per frequency.
std::string toneFile(double frequency);
// Channel 0 of what `sink`'s monitor carries over `seconds`, after its first 0.3 s.
std::vector<float> recordMonitor(const std::string& sink, int channels, double seconds);

// Polls `done`, with a round trip to the server before each try, until it holds; the limit only
// catches hangs.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace velmora::test::pw
