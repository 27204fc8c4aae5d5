#include "tests/pipewire/PipeWireSession.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <numbers>

#include "audio/HAL.h"
#include "tests/support/ChildProcess.h"

namespace velmora::test::pw {
namespace {

namespace fs = std::filesystem;

std::string reason;
fs::path folder;
std::unique_ptr<platform::pipewire::PipeWireBackend> connected;
platform::AudioBackend* previous = nullptr;
std::list<ChildProcess> daemons;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// The null devices, and no session bus: no device reservation, no portal, no Bluetooth, nothing
// restored.
void configure() {
  std::string devices = "context.objects = [\n";
  auto nullDevice = [&](const std::string& node, const std::string& description,
                        const std::string& mediaClass, const std::string& positions) {
    devices +=
        "  { factory = adapter args = { factory.name = support.null-audio-sink node.name = " +
        node + " node.description = \"" + description + "\" media.class = " + mediaClass +
        " audio.position = [ " + positions +
        " ] monitor.channel-volumes = true object.linger = true } }\n";
  };
  nullDevice("test-sink-a", "Test Sink A", "Audio/Sink", "FL FR");
  nullDevice("test-sink-b", "Test Sink B", "Audio/Sink", "FL FR");
  nullDevice("test-sink-c", "Test Sink C", "Audio/Sink", "FL FR");
  nullDevice("test-sink-mono", "Test Mono", "Audio/Sink", "MONO");
  nullDevice("test-source", "Test Source", "Audio/Source/Virtual", "FL FR");
  writeFile(folder / "config/pipewire/pipewire.conf.d/50-test-devices.conf", devices + "]\n");
  writeFile(folder / "config/wireplumber/main.lua.d/51-headless.lua",
            "alsa_monitor.properties[\"alsa.reserve\"] = false\n"
            "default_access.properties[\"enable-flatpak-portal\"] = false\n"
            "stream_defaults.properties[\"restore-props\"] = false\n"
            "stream_defaults.properties[\"restore-target\"] = false\n");
  writeFile(folder / "config/wireplumber/bluetooth.lua.d/51-headless.lua",
            "bluez_monitor.enabled = false\n");
}

}  // namespace

const std::string& startSession() {
  if (connected || !reason.empty()) return reason;
  if (commandOutput("for tool in pipewire wireplumber pipewire-pulse pw-play pw-record pw-cli "
                    "paplay; do command -v $tool >/dev/null || exit 1; done && echo yes")
          .empty())
    return reason =
               "PipeWire integration tests need PipeWire's daemons and tools and paplay "
               "(scripts/install-deps.sh installs them)";
  char name[] = "/tmp/velmora-pw-XXXXXX";
  if (mkdtemp(name) == nullptr) return reason = "no temporary folder for the PipeWire session";
  folder = name;
  fs::create_directories(folder / "run");
  chmod((folder / "run").c_str(), 0700);
  // The test process's own environment, set before its PipeWire threads start.
  // NOLINTBEGIN(concurrency-mt-unsafe)
  setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
  setenv("PIPEWIRE_RUNTIME_DIR", (folder / "run").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  setenv("XDG_STATE_HOME", (folder / "state").c_str(), 1);
  setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
  for (const char* variable : {"DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_REMOTE", "PULSE_SERVER",
                               "DISPLAY", "WAYLAND_DISPLAY"})
    unsetenv(variable);
  // NOLINTEND(concurrency-mt-unsafe)
  configure();
  connected = std::make_unique<platform::pipewire::PipeWireBackend>();
  previous = platform::installAudioBackend(connected.get());
  return reason = startServer();
}

void stopSession() {
  if (connected) platform::installAudioBackend(previous);
  connected.reset();
  stopServer();
  if (!folder.empty() && std::getenv("VELMORA_KEEP_SESSION") == nullptr) fs::remove_all(folder);
  folder.clear();
}

platform::pipewire::PipeWireBackend& backend() { return *connected; }

std::string startServer() {
  // Each logs to a file of its own in the session's folder; `exec` keeps the pid the shell's.
  auto start = [](const std::string& daemon) {
    daemons.emplace_back().start(
        {"sh", "-c", "exec " + daemon + " >" + (folder / daemon).string() + ".log 2>&1"});
  };
  start("pipewire");
  if (!test::eventually([] { return fs::exists(folder / "run/pipewire-0"); }))
    return "pipewire did not start (" + folder.string() + "/pipewire.log)";
  start("wireplumber");
  start("pipewire-pulse");
  // Nodes are usable only once WirePlumber configured them, seen as a default sink chosen.
  if (!connected->waitUntilConnected(15000) || !test::eventually([] {
        return connected->sync(1000) &&
               audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                                kAudioHardwarePropertyDefaultOutputDevice)
                       .value_or(0) != 0;
      }))
    return "wireplumber did not configure the session (" + folder.string() + "/wireplumber.log)";
  if (!test::eventually([] { return fs::exists(folder / "run/pulse/native"); }))
    return "pipewire-pulse did not start (" + folder.string() + "/pipewire-pulse.log)";
  return "";
}

void stopServer() {
  // The session manager and the pulse server first, then the server they talk to.
  while (!daemons.empty()) daemons.pop_back();
  if (folder.empty()) return;
  fs::remove(folder / "run/pipewire-0");
  fs::remove(folder / "run/pulse/native");
}

int run(std::vector<std::string> args) {
  ChildProcess child;
  child.quiet = true;
  return child.start(std::move(args)) ? child.wait() : -1;
}

std::string toneFile(double frequency) {
  const fs::path path = folder / ("tone-" + std::to_string(int(frequency)) + ".wav");
  if (fs::exists(path)) return path;
  constexpr uint32_t rate = 48000, frames = rate * 30;
  std::vector<int16_t> samples(frames);
  for (uint32_t i = 0; i < frames; ++i)
    samples[i] =
        int16_t(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * frequency * i / rate)));
  // The RIFF header of 16-bit mono PCM, as little-endian words: "RIFF", size, "WAVE", "fmt ",
  // 16, format 1 and 1 channel, rate, bytes a second, 2 bytes a frame and 16 bits, "data", size.
  const uint32_t dataBytes = frames * 2;
  const uint32_t header[] = {0x46464952, 36 + dataBytes, 0x45564157, 0x20746d66,
                             16,         0x00010001,     rate,       rate * 2,
                             0x00100002, 0x61746164,     dataBytes};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
  return path;
}

std::vector<float> recordMonitor(const std::string& sink, int channels, double seconds) {
  // Raw samples on the pipe; the recorder ends when it closes. Skipped and kept, in bytes:
  const size_t frame = 4 * size_t(channels), skipped = size_t(0.3 * 48000) * frame;
  std::vector<float> samples(size_t(seconds * 48000));
  const std::string bytes = commandOutput(
      "pw-record --target " + sink + " -P '{ stream.capture.sink = true }' --rate 48000 " +
      "--channels " + std::to_string(channels) + " --format f32 - 2>/dev/null | head -c " +
      std::to_string(skipped + samples.size() * frame));
  for (size_t i = 0; i < samples.size() && skipped + (i + 1) * frame <= bytes.size(); ++i)
    std::memcpy(&samples[i], bytes.data() + skipped + i * frame, sizeof(float));
  return samples;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return test::eventually(
      [&] {
        backend().sync(1000);
        return done();
      },
      limit);
}

}  // namespace velmora::test::pw
