// One period of sound: each process's tones mixed to stereo, taps silencing what they capture,
// aggregates' I/O procs called with the capture in and the sub-devices' buffers out, and each
// device applying its volume and mute before its meter hears it. Runs with the mutex held.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

bool SimulatedAudioSystem::tapIsRead(const Tap& tap) const {
  for (const auto& [id, device] : devices_) {
    if (!device.aggregate || device.aggregate->tap != tap.id) continue;
    for (const IOProc& proc : device.aggregate->procs) {
      if (proc.started) return true;
    }
  }
  return false;
}

// One period of the whole machine. Runs with the mutex held.
void SimulatedAudioSystem::renderPeriod() {
  constexpr uint32_t frames = kPeriodFrames;
  // What each playing process plays: a stereo mix of its tones.
  std::map<AudioObjectID, std::vector<float>> mixes;
  for (auto& [id, process] : processes_) {
    if (!process.config.playing || process.config.tones.empty()) continue;
    std::vector<float>& mix = mixes[id];
    mix.assign(size_t(frames) * 2, 0.0f);
    for (size_t t = 0; t < process.config.tones.size(); ++t) {
      const Tone& tone = process.config.tones[t];
      double& phase = process.phases[t];
      const double step = 2.0 * std::numbers::pi * tone.frequency / kClockRate;
      for (size_t i = 0; i < frames; ++i) {
        const float sample = tone.level * float(std::sin(phase));
        mix[2 * i] += sample;
        mix[2 * i + 1] += sample;
        phase = std::fmod(phase + step, 2.0 * std::numbers::pi);
      }
    }
  }

  // Who is heard on the default output: taps silence what they capture.
  std::map<AudioObjectID, bool> heard;
  for (const auto& [id, mix] : mixes) heard[id] = true;
  for (const auto& [tapID, tap] : taps_) {
    const bool silences =
        tap.description.muteBehavior == TapMuteBehavior::muted ||
        (tap.description.muteBehavior == TapMuteBehavior::mutedWhenTapped && tapIsRead(tap));
    if (!silences) continue;
    for (AudioObjectID process : tap.description.processes) heard[process] = false;
  }

  std::map<AudioObjectID, std::vector<float>> played;  // interleaved, per device
  for (auto& [id, device] : devices_) {
    if (!device.aggregate)
      played[id].assign(size_t(frames) * device.config.output.channels(), 0.0f);
  }
  auto addStereo = [&](AudioObjectID deviceID, const std::vector<float>& stereo) {
    auto found = played.find(deviceID);
    if (found == played.end() || found->second.empty()) return;
    const uint32_t channels = uint32_t(found->second.size() / frames);
    for (size_t i = 0; i < frames; ++i) {
      float* frame = found->second.data() + size_t(i) * channels;
      if (channels == 1) {
        frame[0] += (stereo[2 * i] + stereo[2 * i + 1]) * 0.5f;
      } else {
        frame[0] += stereo[2 * i];
        frame[1] += stereo[2 * i + 1];
      }
    }
  };
  for (const auto& [id, mix] : mixes) {
    if (heard[id]) addStereo(defaultOutput_, mix);
  }

  // Aggregates: the tap's capture in, the sub-devices' buffers out, through each started proc.
  const AudioTimeStamp now{double(periods_) * frames, periods_, 1.0, 0};
  for (auto& [id, device] : devices_) {
    if (!device.aggregate || ioProcsSilent_) continue;
    Aggregate& aggregate = *device.aggregate;
    std::vector<float> capture(size_t(frames) * 2, 0.0f);
    const auto tap = taps_.find(aggregate.tap);
    if (tap != taps_.end()) {
      for (AudioObjectID process : tap->second.description.processes) {
        const auto mix = mixes.find(process);
        if (mix == mixes.end()) continue;
        for (size_t s = 0; s < capture.size(); ++s) capture[s] += mix->second[s];
      }
    }
    for (IOProc& proc : aggregate.procs) {
      if (!proc.started) continue;
      const size_t inputCount = device.inputStreams.size();
      std::vector<std::vector<float>> inputData(inputCount);
      std::vector<uint8_t> inputList(AudioBufferListSize(uint32_t(inputCount)), 0);
      auto* in = reinterpret_cast<AudioBufferList*>(inputList.data());
      in->numberBuffers = uint32_t(inputCount);
      const size_t firstTapStream = [&] {
        size_t microphones = 0;
        for (AudioObjectID sub : aggregate.subDevices) {
          if (const auto found = devices_.find(sub); found != devices_.end()) {
            microphones += found->second.inputStreams.size();
          }
        }
        return std::min(microphones, inputCount);
      }();
      for (size_t s = 0; s < inputCount; ++s) {
        const Stream& stream = device.inputStreams[s];
        const bool off = s < proc.streamUsage.size() && proc.streamUsage[s] == 0;
        if (off) {
          in->buffers[s] = {stream.channels, 0, nullptr};
          continue;
        }
        std::vector<float>& data = inputData[s];
        data.assign(size_t(frames) * stream.channels, 0.0f);
        if (s >= firstTapStream && tap != taps_.end()) {
          const AudioStreamBasicDescription& format = tap->second.format;
          const bool interleaved = (format.formatFlags & kAudioFormatFlagIsNonInterleaved) == 0;
          const uint32_t tapChannel = interleaved ? 0 : uint32_t(s - firstTapStream);
          for (size_t i = 0; i < frames; ++i) {
            for (uint32_t c = 0; c < stream.channels; ++c) {
              const uint32_t channel = interleaved ? c : tapChannel;
              const float left = capture[2 * i];
              const float right = capture[2 * i + 1];
              const float value = format.channelsPerFrame == 1 ? (left + right) * 0.5f
                                                               : (channel == 1 ? right : left);
              data[size_t(i) * stream.channels + c] = channel < 2 ? value : 0.0f;
            }
          }
        }
        in->buffers[s] = {stream.channels, uint32_t(data.size() * sizeof(float)), data.data()};
      }
      const size_t outputCount = device.outputStreams.size();
      const size_t bufferCount = outputCount + (strayOutputChannels_ > 0 ? 1 : 0);
      std::vector<std::vector<float>> outputData(bufferCount);
      std::vector<uint8_t> outputList(AudioBufferListSize(uint32_t(bufferCount)), 0);
      auto* out = reinterpret_cast<AudioBufferList*>(outputList.data());
      out->numberBuffers = uint32_t(bufferCount);
      for (size_t s = 0; s < bufferCount; ++s) {
        const uint32_t channels =
            s < outputCount ? device.outputStreams[s].channels : strayOutputChannels_;
        outputData[s].assign(size_t(frames) * channels, 0.0f);
        out->buffers[s] = {channels, uint32_t(outputData[s].size() * sizeof(float)),
                           outputData[s].data()};
      }
      proc.proc(id, &now, in, &now, out, &now, proc.clientData);
      // What the proc wrote is what the sub-devices play, stream by stream.
      size_t stream = 0;
      for (AudioObjectID sub : aggregate.subDevices) {
        const auto subDevice = devices_.find(sub);
        if (subDevice == devices_.end()) continue;
        std::vector<float>& target = played[sub];
        const uint32_t channels = subDevice->second.config.output.channels();
        uint32_t firstChannel = 0;
        for (const Stream& subStream : subDevice->second.outputStreams) {
          if (stream >= outputCount) break;
          const std::vector<float>& written = outputData[stream++];
          for (uint32_t i = 0; i < frames; ++i) {
            for (uint32_t c = 0; c < subStream.channels; ++c) {
              target[size_t(i) * channels + firstChannel + c] +=
                  written[size_t(i) * subStream.channels + c];
            }
          }
          firstChannel += subStream.channels;
        }
      }
    }
  }

  // Each device applies its volume and mute, then plays.
  for (auto& [id, device] : devices_) {
    if (device.aggregate) continue;
    std::vector<float>& samples = played[id];
    const DeviceScope& output = device.config.output;
    const uint32_t channels = output.channels();
    if (channels == 0) continue;
    const bool muted = output.mute && output.mute->muted;
    std::vector<float> gains(channels, muted ? 0.0f : 1.0f);
    for (const VolumeElement& e : output.volume) {
      if (e.element == 0) {
        for (float& g : gains) g *= e.value;
      } else if (e.element <= channels) {
        gains[e.element - 1] *= e.value;
      }
    }
    for (uint32_t i = 0; i < frames; ++i) {
      for (uint32_t c = 0; c < channels; ++c) samples[size_t(i) * channels + c] *= gains[c];
    }
    device.meter.append(samples.data(), frames);
  }
  ++periods_;
}
}  // namespace velmora::platform::sim
