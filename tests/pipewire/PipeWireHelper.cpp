// A child process for the processing tests, so that what it does has a pid of its own:
//   tone FREQ [SECOND-FREQ AFTER-SECONDS]  plays a sine of peak 0.5, and later a second stream
//   hold PID SINK-UID READY-FILE           processes PID's application to SINK-UID, writes
//                                          READY-FILE once started, then waits to be killed
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/AudioEngine.h"
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
};

void play(void* data) {
  auto* tone = static_cast<Tone*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(tone->stream);
  if (buffer == nullptr) return;
  spa_data& out = buffer->buffer->datas[0];
  const uint32_t frames = std::min<uint32_t>(
      buffer->requested != 0 ? uint32_t(buffer->requested) : 1024, out.maxsize / 8);
  auto* samples = static_cast<float*>(out.data);
  for (uint32_t i = 0; i < frames; ++i) {
    samples[2 * i] = samples[2 * i + 1] = 0.5f * float(std::sin(tone->phase));
    tone->phase = std::fmod(tone->phase + 2 * std::numbers::pi * tone->frequency / 48000.0,
                            2 * std::numbers::pi);
  }
  out.chunk->offset = 0;
  out.chunk->stride = 8;
  out.chunk->size = frames * 8;
  pw_stream_queue_buffer(tone->stream, buffer);
}

void open(pw_core* core, Tone& tone) {
  static const pw_stream_events events = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.process = &play;
    return e;
  }();
  tone.stream = pw_stream_new(core, "velmora-test-tone",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                                "Playback", PW_KEY_MEDIA_ROLE, "Music", nullptr));
  pw_stream_add_listener(tone.stream, &tone.listener, &events, &tone);
  uint8_t bytes[512];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(bytes, sizeof bytes);
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32;
  info.rate = 48000;
  info.channels = 2;
  info.position[0] = SPA_AUDIO_CHANNEL_FL;
  info.position[1] = SPA_AUDIO_CHANNEL_FR;
  const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  pw_stream_connect(tone.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                    pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                    PW_STREAM_FLAG_RT_PROCESS),
                    params, 1);
}

int tone(double frequency, double second, double after) {
  pw_init(nullptr, nullptr);
  pw_thread_loop* loop = pw_thread_loop_new("tone", nullptr);
  pw_context* context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
  pw_thread_loop_start(loop);
  pw_thread_loop_lock(loop);
  pw_core* core = pw_context_connect(context, nullptr, 0);
  if (core == nullptr) return 1;
  static Tone tones[2];
  tones[0].frequency = frequency;
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

int hold(int32_t pid, const std::string& sink, const std::string& ready) {
  using namespace velmora;
  platform::pipewire::PipeWireBackend backend;
  platform::installAudioBackend(&backend);
  if (!backend.waitUntilConnected(5000)) return 1;
  for (int attempt = 0; attempt < 500; ++attempt) {
    for (const audio::AudioApp& app : audio::AudioApp::all()) {
      const bool owns = std::any_of(app.processes.begin(), app.processes.end(), [&](auto process) {
        return audio::HAL::value<int32_t>(process, kAudioProcessPropertyPID) == pid;
      });
      if (!owns) continue;
      for (const audio::AudioDevice& device : audio::AudioDevice::all()) {
        if (device.uid != sink) continue;
        audio::OutputRouteSpec route;
        route.key = "audio:" + sink;
        route.device = device;
        audio::TapSession session(app, {route}, 1.0f, "held", 0.0,
                                  audio::AudioEngine::sleepingPause());
        std::ofstream(ready) << "started\n";
        for (;;) pause();
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "tone" && argc >= 3)
    return tone(std::atof(argv[2]), argc >= 5 ? std::atof(argv[3]) : 0.0,
                argc >= 5 ? std::atof(argv[4]) : 0.0);
  if (mode == "hold" && argc == 5) return hold(std::atoi(argv[2]), argv[3], argv[4]);
  return 64;
}
