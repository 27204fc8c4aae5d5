// The tray program's rules that need no screen: which audio system it runs on, the diagnostics
// report, X's key repeat, and scrolling on the icon.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "platform/sim/SimulatedMachine.h"
#include "shell/AudioSystem.h"
#include "shell/DiagnosticReport.h"
#include "shell/KeyRepeatFilter.h"
#include "shell/ScrollVolumeGesture.h"
#include "tests/support/ScenarioBuilders.h"

namespace velmora::shell {
namespace {

TEST(AudioSystem, PipeWireWheneverTheSessionHasItAndTheSimulatedMachineOnlyWithout) {
  struct Case {
    std::string environment;  // NAME=value words
    std::string socket;       // the one path that exists
    AudioSystemKind kind;
  };
  using enum AudioSystemKind;
  const std::string runtime = "XDG_RUNTIME_DIR=/run/user/1";
  const Case cases[] = {
      {runtime, "", simulated},
      // Socket activation: the server may not answer yet, the socket is enough.
      {runtime, "/run/user/1/pipewire-0", pipewire},
      {runtime + " PIPEWIRE_RUNTIME_DIR=/srv/pw", "/srv/pw/pipewire-0", pipewire},
      {"PIPEWIRE_REMOTE=pipewire-1", "", pipewire},
      {"VELMORA_BACKEND=pipewire", "", pipewire},  // forced on without a socket
      {runtime + " VELMORA_BACKEND=sim", "/run/user/1/pipewire-0", simulated},
  };
  for (const Case& c : cases) {
    const auto env = [&](const char* name) {
      std::smatch value;
      const std::regex word(std::string("(^| )") + name + "=(\\S+)");
      return std::regex_search(c.environment, value, word) ? value[2].str() : std::string();
    };
    const auto exists = [&](const std::string& path) { return path == c.socket; };
    EXPECT_EQ(chooseAudioSystem(env, exists), c.kind) << c.environment;
  }
}

// Volumes are the shortest text that reads back as the same float, with a fraction part.
TEST(DiagnosticReport, ListsDevicesThenApplicationsLineByLine) {
  using test::simDevice;
  platform::sim::Scenario s;
  s.devices = {simDevice("Speakers", "Speakers", {2}, {}, {{0, 0.35f, true}}),
               simDevice("DAC", "DAC", {2}, {}, {{1, 1.0f, true}, {2, 1.0f, true}}),
               simDevice("Mic", "Mic", {}, {1})};
  s.devices[2].input.volume = {{0, 0.5f, true}};  // an input's volume is not the output's
  const std::string tunes = "/Applications/Tunes.app";
  s.bundles = {
      {tunes, "com.example.tunes", {{"CFBundleName", std::string("Tunes")}}, {}, {}, true}};
  s.processes = {
      {412, "com.example.tunes", tunes + "/Contents/MacOS/Tunes", {{440.0, 0.5f}}, true, {}},
      {9077, "com.example.tunes.helper", "/opt/x", {}, true, {}}};
  platform::sim::SimulatedMachine machine(s);
  const auto id = [&](const char* uid) { return std::to_string(machine.audio().deviceID(uid)); };
  const auto process = [&](int32_t pid) { return machine.audio().processObjectID(pid); };
  EXPECT_EQ(diagnosticReport(),
            "Velmora diagnostics (read-only)\ndevice=" + id("DAC") +
                " name=DAC input=0 output=2 volume=1.0\ndevice=" + id("Mic") +
                " name=Mic input=1 output=0 volume=unsupported\ndevice=" + id("Speakers") +
                " name=Speakers input=0 output=2 volume=0.35\napp=Tunes id=com.example.tunes "
                "processes=[" +
                std::to_string(process(412)) + ", " + std::to_string(process(9077)) +
                "] playing=true\n");
}

// X's other form, a release and a press with the same time, is the hot-key test's on an X server.
TEST(KeyRepeatFilter, AHeldKeyActsOnceWhenXRepeatsItAsFurtherPresses) {
  KeyRepeatFilter filter;
  EXPECT_TRUE(filter.press(58, 100));
  EXPECT_FALSE(filter.press(58, 130)) << "repeated while held";
  filter.release(58, 170);
  EXPECT_TRUE(filter.press(58, 900));
}

TEST(ScrollVolumeGesture, StepsFromTheDeviceOrFromTheLastTargetOfAFastGesture) {
  struct Event {
    double deltaY;
    bool precise, inverted, momentum;
    uint32_t device;
    float current;
    double time;
    std::optional<float> volume;
  };
  // One gesture, event after event.
  const Event events[] = {
      {1, false, false, false, 7, 0.5f, 10.0, 0.5625f},      // one notch
      {1, false, false, false, 7, 0.5f, 10.5, 0.625f},       // builds on the target, not 0.5
      {-3, true, false, false, 7, 0.5f, 11.0, 0.615f},       // precise: 3 / 300
      {150, true, true, false, 7, 0.5f, 11.1, 0.5525f},      // clamped, then reversed
      {1, false, false, true, 7, 0.5f, 11.2, {}},            // momentum
      {0, false, false, false, 7, 0.5f, 11.2, {}},           // nothing moved
      {INFINITY, true, false, false, 7, 0.5f, 11.2, {}},     // a broken delta
      {1, false, false, false, 7, std::nanf(""), 11.2, {}},  // an unreadable volume
      {1, false, false, false, 7, 0.2f, 12.1, 0.2625f},      // a pause: from the device again
      {1, false, false, false, 8, 0.9f, 12.2, 0.9625f},      // another device: from its volume
      {1, false, false, false, 8, 0.9f, 12.3, 1.0f},         // stays at 1
      {-1, false, false, false, 8, 0.01f, 11.0, 0.0f},       // time went back: from the device
  };
  ScrollVolumeGesture gesture;
  for (const Event& e : events) {
    const auto volume =
        gesture.next(e.deltaY, e.precise, e.inverted, e.momentum, e.device, e.current, e.time);
    EXPECT_FLOAT_EQ(volume.value_or(-1), e.volume.value_or(-1)) << e.time << " " << e.deltaY;
  }
}

}  // namespace
}  // namespace velmora::shell
