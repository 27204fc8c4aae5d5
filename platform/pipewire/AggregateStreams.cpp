#include "platform/pipewire/AggregateStreams.h"

#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cstring>

namespace velmora::platform::pipewire {
namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kTapChannels = 2;
// The largest cycle the callback can be handed; the server's own limit is 8192 frames.
constexpr uint32_t kMostFrames = 8192;

const spa_pod* floatFormat(spa_pod_builder* builder, uint32_t channels) {
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32;
  info.rate = kRate;
  info.channels = channels;
  if (channels == 1) {
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
  } else {
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
  }
  return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &info);
}

pw_stream_flags flags(int bits) { return static_cast<pw_stream_flags>(bits); }

// Runs on the data thread after every callback queued before it; its release store lets the
// caller's acquire see everything those callbacks did, also for checkers that cannot see the
// server library's own synchronisation.
std::atomic<uint64_t> barriersPassed{0};
int passBarrier(spa_loop*, bool, uint32_t, const void*, size_t, void*) {
  barriersPassed.fetch_add(1, std::memory_order_release);
  return 0;
}

}  // namespace

AggregateStreams::AggregateStreams(pw_core* core, pw_context* context, const std::string& uid,
                                   const std::string& description,
                                   const std::vector<OutputTarget>& outputs, bool trigger)
    : context_(context), trigger_(trigger) {
  dequeued_.assign(outputs.size(), nullptr);
  inputList_.assign(AudioBufferListSize(1), 0);
  outputList_.assign(AudioBufferListSize(uint32_t(outputs.size())), 0);
  reinterpret_cast<AudioBufferList*>(inputList_.data())->numberBuffers = 1;
  reinterpret_cast<AudioBufferList*>(outputList_.data())->numberBuffers = uint32_t(outputs.size());
  silence_.assign(size_t(kMostFrames) * kTapChannels, 0.0f);

  uint8_t buffer[1024];
  for (size_t i = 0; i < outputs.size(); ++i) {
    auto output = std::make_unique<Output>();
    output->channels = outputs[i].channels;
    const std::string name = uid + ".out-" + std::to_string(i);
    // Never follows another device: an output whose device goes is silent until the session is
    // rebuilt. Passive, so the device may sleep while the application is quiet.
    output->stream = pw_stream_new(
        core, name.c_str(),
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                          PW_KEY_MEDIA_CLASS, "Stream/Output/Audio", PW_KEY_NODE_NAME, name.c_str(),
                          PW_KEY_NODE_DESCRIPTION, description.c_str(), PW_KEY_TARGET_OBJECT,
                          outputs[i].nodeName.c_str(), PW_KEY_NODE_DONT_RECONNECT, "true",
                          PW_KEY_NODE_PASSIVE, "true", PW_KEY_NODE_GROUP, uid.c_str(),
                          PW_KEY_NODE_LINK_GROUP, uid.c_str(), nullptr));
    if (output->stream != nullptr) {
      spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
      const spa_pod* params[] = {floatFormat(&builder, output->channels)};
      pw_stream_connect(output->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                        flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                              PW_STREAM_FLAG_RT_PROCESS | (trigger ? PW_STREAM_FLAG_TRIGGER : 0)),
                        params, 1);
    }
    outputs_.push_back(std::move(output));
  }

  // Not connected to anything by the session manager: the applications are moved into it. The
  // internal class keeps it out of the PulseAudio-protocol server's recording streams, so that
  // desktops do not show a microphone in use; the session manager still moves streams into it.
  capture_ = pw_stream_new(
      core, uid.c_str(),
      pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                        PW_KEY_MEDIA_CLASS, "Stream/Input/Audio/Internal", PW_KEY_NODE_NAME,
                        uid.c_str(), PW_KEY_NODE_DESCRIPTION, description.c_str(),
                        PW_KEY_NODE_GROUP, uid.c_str(), PW_KEY_NODE_LINK_GROUP, uid.c_str(),
                        SPA_KEY_AUDIO_POSITION, "FL,FR", nullptr));
  if (capture_ == nullptr) return;
  static const pw_stream_events events = [] {
    pw_stream_events e{};  // the events we do not handle stay null
    e.version = PW_VERSION_STREAM_EVENTS;
    e.process = &AggregateStreams::onProcess;
    return e;
  }();
  pw_stream_add_listener(capture_, &captureListener_, &events, this);
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[] = {floatFormat(&builder, kTapChannels)};
  pw_stream_connect(capture_, PW_DIRECTION_INPUT, PW_ID_ANY,
                    flags(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS), params, 1);
}

AggregateStreams::~AggregateStreams() { release(); }

void AggregateStreams::release() {
  running_.store(false, std::memory_order_release);
  // Outputs quiet first, then the capture that drives them; the capture goes first, so its
  // callback never meets a destroyed output.
  for (const auto& output : outputs_)
    if (output->stream != nullptr) pw_stream_set_active(output->stream, false);
  if (capture_ != nullptr) {
    pw_stream_set_active(capture_, false);
    spa_hook_remove(&captureListener_);
    pw_stream_destroy(capture_);
    capture_ = nullptr;
  }
  for (const auto& output : outputs_) {
    if (output->stream != nullptr) pw_stream_destroy(output->stream);
    output->stream = nullptr;
  }
}

uint32_t AggregateStreams::captureNode() const {
  return capture_ != nullptr ? pw_stream_get_node_id(capture_) : SPA_ID_INVALID;
}

uint32_t AggregateStreams::outputNode(size_t index) const {
  const pw_stream* stream = index < outputs_.size() ? outputs_[index]->stream : nullptr;
  return stream != nullptr ? pw_stream_get_node_id(const_cast<pw_stream*>(stream)) : SPA_ID_INVALID;
}

void AggregateStreams::setProc(AudioObjectID device, AudioDeviceIOProc proc, void* clientData) {
  device_ = device;
  proc_ = proc;
  clientData_ = clientData;
}

void AggregateStreams::start() { running_.store(true, std::memory_order_release); }

void AggregateStreams::stop() {
  running_.store(false, std::memory_order_release);
  pw_data_loop_invoke(pw_context_get_data_loop(context_), &passBarrier, 0, nullptr, 0, true,
                      nullptr);
  barriersPassed.load(std::memory_order_acquire);
}

void AggregateStreams::onProcess(void* data) { static_cast<AggregateStreams*>(data)->process(); }

void AggregateStreams::process() {
  pw_buffer* input = pw_stream_dequeue_buffer(capture_);
  if (input == nullptr) return;
  const spa_data& tap = input->buffer->datas[0];
  const float* samples = silence_.data();
  uint32_t frames = 0;
  if (tap.data != nullptr && tap.chunk != nullptr) {
    const uint32_t offset = std::min(tap.chunk->offset, tap.maxsize);
    const uint32_t size = std::min(tap.chunk->size, tap.maxsize - offset);
    frames = std::min(size / uint32_t(kTapChannels * sizeof(float)), kMostFrames);
    if (frames > 0) samples = SPA_PTROFF(tap.data, offset, const float);
  }
  auto* in = reinterpret_cast<AudioBufferList*>(inputList_.data());
  in->buffers[0] = {kTapChannels, frames * kTapChannels * uint32_t(sizeof(float)),
                    const_cast<float*>(samples)};

  auto* out = reinterpret_cast<AudioBufferList*>(outputList_.data());
  for (size_t i = 0; i < outputs_.size(); ++i) {
    const Output& output = *outputs_[i];
    const uint32_t frameBytes = output.channels * uint32_t(sizeof(float));
    pw_buffer* buffer =
        output.stream != nullptr ? pw_stream_dequeue_buffer(output.stream) : nullptr;
    dequeued_[i] = buffer;
    spa_data* target = buffer != nullptr ? &buffer->buffer->datas[0] : nullptr;
    if (target == nullptr || target->data == nullptr) {
      // The device is gone or not ready: counted, not written.
      out->buffers[i] = {output.channels, frames * frameBytes, nullptr};
      continue;
    }
    const uint32_t bytes = std::min(frames, target->maxsize / frameBytes) * frameBytes;
    std::memset(target->data, 0, bytes);
    out->buffers[i] = {output.channels, bytes, target->data};
  }

  if (running_.load(std::memory_order_acquire)) {
    pw_time time{};
    pw_stream_get_time_n(capture_, &time, sizeof time);
    AudioTimeStamp now{};
    now.sampleTime = double(time.ticks);
    now.hostTime = uint64_t(time.now);
    now.rateScalar = 1.0;
    proc_(device_, &now, in, &now, out, &now, clientData_);
  }

  for (size_t i = 0; i < outputs_.size(); ++i) {
    pw_buffer* buffer = dequeued_[i];
    if (buffer == nullptr) continue;
    spa_data& target = buffer->buffer->datas[0];
    if (target.chunk != nullptr) {
      target.chunk->offset = 0;
      target.chunk->stride = int32_t(outputs_[i]->channels * sizeof(float));
      target.chunk->size = out->buffers[i].data != nullptr ? out->buffers[i].dataByteSize : 0;
    }
    pw_stream_queue_buffer(outputs_[i]->stream, buffer);
  }
  pw_stream_queue_buffer(capture_, input);
  if (trigger_) {
    for (const auto& output : outputs_)
      if (output->stream != nullptr) pw_stream_trigger_process(output->stream);
  }
}

}  // namespace velmora::platform::pipewire
