// The simulated system's object table: devices with their streams, processes, the defaults, the
// machine changes tests and demos make at run time and the look-ups they read back. Property reads,
// faults, taps and aggregates, the mix and the real-time thread live in the SimulatedAudioSystem*
// files beside this one, all on the one mutex this class holds.
#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

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
}  // namespace velmora::platform::sim
