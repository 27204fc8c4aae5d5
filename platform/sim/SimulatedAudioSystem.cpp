#include "platform/sim/SimulatedAudioSystem.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

namespace velmora::platform::sim {
namespace {

constexpr AudioObjectPropertyScope kGlobal = kAudioObjectPropertyScopeGlobal;
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

uint32_t DeviceScope::channels() const {
  uint32_t total = 0;
  for (uint32_t s : streams) total += s;
  return total;
}

AudioStreamBasicDescription SimulatedAudioSystem::floatFormat(uint32_t channels, bool interleaved) {
  AudioStreamBasicDescription format{};
  format.sampleRate = kClockRate;
  format.formatID = kAudioFormatLinearPCM;
  format.formatFlags =
      kAudioFormatFlagIsFloat | (interleaved ? 0 : kAudioFormatFlagIsNonInterleaved);
  format.bitsPerChannel = 32;
  format.channelsPerFrame = channels;
  format.framesPerPacket = 1;
  format.bytesPerFrame = interleaved ? 4 * channels : 4;
  format.bytesPerPacket = format.bytesPerFrame;
  return format;
}

SimulatedAudioSystem::SimulatedAudioSystem(const Scenario& scenario) {
  std::lock_guard lock(mutex_);
  for (const ScenarioDevice& device : scenario.devices) addDeviceLocked(device);
  for (const ScenarioProcess& process : scenario.processes) {
    const AudioObjectID id = nextID();
    processes_[id] = Process{id, process, std::vector<double>(process.tones.size(), 0.0)};
  }
  if (const Device* output = findDeviceByUID(scenario.defaultOutputUID))
    defaultOutput_ = output->id;
  if (const Device* input = findDeviceByUID(scenario.defaultInputUID)) defaultInput_ = input->id;
}

SimulatedAudioSystem::~SimulatedAudioSystem() { stopRealTime(); }

AudioObjectID SimulatedAudioSystem::nextID() { return ++lastID_; }

SimulatedAudioSystem::Stream SimulatedAudioSystem::makeStream(uint32_t channels) {
  Stream stream{nextID(), channels, floatFormat(channels)};
  streamFormats_[stream.id] = stream.format;
  return stream;
}

AudioObjectID SimulatedAudioSystem::addDeviceLocked(const ScenarioDevice& config) {
  Device device;
  device.id = nextID();
  device.config = config;
  for (uint32_t channels : config.output.streams)
    device.outputStreams.push_back(makeStream(channels));
  for (uint32_t channels : config.input.streams)
    device.inputStreams.push_back(makeStream(channels));
  device.meter = DeviceMeter(config.output.channels());
  const AudioObjectID id = device.id;
  devices_.emplace(id, std::move(device));
  return id;
}

void SimulatedAudioSystem::removeDeviceLocked(AudioObjectID id) {
  const auto found = devices_.find(id);
  if (found == devices_.end()) return;
  for (const Stream& s : found->second.outputStreams) streamFormats_.erase(s.id);
  for (const Stream& s : found->second.inputStreams) streamFormats_.erase(s.id);
  devices_.erase(found);
  // Like the system: when the default goes away another device takes its place.
  auto replace = [&](AudioObjectID& current, bool input) {
    if (current != id) return;
    current = 0;
    for (const auto& [otherID, other] : devices_) {
      const DeviceScope& scope = input ? other.config.input : other.config.output;
      if (!other.aggregate && other.config.alive && scope.channels() > 0) {
        current = otherID;
        return;
      }
    }
  };
  replace(defaultOutput_, false);
  replace(defaultInput_, true);
}

SimulatedAudioSystem::Device* SimulatedAudioSystem::findDevice(AudioObjectID id) {
  const auto found = devices_.find(id);
  return found == devices_.end() ? nullptr : &found->second;
}

SimulatedAudioSystem::Device* SimulatedAudioSystem::findDeviceByUID(const std::string& uid) {
  for (auto& [id, device] : devices_) {
    if (device.config.uid == uid) return &device;
  }
  return nullptr;
}

const SimulatedAudioSystem::Device* SimulatedAudioSystem::findDeviceByUID(
    const std::string& uid) const {
  return const_cast<SimulatedAudioSystem*>(this)->findDeviceByUID(uid);
}

SimulatedAudioSystem::Process* SimulatedAudioSystem::findProcessByPID(int32_t pid) {
  for (auto& [id, process] : processes_) {
    if (process.config.pid == pid) return &process;
  }
  return nullptr;
}

const SimulatedAudioSystem::Process* SimulatedAudioSystem::findProcessByPID(int32_t pid) const {
  return const_cast<SimulatedAudioSystem*>(this)->findProcessByPID(pid);
}

bool SimulatedAudioSystem::takeFailure(std::map<std::string, Failure>& table,
                                       const std::string& key, OSStatus* status) {
  const auto found = table.find(key);
  if (found == table.end() || found->second.remaining == 0) return false;
  if (found->second.skip > 0) {
    --found->second.skip;
    return false;
  }
  *status = found->second.status;
  if (found->second.remaining > 0) --found->second.remaining;
  return true;
}

OSStatus SimulatedAudioSystem::callFailure(const char* call) {
  OSStatus status = kAudioHardwareNoError;
  takeFailure(callFailures_, call, &status);
  return status;
}

std::optional<OSStatus> SimulatedAudioSystem::propertyFailure(
    const AudioObjectPropertyAddress& address) {
  OSStatus status = kAudioHardwareNoError;
  const std::string selector = std::to_string(address.selector) + "/";
  if (takeFailure(propertyFailures_, selector + std::to_string(address.scope), &status) ||
      takeFailure(propertyFailures_, selector + "0", &status)) {
    return status;
  }
  return std::nullopt;
}

uint32_t SimulatedAudioSystem::outputChannels(const Device& device) const {
  uint32_t total = 0;
  for (const Stream& s : device.outputStreams) total += s.channels;
  return total;
}

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
          if (aggregate != nullptr && aggregate->outputReadsUntilReady > 0) {
            --aggregate->outputReadsUntilReady;
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
            !input && device->aggregate && device->aggregate->outputReadsUntilReady > 0;
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
    case kAudioDevicePropertyStreams:  // reading it would consume a delayed aggregate's reads
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
  if (OSStatus failure = callFailure("AudioObjectGetPropertyDataSize")) return failure;
  std::vector<uint8_t> bytes;
  if (address.selector == kAudioDevicePropertyStreams) {
    // The size of a stream list must not consume a delayed aggregate's reads.
    if (Device* device = findDevice(object); device && device->aggregate) {
      const int pending = device->aggregate->outputReadsUntilReady;
      const OSStatus status = readProperty(object, address, &bytes);
      device->aggregate->outputReadsUntilReady = pending;
      *size = uint32_t(bytes.size());
      return status;
    }
  }
  const OSStatus status = readProperty(object, address, &bytes);
  if (status == kAudioHardwareNoError) *size = uint32_t(bytes.size());
  return status;
}

OSStatus SimulatedAudioSystem::getPropertyData(AudioObjectID object,
                                               const AudioObjectPropertyAddress& address,
                                               uint32_t* size, void* data) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioObjectGetPropertyData")) return failure;
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
  if (OSStatus failure = callFailure("AudioObjectSetPropertyData")) return failure;
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
  if (OSStatus failure = callFailure("AudioObjectGetPropertyData")) return failure;
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
  if (OSStatus failure = callFailure("AudioObjectGetPropertyData")) return failure;
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

OSStatus SimulatedAudioSystem::createProcessTap(const TapDescription& description,
                                                AudioObjectID* tap) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioHardwareCreateProcessTap")) return failure;
  if (description.processes.empty()) return kAudioHardwareIllegalOperationError;
  for (AudioObjectID process : description.processes) {
    if (!processes_.count(process)) return kAudioHardwareBadObjectError;
  }
  Tap created;
  created.id = nextID();
  created.description = description;
  created.uid = "sim-tap-" + std::to_string(++tapCounter_) + "-" + std::to_string(created.id);
  created.format = tapFormat_.value_or(floatFormat(2));
  *tap = created.id;
  taps_.emplace(created.id, std::move(created));
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::destroyProcessTap(AudioObjectID tap) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioHardwareDestroyProcessTap")) return failure;
  return taps_.erase(tap) ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
}

OSStatus SimulatedAudioSystem::createAggregateDevice(const AggregateDeviceDescription& description,
                                                     AudioObjectID* device) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioHardwareCreateAggregateDevice")) return failure;
  if (description.uid.empty() || findDeviceByUID(description.uid) != nullptr) {
    return kAudioHardwareIllegalOperationError;
  }
  Aggregate aggregate;
  aggregate.description = description;
  aggregate.outputReadsUntilReady = aggregateOutputDelay_;
  aggregate.channelSurplus = aggregateChannelSurplus_;
  ScenarioDevice config;
  config.uid = description.uid;
  config.name = description.name;
  config.transport = kAudioDeviceTransportTypeAggregate;
  Device created;
  created.id = nextID();
  // Sub-devices that do not exist are left out, as the system does; the session's checks see it.
  std::vector<const Device*> members;
  for (const auto& member : description.subDevices) {
    const Device* sub = findDeviceByUID(member.uid);
    if (sub == nullptr || sub->aggregate) continue;
    members.push_back(sub);
    aggregate.subDevices.push_back(sub->id);
  }
  const Device* main = findDeviceByUID(description.mainSubDevice);
  config.sampleRate = main != nullptr
                          ? main->config.sampleRate
                          : (members.empty() ? kClockRate : members[0]->config.sampleRate);
  for (const Device* sub : members) {
    for (const Stream& s : sub->outputStreams) {
      created.outputStreams.push_back(makeStream(s.channels));
      config.output.streams.push_back(s.channels);
    }
  }
  for (const Device* sub : members) {
    for (const Stream& s : sub->inputStreams) {
      created.inputStreams.push_back(makeStream(s.channels));
      config.input.streams.push_back(s.channels);
    }
  }
  // The tap's streams come last on the input side.
  for (const auto& member : description.taps) {
    for (auto& [tapID, tap] : taps_) {
      if (tap.uid != member.uid) continue;
      aggregate.tap = tapID;
      const bool interleaved = (tap.format.formatFlags & kAudioFormatFlagIsNonInterleaved) == 0;
      const uint32_t streams = interleaved ? 1 : tap.format.channelsPerFrame;
      for (uint32_t s = 0; s < streams; ++s) {
        Stream stream{nextID(), interleaved ? tap.format.channelsPerFrame : 1, tap.format};
        streamFormats_[stream.id] = stream.format;
        created.inputStreams.push_back(stream);
        config.input.streams.push_back(stream.channels);
      }
    }
  }
  created.config = config;
  created.aggregate = std::move(aggregate);
  *device = created.id;
  devices_.emplace(created.id, std::move(created));
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::destroyAggregateDevice(AudioObjectID device) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioHardwareDestroyAggregateDevice")) return failure;
  Device* found = findDevice(device);
  if (found == nullptr || !found->aggregate) return kAudioHardwareBadObjectError;
  removeDeviceLocked(device);
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::createIOProcID(AudioObjectID device, AudioDeviceIOProc proc,
                                              void* clientData, AudioDeviceIOProcID* outID) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioDeviceCreateIOProcID")) return failure;
  Device* found = findDevice(device);
  if (found == nullptr) return kAudioHardwareBadObjectError;
  if (!found->aggregate) return kAudioHardwareIllegalOperationError;
  IOProc created;
  created.id = reinterpret_cast<AudioDeviceIOProcID>(++lastProcID_);
  created.proc = proc;
  created.clientData = clientData;
  found->aggregate->procs.push_back(created);
  *outID = created.id;
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure("AudioDeviceDestroyIOProcID")) return failure;
  Device* found = findDevice(device);
  if (found == nullptr || !found->aggregate) return kAudioHardwareBadObjectError;
  auto& procs = found->aggregate->procs;
  const auto erased = std::erase_if(procs, [&](const IOProc& p) { return p.id == id; });
  return erased > 0 ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
}

OSStatus SimulatedAudioSystem::startDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  return setProcStarted(device, id, true, "AudioDeviceStart");
}

OSStatus SimulatedAudioSystem::stopDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  return setProcStarted(device, id, false, "AudioDeviceStop");
}

OSStatus SimulatedAudioSystem::setProcStarted(AudioObjectID device, AudioDeviceIOProcID id,
                                              bool started, const char* call) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(call)) return failure;
  Device* found = findDevice(device);
  if (found == nullptr || !found->aggregate) return kAudioHardwareBadObjectError;
  for (IOProc& proc : found->aggregate->procs) {
    if (proc.id == id) {
      proc.started = started;
      return kAudioHardwareNoError;
    }
  }
  return kAudioHardwareBadObjectError;
}

std::optional<std::string> SimulatedAudioSystem::processPath(int32_t pid) {
  std::lock_guard lock(mutex_);
  const Process* process = findProcessByPID(pid);
  if (process == nullptr || process->config.executable.empty()) return std::nullopt;
  return process->config.executable;
}

AudioObjectID SimulatedAudioSystem::addDevice(const ScenarioDevice& device) {
  std::lock_guard lock(mutex_);
  return addDeviceLocked(device);
}

bool SimulatedAudioSystem::removeDevice(const std::string& uid) {
  std::lock_guard lock(mutex_);
  Device* device = findDeviceByUID(uid);
  if (device == nullptr) return false;
  removeDeviceLocked(device->id);
  return true;
}

AudioObjectID SimulatedAudioSystem::reconnectDevice(const std::string& uid,
                                                    const std::optional<ScenarioDevice>& as) {
  std::lock_guard lock(mutex_);
  Device* device = findDeviceByUID(uid);
  if (device == nullptr) return kAudioObjectUnknown;
  const ScenarioDevice config = as.value_or(device->config);
  const AudioObjectID old = device->id;
  const bool wasDefaultOutput = defaultOutput_ == old;
  const bool wasDefaultInput = defaultInput_ == old;
  removeDeviceLocked(old);
  const AudioObjectID id = addDeviceLocked(config);
  if (wasDefaultOutput) defaultOutput_ = id;
  if (wasDefaultInput) defaultInput_ = id;
  return id;
}

bool SimulatedAudioSystem::setDeviceAlive(const std::string& uid, bool alive) {
  std::lock_guard lock(mutex_);
  Device* device = findDeviceByUID(uid);
  if (device == nullptr) return false;
  device->config.alive = alive;
  return true;
}

bool SimulatedAudioSystem::setDefaultDevice(const std::string& uid, bool input) {
  std::lock_guard lock(mutex_);
  Device* device = findDeviceByUID(uid);
  if (device == nullptr) return false;
  (input ? defaultInput_ : defaultOutput_) = device->id;
  return true;
}

AudioObjectID SimulatedAudioSystem::addProcess(const ScenarioProcess& process) {
  std::lock_guard lock(mutex_);
  const AudioObjectID id = nextID();
  processes_[id] = Process{id, process, std::vector<double>(process.tones.size(), 0.0)};
  return id;
}

bool SimulatedAudioSystem::removeProcess(int32_t pid) {
  std::lock_guard lock(mutex_);
  const Process* process = findProcessByPID(pid);
  if (process == nullptr) return false;
  processes_.erase(process->id);
  return true;
}

bool SimulatedAudioSystem::addTone(int32_t pid, const Tone& tone) {
  std::lock_guard lock(mutex_);
  Process* process = findProcessByPID(pid);
  if (process == nullptr) return false;
  process->config.tones.push_back(tone);
  process->phases.push_back(0.0);
  return true;
}

bool SimulatedAudioSystem::setPlaying(int32_t pid, bool playing) {
  std::lock_guard lock(mutex_);
  Process* process = findProcessByPID(pid);
  if (process == nullptr) return false;
  process->config.playing = playing;
  return true;
}

void SimulatedAudioSystem::failCall(const std::string& call, OSStatus status, int times) {
  std::lock_guard lock(mutex_);
  callFailures_[call] = Failure{status, times};
}

void SimulatedAudioSystem::failProperty(AudioObjectPropertySelector selector, OSStatus status,
                                        int times, AudioObjectPropertyScope scope, int skip) {
  std::lock_guard lock(mutex_);
  propertyFailures_[std::to_string(selector) + "/" + std::to_string(scope)] =
      Failure{status, times, skip};
}

void SimulatedAudioSystem::setTapFormat(const AudioStreamBasicDescription& format) {
  std::lock_guard lock(mutex_);
  tapFormat_ = format;
}

void SimulatedAudioSystem::delayAggregateOutputs(int reads) {
  std::lock_guard lock(mutex_);
  aggregateOutputDelay_ = reads;
}

void SimulatedAudioSystem::setAggregateChannelSurplus(int channels) {
  std::lock_guard lock(mutex_);
  aggregateChannelSurplus_ = channels;
}

void SimulatedAudioSystem::setIOProcsSilent(bool silent) {
  std::lock_guard lock(mutex_);
  ioProcsSilent_ = silent;
}

void SimulatedAudioSystem::setStrayOutputChannels(uint32_t channels) {
  std::lock_guard lock(mutex_);
  strayOutputChannels_ = channels;
}

DeviceMeter SimulatedAudioSystem::meter(const std::string& uid) const {
  std::lock_guard lock(mutex_);
  const Device* device = findDeviceByUID(uid);
  return device != nullptr ? device->meter : DeviceMeter();
}

AudioObjectID SimulatedAudioSystem::deviceID(const std::string& uid) const {
  std::lock_guard lock(mutex_);
  const Device* device = findDeviceByUID(uid);
  return device != nullptr ? device->id : AudioObjectID(kAudioObjectUnknown);
}

AudioObjectID SimulatedAudioSystem::processObjectID(int32_t pid) const {
  std::lock_guard lock(mutex_);
  const Process* process = findProcessByPID(pid);
  return process != nullptr ? process->id : AudioObjectID(kAudioObjectUnknown);
}

std::optional<RunningApplication> SimulatedAudioSystem::runningApplication(int32_t pid) const {
  std::lock_guard lock(mutex_);
  const Process* process = findProcessByPID(pid);
  if (process == nullptr) return std::nullopt;
  return process->config.application;
}

std::vector<TapDescription> SimulatedAudioSystem::taps() const {
  std::lock_guard lock(mutex_);
  std::vector<TapDescription> result;
  for (const auto& [id, tap] : taps_) result.push_back(tap.description);
  return result;
}

std::vector<AggregateDeviceDescription> SimulatedAudioSystem::aggregates() const {
  std::lock_guard lock(mutex_);
  std::vector<AggregateDeviceDescription> result;
  for (const auto& [id, device] : devices_) {
    if (device.aggregate) result.push_back(device.aggregate->description);
  }
  return result;
}

std::vector<uint32_t> SimulatedAudioSystem::streamUsage(AudioObjectID aggregate) const {
  std::lock_guard lock(mutex_);
  const auto found = devices_.find(aggregate);
  if (found == devices_.end() || !found->second.aggregate ||
      found->second.aggregate->procs.empty()) {
    return {};
  }
  return found->second.aggregate->procs.front().streamUsage;
}

size_t SimulatedAudioSystem::liveProcessingObjects() const {
  std::lock_guard lock(mutex_);
  size_t count = taps_.size();
  for (const auto& [id, device] : devices_) {
    if (device.aggregate) count += 1 + device.aggregate->procs.size();
  }
  return count;
}

uint64_t SimulatedAudioSystem::periodsRendered() const {
  std::lock_guard lock(mutex_);
  return periods_;
}

bool SimulatedAudioSystem::tapIsRead(const Tap& tap) const {
  for (const auto& [id, device] : devices_) {
    if (!device.aggregate || device.aggregate->tap != tap.id) continue;
    for (const IOProc& proc : device.aggregate->procs) {
      if (proc.started) return true;
    }
  }
  return false;
}

void SimulatedAudioSystem::render(uint32_t periods) {
  std::lock_guard lock(mutex_);
  for (uint32_t p = 0; p < periods; ++p) renderPeriod();
}

void SimulatedAudioSystem::startRealTime() {
  if (realTime_.exchange(true)) return;
  realTimeThread_ = std::thread([this] { runRealTime(); });
}

void SimulatedAudioSystem::stopRealTime() {
  if (!realTime_.exchange(false)) return;
  if (realTimeThread_.joinable()) realTimeThread_.join();
}

// Paces periods like hardware: one every kPeriodFrames / kClockRate seconds.
void SimulatedAudioSystem::runRealTime() {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(kPeriodFrames) / kClockRate));
  auto next = Clock::now();
  while (realTime_.load()) {
    {
      std::lock_guard lock(mutex_);
      renderPeriod();
    }
    next += period;
    std::this_thread::sleep_until(next);
  }
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
      for (uint32_t i = 0; i < frames; ++i) {
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
    for (uint32_t i = 0; i < frames; ++i) {
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
          for (uint32_t i = 0; i < frames; ++i) {
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
