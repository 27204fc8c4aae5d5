// Property reads and writes of the simulated system: what the object table answers for each
// selector, lists cut to the caller's buffer like the system does, and the settable volumes, mutes,
// defaults and stream usage. Every entry point takes the mutex; readProperty runs with it held.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {
namespace {

constexpr AudioObjectPropertyScope kInput = kAudioObjectPropertyScopeInput;
constexpr AudioObjectPropertyScope kOutput = kAudioObjectPropertyScopeOutput;

template <class T>
void append(std::vector<uint8_t>& bytes, const T& value) {
  const auto* raw = reinterpret_cast<const uint8_t*>(&value);
  bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

template <class T>
std::vector<uint8_t> bytesOf(const T& value) {
  std::vector<uint8_t> bytes;
  append(bytes, value);
  return bytes;
}

std::vector<uint8_t> idList(const std::vector<AudioObjectID>& ids) {
  std::vector<uint8_t> bytes;
  for (AudioObjectID id : ids) append(bytes, id);
  return bytes;
}

template <class T>
bool readValue(uint32_t size, const void* data, T* value) {
  if (size != sizeof(T) || data == nullptr) return false;
  std::memcpy(value, data, sizeof(T));
  return true;
}

}  // namespace

// Reads a plain-data property into bytes; the text-valued ones have their own calls.
OSStatus SimulatedAudioSystem::readProperty(AudioObjectID object,
                                            const AudioObjectPropertyAddress& address,
                                            std::vector<uint8_t>* bytes) {
  if (auto failure = propertyFailure(address)) return *failure;
  const AudioObjectPropertySelector selector = address.selector;
  if (object == kAudioObjectSystemObject) {
    switch (selector) {
      case kAudioHardwarePropertyDevices: {
        std::vector<AudioObjectID> ids;
        for (const auto& [id, device] : devices_) ids.push_back(id);
        *bytes = idList(ids);
        return kAudioHardwareNoError;
      }
      case kAudioHardwarePropertyProcessObjectList: {
        std::vector<AudioObjectID> ids;
        for (const auto& [id, process] : processes_) ids.push_back(id);
        *bytes = idList(ids);
        return kAudioHardwareNoError;
      }
      case kAudioHardwarePropertyDefaultOutputDevice:
        *bytes = bytesOf(defaultOutput_);
        return kAudioHardwareNoError;
      case kAudioHardwarePropertyDefaultInputDevice:
        *bytes = bytesOf(defaultInput_);
        return kAudioHardwareNoError;
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  if (Device* device = findDevice(object)) {
    const bool input = address.scope == kInput;
    const DeviceScope& scope = input ? device->config.input : device->config.output;
    switch (selector) {
      case kAudioDevicePropertyDeviceIsAlive:
        *bytes = bytesOf(uint32_t(device->config.alive ? 1 : 0));
        return kAudioHardwareNoError;
      case kAudioDevicePropertyTransportType:
        *bytes = bytesOf(device->config.transport);
        return kAudioHardwareNoError;
      case kAudioDevicePropertyNominalSampleRate:
        *bytes = bytesOf(device->config.sampleRate);
        return kAudioHardwareNoError;
      case kAudioDevicePropertyStreams: {
        std::vector<AudioObjectID> ids;
        if (address.scope != kInput) {
          Aggregate* aggregate = device->aggregate ? &*device->aggregate : nullptr;
          if (aggregate != nullptr && aggregate->outputLooksUntilReady > 0) {
            --aggregate->outputLooksUntilReady;
          } else {
            for (const Stream& s : device->outputStreams) ids.push_back(s.id);
          }
        }
        if (address.scope != kOutput) {
          for (const Stream& s : device->inputStreams) ids.push_back(s.id);
        }
        *bytes = idList(ids);
        return kAudioHardwareNoError;
      }
      case kAudioDevicePropertyStreamConfiguration: {
        if (address.scope != kInput && address.scope != kOutput)
          return kAudioHardwareUnknownPropertyError;
        std::vector<uint32_t> buffers;
        const auto& streams = input ? device->inputStreams : device->outputStreams;
        const bool hidden =
            !input && device->aggregate && device->aggregate->outputLooksUntilReady > 0;
        if (!hidden) {
          for (const Stream& s : streams) buffers.push_back(s.channels);
          if (!input && device->aggregate && device->aggregate->channelSurplus > 0) {
            buffers.push_back(uint32_t(device->aggregate->channelSurplus));
          }
        }
        bytes->assign(AudioBufferListSize(uint32_t(buffers.size())), 0);
        auto* list = reinterpret_cast<AudioBufferList*>(bytes->data());
        list->numberBuffers = uint32_t(buffers.size());
        for (size_t b = 0; b < buffers.size(); ++b) list->buffers[b] = {buffers[b], 0, nullptr};
        return kAudioHardwareNoError;
      }
      case kAudioDevicePropertyVolumeScalar:
        for (const VolumeElement& e : scope.volume) {
          if (e.element == address.element) {
            *bytes = bytesOf(e.value);
            return kAudioHardwareNoError;
          }
        }
        return kAudioHardwareUnknownPropertyError;
      case kAudioDevicePropertyMute:
        if (!scope.mute || address.element != kAudioObjectPropertyElementMain) {
          return kAudioHardwareUnknownPropertyError;
        }
        *bytes = bytesOf(uint32_t(scope.mute->muted ? 1 : 0));
        return kAudioHardwareNoError;
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  if (const auto process = processes_.find(object); process != processes_.end()) {
    const ScenarioProcess& config = process->second.config;
    switch (selector) {
      case kAudioProcessPropertyPID:
        *bytes = bytesOf(config.pid);
        return kAudioHardwareNoError;
      case kAudioProcessPropertyIsRunningOutput:
        *bytes = bytesOf(uint32_t(config.playing && !config.tones.empty() ? 1 : 0));
        return kAudioHardwareNoError;
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  if (const auto tap = taps_.find(object); tap != taps_.end()) {
    if (selector != kAudioTapPropertyFormat) return kAudioHardwareUnknownPropertyError;
    *bytes = bytesOf(tap->second.format);
    return kAudioHardwareNoError;
  }
  if (const auto stream = streamFormats_.find(object); stream != streamFormats_.end()) {
    if (selector != kAudioStreamPropertyVirtualFormat) return kAudioHardwareUnknownPropertyError;
    *bytes = bytesOf(stream->second);
    return kAudioHardwareNoError;
  }
  return kAudioHardwareBadObjectError;
}

bool SimulatedAudioSystem::hasProperty(AudioObjectID object,
                                       const AudioObjectPropertyAddress& address) {
  std::lock_guard lock(mutex_);
  if (address.selector == kAudioDevicePropertyVolumeScalar ||
      address.selector == kAudioDevicePropertyMute) {
    const Device* device = findDevice(object);
    if (device == nullptr) return false;
    const DeviceScope& scope =
        address.scope == kInput ? device->config.input : device->config.output;
    if (address.selector == kAudioDevicePropertyMute) {
      return scope.mute.has_value() && address.element == kAudioObjectPropertyElementMain;
    }
    return std::any_of(scope.volume.begin(), scope.volume.end(),
                       [&](const VolumeElement& e) { return e.element == address.element; });
  }
  std::vector<uint8_t> ignored;
  std::string text;
  switch (address.selector) {
    case kAudioDevicePropertyDeviceUID:
    case kAudioObjectPropertyName:
      return findDevice(object) != nullptr;
    case kAudioProcessPropertyBundleID:
      return processes_.count(object) > 0;
    case kAudioTapPropertyUID:
      return taps_.count(object) > 0;
    case kAudioAggregateDevicePropertyFullSubDeviceList: {
      const Device* device = findDevice(object);
      return device != nullptr && device->aggregate.has_value();
    }
    case kAudioDevicePropertyStreams:  // reading it would count as a look at a delayed aggregate
      return findDevice(object) != nullptr;
    default:
      return readProperty(object, address, &ignored) == kAudioHardwareNoError;
  }
}

OSStatus SimulatedAudioSystem::isPropertySettable(AudioObjectID object,
                                                  const AudioObjectPropertyAddress& address,
                                                  bool* settable) {
  std::lock_guard lock(mutex_);
  *settable = false;
  if (object == kAudioObjectSystemObject) {
    *settable = address.selector == kAudioHardwarePropertyDefaultOutputDevice ||
                address.selector == kAudioHardwarePropertyDefaultInputDevice;
    return kAudioHardwareNoError;
  }
  Device* device = findDevice(object);
  if (device == nullptr) {
    return processes_.count(object) || taps_.count(object) || streamFormats_.count(object)
               ? kAudioHardwareNoError
               : kAudioHardwareBadObjectError;
  }
  const DeviceScope& scope = address.scope == kInput ? device->config.input : device->config.output;
  switch (address.selector) {
    case kAudioDevicePropertyVolumeScalar:
      for (const VolumeElement& e : scope.volume) {
        if (e.element == address.element) {
          *settable = e.settable;
          return kAudioHardwareNoError;
        }
      }
      return kAudioHardwareUnknownPropertyError;
    case kAudioDevicePropertyMute:
      if (!scope.mute) return kAudioHardwareUnknownPropertyError;
      *settable = scope.mute->settable;
      return kAudioHardwareNoError;
    case kAudioDevicePropertyIOProcStreamUsage:
      *settable = device->aggregate.has_value();
      return kAudioHardwareNoError;
    default:
      return kAudioHardwareNoError;
  }
}

OSStatus SimulatedAudioSystem::getPropertyDataSize(AudioObjectID object,
                                                   const AudioObjectPropertyAddress& address,
                                                   uint32_t* size) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::getPropertyDataSize)) return failure;
  // A size query is a look at a delayed aggregate's outputs too: callers stop at a size of 0.
  std::vector<uint8_t> bytes;
  const OSStatus status = readProperty(object, address, &bytes);
  if (status == kAudioHardwareNoError) *size = uint32_t(bytes.size());
  return status;
}

OSStatus SimulatedAudioSystem::getPropertyData(AudioObjectID object,
                                               const AudioObjectPropertyAddress& address,
                                               uint32_t* size, void* data) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::getPropertyData)) return failure;
  std::vector<uint8_t> bytes;
  const OSStatus status = readProperty(object, address, &bytes);
  if (status != kAudioHardwareNoError) return status;
  const bool isList = address.selector == kAudioHardwarePropertyDevices ||
                      address.selector == kAudioHardwarePropertyProcessObjectList ||
                      address.selector == kAudioDevicePropertyStreams;
  if (*size < bytes.size()) {
    // Lists hand out what fits, like the system; a fixed-size value that does not fit is refused.
    if (!isList) return kAudioHardwareBadPropertySizeError;
    bytes.resize(*size / sizeof(AudioObjectID) * sizeof(AudioObjectID));
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = uint32_t(bytes.size());
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::setPropertyData(AudioObjectID object,
                                               const AudioObjectPropertyAddress& address, uint32_t,
                                               const void*, uint32_t dataSize, const void* data) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::setPropertyData)) return failure;
  if (object == kAudioObjectSystemObject) {
    const bool input = address.selector == kAudioHardwarePropertyDefaultInputDevice;
    if (!input && address.selector != kAudioHardwarePropertyDefaultOutputDevice) {
      return kAudioHardwareUnknownPropertyError;
    }
    AudioObjectID id = 0;
    if (!readValue(dataSize, data, &id)) return kAudioHardwareBadPropertySizeError;
    const Device* device = findDevice(id);
    if (device == nullptr || !device->config.alive) return kAudioHardwareBadObjectError;
    const DeviceScope& scope = input ? device->config.input : device->config.output;
    if (scope.channels() == 0) return kAudioHardwareIllegalOperationError;
    (input ? defaultInput_ : defaultOutput_) = id;
    return kAudioHardwareNoError;
  }
  Device* device = findDevice(object);
  if (device == nullptr) return kAudioHardwareBadObjectError;
  DeviceScope& scope = address.scope == kInput ? device->config.input : device->config.output;
  switch (address.selector) {
    case kAudioDevicePropertyVolumeScalar: {
      float value = 0.0f;
      if (!readValue(dataSize, data, &value)) return kAudioHardwareBadPropertySizeError;
      if (!std::isfinite(value)) return kAudio_ParamError;
      for (VolumeElement& e : scope.volume) {
        if (e.element != address.element) continue;
        if (!e.settable) return kAudioHardwareIllegalOperationError;
        e.value = std::clamp(value, 0.0f, 1.0f);
        return kAudioHardwareNoError;
      }
      return kAudioHardwareUnknownPropertyError;
    }
    case kAudioDevicePropertyMute: {
      uint32_t value = 0;
      if (!readValue(dataSize, data, &value)) return kAudioHardwareBadPropertySizeError;
      if (!scope.mute || address.element != kAudioObjectPropertyElementMain) {
        return kAudioHardwareUnknownPropertyError;
      }
      if (!scope.mute->settable) return kAudioHardwareIllegalOperationError;
      scope.mute->muted = value != 0;
      return kAudioHardwareNoError;
    }
    case kAudioDevicePropertyIOProcStreamUsage: {
      if (!device->aggregate || address.scope != kInput) return kAudioHardwareIllegalOperationError;
      const size_t header = AudioHardwareIOProcStreamUsageSize(0);
      if (data == nullptr || dataSize < header) return kAudioHardwareBadPropertySizeError;
      const auto* usage = static_cast<const AudioHardwareIOProcStreamUsage*>(data);
      if (dataSize != AudioHardwareIOProcStreamUsageSize(usage->numberStreams) ||
          usage->numberStreams != device->inputStreams.size()) {
        return kAudioHardwareBadPropertySizeError;
      }
      for (IOProc& proc : device->aggregate->procs) {
        if (proc.id != usage->ioProc) continue;
        proc.streamUsage.assign(usage->streamIsOn, usage->streamIsOn + usage->numberStreams);
        return kAudioHardwareNoError;
      }
      return kAudioHardwareBadObjectError;
    }
    default:
      return kAudioHardwareUnknownPropertyError;
  }
}

OSStatus SimulatedAudioSystem::getPropertyString(AudioObjectID object,
                                                 const AudioObjectPropertyAddress& address,
                                                 std::string* value) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::getPropertyData)) return failure;
  if (auto failure = propertyFailure(address)) return *failure;
  if (const Device* device = findDevice(object)) {
    if (address.selector == kAudioDevicePropertyDeviceUID) {
      *value = device->config.uid;
      return kAudioHardwareNoError;
    }
    if (address.selector == kAudioObjectPropertyName) {
      *value = device->config.name;
      return kAudioHardwareNoError;
    }
    return kAudioHardwareUnknownPropertyError;
  }
  if (const auto process = processes_.find(object); process != processes_.end()) {
    if (address.selector != kAudioProcessPropertyBundleID)
      return kAudioHardwareUnknownPropertyError;
    *value = process->second.config.bundleID;
    return kAudioHardwareNoError;
  }
  if (const auto tap = taps_.find(object); tap != taps_.end()) {
    if (address.selector != kAudioTapPropertyUID) return kAudioHardwareUnknownPropertyError;
    *value = tap->second.uid;
    return kAudioHardwareNoError;
  }
  return object == kAudioObjectSystemObject ? kAudioHardwareUnknownPropertyError
                                            : kAudioHardwareBadObjectError;
}

OSStatus SimulatedAudioSystem::getPropertyStrings(AudioObjectID object,
                                                  const AudioObjectPropertyAddress& address,
                                                  std::vector<std::string>* value) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::getPropertyData)) return failure;
  if (auto failure = propertyFailure(address)) return *failure;
  const Device* device = findDevice(object);
  if (device == nullptr) return kAudioHardwareBadObjectError;
  if (address.selector != kAudioAggregateDevicePropertyFullSubDeviceList || !device->aggregate) {
    return kAudioHardwareUnknownPropertyError;
  }
  value->clear();
  for (AudioObjectID id : device->aggregate->subDevices) {
    if (const auto found = devices_.find(id); found != devices_.end()) {
      value->push_back(found->second.config.uid);
    }
  }
  return kAudioHardwareNoError;
}
}  // namespace velmora::platform::sim
