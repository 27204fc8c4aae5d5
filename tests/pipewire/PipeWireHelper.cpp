// A child process for the processing tests and measurements, so that what it does has a pid of
// its own:
//   tone FREQ [SECOND-FREQ AFTER [START]]  plays a sine of peak 0.5 (after START seconds of
//                                          silence, printing "onset TICKS NS"), and later a second
//                                          stream
//   hold SINK-UID READY-FILE EQ PID...     processes each PID's application to SINK-UID (EQ 1:
//                                          with an equaliser), writes READY-FILE once started;
//                                          SIGTERM stops, printing "stop NS" (realtime) first
//   onset SINK-UID                         prints "onset TICKS NS" when SINK-UID's monitor first
//                                          carries a sample above 0.05, then exits
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/AudioEngine.h"
#include "audio/AudioFailure.h"
#include "audio/HAL.h"
#include "audio/TapSession.h"
#include "platform/audio/AudioHardware.h"
#include "platform/pipewire/PipeWireBackend.h"

namespace {

struct Tone {
  pw_stream* stream = nullptr;
  spa_hook listener{};
  double frequency = 440.0;
  double phase = 0.0;
  uint64_t silentFrames = 0;  // before the tone starts
};

int64_t realtimeNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void play(void* data) {
  auto* tone = static_cast<Tone*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(tone->stream);
  if (buffer == nullptr) return;
  spa_data& out = buffer->buffer->datas[0];
  const uint32_t frames = std::min<uint32_t>(
      buffer->requested != 0 ? uint32_t(buffer->requested) : 1024, out.maxsize / 8);
  auto* samples = static_cast<float*>(out.data);
  for (size_t i = 0; i < frames; ++i) {
    if (tone->silentFrames > 0) {
      samples[2 * i] = samples[2 * i + 1] = 0.0f;
      if (--tone->silentFrames == 0) {
        pw_time time{};
        pw_stream_get_time_n(tone->stream, &time, sizeof time);
        std::printf("onset %llu %lld\n", static_cast<unsigned long long>(time.ticks) + i + 1,
                    static_cast<long long>(realtimeNanoseconds()));
        std::fflush(stdout);
        tone->phase = std::numbers::pi / 2;  // starts at its peak
      }
      continue;
    }
    samples[2 * i] = samples[2 * i + 1] = 0.5f * float(std::sin(tone->phase));
    tone->phase = std::fmod(tone->phase + 2 * std::numbers::pi * tone->frequency / 48000.0,
                            2 * std::numbers::pi);
  }
  out.chunk->offset = 0;
  out.chunk->stride = 8;
  out.chunk->size = frames * 8;
  pw_stream_queue_buffer(tone->stream, buffer);
}

// Connects `stream` for 48 kHz float audio, stereo to play or mono to listen; `process` is
// handed each buffer with `data`.
template <void (*process)(void*)>
void connectStream(pw_stream* stream, spa_hook& listener, void* data, pw_direction direction) {
  static const pw_stream_events events = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.process = process;
    return e;
  }();
  pw_stream_add_listener(stream, &listener, &events, data);
  uint8_t bytes[512];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof bytes);
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32;
  info.rate = 48000;
  info.channels = direction == PW_DIRECTION_OUTPUT ? 2 : 1;
  info.position[0] =
      direction == PW_DIRECTION_OUTPUT ? SPA_AUDIO_CHANNEL_FL : SPA_AUDIO_CHANNEL_MONO;
  info.position[1] = SPA_AUDIO_CHANNEL_FR;
  const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  pw_stream_connect(stream, direction, PW_ID_ANY,
                    pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                    PW_STREAM_FLAG_RT_PROCESS),
                    params, 1);
}

void open(pw_core* core, Tone& tone) {
  // An application of its own per frequency, so that several tones are several applications.
  const std::string id = "org.velmora.test.tone-" + std::to_string(int(tone.frequency));
  tone.stream = pw_stream_new(
      core, "velmora-test-tone",
      pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                        PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_ID, id.c_str(), nullptr));
  connectStream<&play>(tone.stream, tone.listener, &tone, PW_DIRECTION_OUTPUT);
}

int tone(double frequency, double second, double after, double start) {
  pw_init(nullptr, nullptr);
  pw_thread_loop* loop = pw_thread_loop_new("tone", nullptr);
  pw_context* context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
  pw_thread_loop_start(loop);
  pw_thread_loop_lock(loop);
  pw_core* core = pw_context_connect(context, nullptr, 0);
  if (core == nullptr) return 1;
  static Tone tones[2];
  tones[0].frequency = frequency;
  tones[0].silentFrames = uint64_t(start * 48000);
  tones[1].frequency = second;
  open(core, tones[0]);
  pw_thread_loop_unlock(loop);
  if (second > 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(after));
    pw_thread_loop_lock(loop);
    open(core, tones[1]);
    pw_thread_loop_unlock(loop);
  }
  for (;;) pause();
}

std::atomic<bool> stopping{false};

int hold(const std::string& sink, const std::string& ready, bool eq,
         const std::vector<int32_t>& pids) {
  using namespace velmora;
  platform::pipewire::PipeWireBackend backend;
  platform::installAudioBackend(&backend);
  if (!backend.waitUntilConnected(5000)) return 1;
  std::signal(SIGTERM, [](int) { stopping = true; });
  std::vector<std::unique_ptr<audio::TapSession>> sessions;
  std::set<int32_t> covered;
  for (int attempt = 0; attempt < 500 && covered.size() < pids.size(); ++attempt) {
    sessions.clear();
    covered.clear();
    audio::OutputRouteSpec route;
    route.key = "audio:" + sink;
    for (const audio::AudioDevice& device : audio::AudioDevice::all())
      if (device.uid == sink) route.device = device;
    route.eq = {eq, {3, -2, 0, 2, 4}};
    for (const audio::AudioApp& app : audio::AudioApp::all()) {
      bool wanted = false;
      for (AudioObjectID process : app.processes) {
        const auto pid = audio::HAL::value<int32_t>(process, kAudioProcessPropertyPID);
        if (!pid || std::find(pids.begin(), pids.end(), *pid) == pids.end()) continue;
        wanted = true;
        covered.insert(*pid);
      }
      try {
        if (wanted && route.device.id != 0)
          sessions.push_back(std::make_unique<audio::TapSession>(
              app, std::vector<audio::OutputRouteSpec>{route}, 1.0f, "held", 0.0,
              audio::AudioEngine::sleepingPause()));
      } catch (const audio::AudioFailure& failure) {
        std::fprintf(stderr, "hold: %s\n", failure.message.c_str());
      }
    }
    if (covered.size() < pids.size()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (covered.size() < pids.size()) return 2;  // not every process was found
  std::ofstream(ready) << "started\n";
  while (!stopping) pause();
  std::printf("stop %lld\n", (long long)realtimeNanoseconds());
  std::fflush(stdout);
  sessions.clear();
  return 0;
}

struct Monitor {
  pw_main_loop* loop = nullptr;
  pw_stream* stream = nullptr;
};

void listen(void* data) {
  auto* monitor = static_cast<Monitor*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(monitor->stream);
  if (buffer == nullptr) return;
  const spa_data& in = buffer->buffer->datas[0];
  const auto* samples = static_cast<const float*>(in.data);
  const uint32_t count = in.chunk->size / sizeof(float);
  for (size_t i = 0; samples != nullptr && i < count; ++i) {
    if (std::fabs(samples[i]) <= 0.05f) continue;
    pw_time time{};
    pw_stream_get_time_n(monitor->stream, &time, sizeof time);
    std::printf("onset %llu %lld\n", static_cast<unsigned long long>(time.ticks) + i,
                static_cast<long long>(realtimeNanoseconds()));
    std::fflush(stdout);
    pw_main_loop_quit(monitor->loop);
    break;
  }
  pw_stream_queue_buffer(monitor->stream, buffer);
}

int onset(const std::string& sink) {
  pw_init(nullptr, nullptr);
  static Monitor monitor;
  monitor.loop = pw_main_loop_new(nullptr);
  pw_context* context = pw_context_new(pw_main_loop_get_loop(monitor.loop), nullptr, 0);
  pw_core* core = pw_context_connect(context, nullptr, 0);
  if (core == nullptr) return 1;
  monitor.stream = pw_stream_new(
      core, "velmora-test-onset",
      pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                        PW_KEY_TARGET_OBJECT, sink.c_str(), PW_KEY_STREAM_CAPTURE_SINK, "true",
                        PW_KEY_NODE_DONT_RECONNECT, "true", nullptr));
  spa_hook listener{};
  connectStream<&listen>(monitor.stream, listener, &monitor, PW_DIRECTION_INPUT);
  pw_main_loop_run(monitor.loop);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  auto number = [&](int index) { return argc > index ? std::atof(argv[index]) : 0.0; };
  if (mode == "tone" && argc >= 3) return tone(number(2), number(3), number(4), number(5));
  if (mode == "onset" && argc == 3) return onset(argv[2]);
  if (mode == "hold" && argc >= 6) {
    std::vector<int32_t> pids;
    for (int i = 5; i < argc; ++i) pids.push_back(std::atoi(argv[i]));
    return hold(argv[2], argv[3], std::strcmp(argv[4], "1") == 0, pids);
  }
  return 64;
}
