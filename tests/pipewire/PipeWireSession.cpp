#include "tests/pipewire/PipeWireSession.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>

#include "platform/audio/AudioHardware.h"

extern char** environ;

namespace velmora::test::pw {
namespace {

namespace fs = std::filesystem;

std::string reason = "the PipeWire session was not started";
std::unique_ptr<platform::pipewire::PipeWireBackend> connected;
std::string folder;

bool onPath(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null").c_str()) == 0;
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

pid_t spawnLogged(const std::vector<std::string>& args, const std::string& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

template <class Done>
bool waitUntil(Done done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

AudioObjectID defaultOutput() {
  const AudioObjectPropertyAddress address{kAudioHardwarePropertyDefaultOutputDevice,
                                           kAudioObjectPropertyScopeGlobal, 0};
  AudioObjectID id = 0;
  uint32_t size = sizeof id;
  return connected->getPropertyData(kAudioObjectSystemObject, address, &size, &id) == 0 ? id : 0;
}

class Session {
 public:
  void start() {
    for (const char* tool : {"pipewire", "wireplumber", "pipewire-pulse", "pw-play", "pw-record",
                             "pw-cli", "paplay"}) {
      if (!onPath(tool)) {
        reason = std::string("PipeWire integration tests need `") + tool +
                 "` (scripts/install-deps.sh installs it)";
        return;
      }
    }
    char name[] = "/tmp/velmora-pw-XXXXXX";
    if (mkdtemp(name) == nullptr) {
      reason = "no temporary folder for the PipeWire session";
      return;
    }
    folder = name;
    const fs::path root(folder);
    fs::create_directories(root / "run");
    chmod((root / "run").c_str(), 0700);
    // The test process's own environment, set before its PipeWire threads start.
    // NOLINTBEGIN(concurrency-mt-unsafe)
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    for (const char* variable : {"DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_REMOTE", "PULSE_SERVER",
                                 "DISPLAY", "WAYLAND_DISPLAY"})
      unsetenv(variable);
    // NOLINTEND(concurrency-mt-unsafe)

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
    writeFile(root / "config/pipewire/pipewire.conf.d/50-test-devices.conf", devices + "]\n");
    // Without a session bus: no device reservation, no portal, no Bluetooth, nothing restored.
    writeFile(root / "config/wireplumber/main.lua.d/51-headless.lua",
              "alsa_monitor.properties[\"alsa.reserve\"] = false\n"
              "default_access.properties[\"enable-flatpak-portal\"] = false\n"
              "stream_defaults.properties[\"restore-props\"] = false\n"
              "stream_defaults.properties[\"restore-target\"] = false\n");
    writeFile(root / "config/wireplumber/bluetooth.lua.d/51-headless.lua",
              "bluez_monitor.enabled = false\n");

    connected = std::make_unique<platform::pipewire::PipeWireBackend>();
    previous_ = platform::installAudioBackend(connected.get());
    reason = startDaemons();
  }

  // "" when the server, the session manager and the pulse server all answer.
  std::string startDaemons() {
    const fs::path root(folder);
    daemons_.push_back(spawnLogged({"pipewire"}, folder + "/pipewire.log"));
    if (!waitUntil([&] { return fs::exists(root / "run/pipewire-0"); }, 15))
      return "pipewire did not start (" + folder + "/pipewire.log)";
    daemons_.push_back(spawnLogged({"wireplumber"}, folder + "/wireplumber.log"));
    daemons_.push_back(spawnLogged({"pipewire-pulse"}, folder + "/pipewire-pulse.log"));
    // Ready once WirePlumber chose a default sink: nodes are usable only after it configured them.
    if (!connected->waitUntilConnected(15000) ||
        !waitUntil([] { return connected->sync(1000) && defaultOutput() != 0; }, 15))
      return "wireplumber did not configure the session (" + folder + "/wireplumber.log)";
    if (!waitUntil([&] { return fs::exists(root / "run/pulse/native"); }, 15))
      return "pipewire-pulse did not start (" + folder + "/pipewire-pulse.log)";
    return "";
  }

  void stopDaemons() {
    // The session manager and the pulse server first, then the server they talk to.
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon) finish(*daemon);
    daemons_.clear();
    std::error_code ignored;
    fs::remove(fs::path(folder) / "run/pipewire-0", ignored);
    fs::remove(fs::path(folder) / "run/pulse/native", ignored);
  }

  void stop() {
    if (connected) {
      platform::installAudioBackend(previous_);
      connected.reset();
    }
    stopDaemons();
    if (!folder.empty() && std::getenv("VELMORA_KEEP_SESSION") == nullptr) fs::remove_all(folder);
  }

 private:
  std::vector<pid_t> daemons_;
  platform::AudioBackend* previous_ = nullptr;
};

Session* session = nullptr;

}  // namespace

const std::string& unavailableReason() { return reason; }

const std::string& startSession() {
  if (session == nullptr) {
    session = new Session;
    session->start();
  }
  return reason;
}

void stopSession() {
  if (session == nullptr) return;
  session->stop();
  delete session;
  session = nullptr;
}

bool integrationRequired() {
  const char* required = std::getenv("VELMORA_REQUIRE_INTEGRATION");
  return required != nullptr && std::strcmp(required, "1") == 0;
}

platform::pipewire::PipeWireBackend& backend() { return *connected; }

void stopServer() { session->stopDaemons(); }

std::string startServer() { return session->startDaemons(); }

pid_t spawn(const std::vector<std::string>& args) {
  return spawnLogged(args, folder + "/children.log");
}

void finish(pid_t pid, int signal) {
  if (pid <= 0) return;
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
}

int run(const std::vector<std::string>& args) {
  const pid_t pid = spawn(args);
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string output(const std::vector<std::string>& args) {
  static int outputs = 0;
  const std::string path = folder + "/output-" + std::to_string(++outputs) + ".txt";
  const pid_t pid = spawnLogged(args, path);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string toneFile(double frequency) {
  std::string path = folder + "/tone-" + std::to_string(int(frequency)) + ".wav";
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
  static int recordings = 0;
  const std::string path = folder + "/monitor-" + std::to_string(++recordings) + ".wav";
  const pid_t recorder =
      spawn({"pw-record", "--target", sink, "-P", "{ stream.capture.sink = true }", "--rate",
             "48000", "--channels", std::to_string(channels), "--format", "f32", path});
  const uintmax_t wanted = uintmax_t((seconds + 0.3) * 48000) * 4 * uintmax_t(channels) + 4096;
  waitUntil(
      [&] {
        std::error_code error;
        return fs::file_size(path, error) >= wanted && !error;
      },
      30);
  finish(recorder, SIGINT);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t data = bytes.find("data");
  if (data == std::string::npos) return {};
  const size_t start = data + 8 + size_t(0.3 * 48000) * 4 * size_t(channels);
  std::vector<float> samples;
  for (size_t at = start;
       at + 4 * size_t(channels) <= bytes.size() && samples.size() < size_t(seconds * 48000);
       at += 4 * size_t(channels)) {
    float sample = 0;
    std::memcpy(&sample, bytes.data() + at, sizeof sample);
    samples.push_back(sample);
  }
  return samples;
}

}  // namespace velmora::test::pw
