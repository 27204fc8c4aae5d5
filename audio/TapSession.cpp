#include "audio/TapSession.h"

#include <set>

#include "audio/AudioFailure.h"
#include "audio/HAL.h"
#include "platform/audio/AudioHardware.h"
#include "platform/identity/RandomUUID.h"

namespace velmora::audio {
namespace {

constexpr int kOutputAttempts = 25;
constexpr double kOutputAttemptPause = 0.02;
constexpr double kFallbackSampleRate = 48000.0;

// 32-bit native-endian float PCM: what the render cycle reads and writes.
bool acceptedFormat(const AudioStreamBasicDescription& format) {
  return format.formatID == uint32_t(kAudioFormatLinearPCM) && format.bitsPerChannel == 32 &&
         (format.formatFlags & kAudioFormatFlagIsFloat) != 0 &&
         (format.formatFlags & kAudioFormatFlagIsBigEndian) == 0;
}

bool streamsAccepted(const std::vector<AudioObjectID>& streams) {
  for (AudioObjectID stream : streams) {
    const auto format =
        HAL::value<AudioStreamBasicDescription>(stream, kAudioStreamPropertyVirtualFormat);
    if (!format || !acceptedFormat(*format)) return false;
  }
  return true;
}

int totalOutputs(const std::vector<OutputRouteSpec>& routes) {
  int total = 0;
  for (const OutputRouteSpec& route : routes) total += route.device.outputs;
  return total;
}

}  // namespace

TapSession::TapSession(const AudioApp& app, const std::vector<OutputRouteSpec>& routes, float gain,
                       std::string signature, double started, const Pause& pause)
    : signature_(std::move(signature)), started_(started) {
  std::set<std::string> uids;
  bool valid = !routes.empty() && routes.size() <= OMRouteLimit;
  for (const OutputRouteSpec& route : routes) {
    valid = valid && (route.device.outputs == 1 || route.device.outputs == 2) &&
            uids.insert(route.device.uid).second;
  }
  if (!valid) throw AudioFailure("请选择 1–4 个不同的单声道或双声道输出设备。");
  try {
    build(app, routes, gain, pause);
  } catch (...) {
    stop();
    throw;
  }
}

TapSession::~TapSession() { stop(); }

void TapSession::build(const AudioApp& app, const std::vector<OutputRouteSpec>& routes, float gain,
                       const Pause& pause) {
  const std::string name = kProcessingNamePrefix + app.name;
  const platform::TapDescription tapDescription{app.processes, name, true,
                                                platform::TapMuteBehavior::mutedWhenTapped};
  HAL::check(AudioHardwareCreateProcessTap(tapDescription, &tap_), "创建应用音频通道");

  const auto tapFormat = HAL::value<AudioStreamBasicDescription>(tap_, kAudioTapPropertyFormat);
  if (!tapFormat || !acceptedFormat(*tapFormat) ||
      (tapFormat->channelsPerFrame != 1 && tapFormat->channelsPerFrame != 2)) {
    throw AudioFailure("此应用的音频格式暂不支持，已保留原始输出。");
  }
  const std::string tapUID = HAL::string(tap_, kAudioTapPropertyUID);
  if (tapUID.empty()) throw AudioFailure("无法读取音频通道标识。");
  const uint32_t tapBufferCount = (tapFormat->formatFlags & kAudioFormatFlagIsNonInterleaved) != 0
                                      ? tapFormat->channelsPerFrame
                                      : 1;

  platform::AggregateDeviceDescription description;
  description.name = name;
  description.uid = kAggregateUIDPrefix + platform::randomUUID();
  description.isPrivate = true;
  description.stacked = 0;
  description.mainSubDevice = routes[0].device.uid;
  for (size_t i = 0; i < routes.size(); ++i)
    description.subDevices.push_back({routes[i].device.uid, i > 0});
  description.taps = {{tapUID, true}};
  description.tapAutoStart = false;
  HAL::check(AudioHardwareCreateAggregateDevice(description, &aggregate_), "连接输出设备");

  // A new aggregate takes a moment to show its outputs with their channels.
  const int expectedOutputs = totalOutputs(routes);
  std::vector<AudioObjectID> outputStreams;
  for (int attempt = 1; attempt <= kOutputAttempts; ++attempt) {
    outputStreams =
        HAL::objects(aggregate_, kAudioDevicePropertyStreams, kAudioObjectPropertyScopeOutput);
    if (!outputStreams.empty() &&
        HAL::channels(aggregate_, kAudioObjectPropertyScopeOutput) == expectedOutputs) {
      break;
    }
    pause(kOutputAttemptPause);
  }
  if (outputStreams.empty()) throw AudioFailure("输出设备尚未准备就绪，请重试。");
  if (!streamsAccepted(outputStreams))
    throw AudioFailure("当前输出格式不是受支持的 32 位浮点音频。");

  const auto inputStreams =
      HAL::objects(aggregate_, kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput);
  if (inputStreams.size() < tapBufferCount) throw AudioFailure("聚合音频输入未就绪。");
  if (!streamsAccepted({inputStreams.end() - tapBufferCount, inputStreams.end()})) {
    throw AudioFailure("输入音频格式不受支持。");
  }
  const double sampleRate = HAL::value<double>(aggregate_, kAudioDevicePropertyNominalSampleRate)
                                .value_or(kFallbackSampleRate);

  std::vector<std::string> expectedMembers;
  expectedMembers.reserve(routes.size());
  for (const OutputRouteSpec& route : routes) expectedMembers.push_back(route.device.uid);
  if (HAL::strings(aggregate_, kAudioAggregateDevicePropertyFullSubDeviceList) != expectedMembers ||
      HAL::channels(aggregate_, kAudioObjectPropertyScopeOutput) != expectedOutputs) {
    throw AudioFailure("输出声道排列与设备配置不一致，已保留原始声音。");
  }

  state_ = OMCreateState(tapBufferCount, gain, sampleRate);
  if (state_ == nullptr) throw AudioFailure("音频缓冲初始化失败。");
  uint32_t firstChannel = 0;
  for (size_t i = 0; i < routes.size(); ++i) {
    const auto channels = uint32_t(routes[i].device.outputs);
    if (!OMConfigureRoute(state_, uint32_t(i), firstChannel, channels)) {
      throw AudioFailure("多输出声道配置失败。");
    }
    firstChannel += channels;
  }
  for (const OutputRouteSpec& route : routes) routeKeys_.push_back(route.key);
  setRoutingParameters(routes);

  HAL::check(OMRegisterIOProc(aggregate_, state_, &ioProc_), "创建音频处理回调");
  if (inputStreams.size() > tapBufferCount && ioProc_ != nullptr) {
    // Only the tap's streams: the output devices' own microphones stay closed.
    HAL::check(
        OMEnableTapInputsOnly(aggregate_, ioProc_, uint32_t(inputStreams.size()), tapBufferCount),
        "关闭不需要的硬件输入");
  }
  HAL::check(AudioDeviceStart(aggregate_, ioProc_), "启动音频处理（请检查系统音频录制权限）");
}

void TapSession::setRoutingParameters(const std::vector<OutputRouteSpec>& routes) {
  if (state_ == nullptr || routeKeys_.empty()) return;
  for (size_t i = 0; i < routeKeys_.size(); ++i) {
    for (const OutputRouteSpec& route : routes) {
      if (route.key != routeKeys_[i]) continue;
      const auto index = uint32_t(i);
      OMSetRouteGain(state_, index, route.gain);
      OMSetRouteBoost(state_, index, route.boost);
      const auto bands = route.eq.normalizedBands();
      OMSetRouteEQ(state_, index, route.eq.enabled, bands.data());
      break;
    }
  }
}

void TapSession::stop() {
  // The proc first, so it can no longer run; the tap last, which gives the application its own
  // sound back; the state only once nothing can render it.
  if (ioProc_ != nullptr && aggregate_ != 0) {
    AudioDeviceStop(aggregate_, ioProc_);
    AudioDeviceDestroyIOProcID(aggregate_, ioProc_);
  }
  ioProc_ = nullptr;
  if (aggregate_ != 0) {
    AudioHardwareDestroyAggregateDevice(aggregate_);
    aggregate_ = 0;
  }
  if (tap_ != 0) {
    AudioHardwareDestroyProcessTap(tap_);
    tap_ = 0;
  }
  if (state_ != nullptr) {
    OMDestroyState(state_);
    state_ = nullptr;
  }
}

}  // namespace velmora::audio
