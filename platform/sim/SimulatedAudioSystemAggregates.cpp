// Process taps, aggregate devices built from sub-devices and a tap, and the I/O procs on them. An
// aggregate copies its members' streams at creation and puts the tap's streams last on the input.
#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

OSStatus SimulatedAudioSystem::createProcessTap(const TapDescription& description,
                                                AudioObjectID* tap) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::createProcessTap)) return failure;
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
  if (OSStatus failure = callFailure(SimulatedCall::destroyProcessTap)) return failure;
  return taps_.erase(tap) ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
}

OSStatus SimulatedAudioSystem::createAggregateDevice(const AggregateDeviceDescription& description,
                                                     AudioObjectID* device) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::createAggregateDevice)) return failure;
  if (description.uid.empty() || findDeviceByUID(description.uid) != nullptr) {
    return kAudioHardwareIllegalOperationError;
  }
  Aggregate aggregate;
  aggregate.description = description;
  aggregate.outputLooksUntilReady = aggregateOutputDelay_;
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
  if (OSStatus failure = callFailure(SimulatedCall::destroyAggregateDevice)) return failure;
  Device* found = findDevice(device);
  if (found == nullptr || !found->aggregate) return kAudioHardwareBadObjectError;
  removeDeviceLocked(device);
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::createIOProcID(AudioObjectID device, AudioDeviceIOProc proc,
                                              void* clientData, AudioDeviceIOProcID* outID) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::createIOProcID)) return failure;
  Device* found = findDevice(device);
  if (found == nullptr) return kAudioHardwareBadObjectError;
  if (!found->aggregate) return kAudioHardwareIllegalOperationError;
  IOProc created;
  // An opaque handle that no one dereferences, as the system's own are.
  created.id = reinterpret_cast<AudioDeviceIOProcID>(++lastProcID_);
  created.proc = proc;
  created.clientData = clientData;
  found->aggregate->procs.push_back(created);
  *outID = created.id;
  return kAudioHardwareNoError;
}

OSStatus SimulatedAudioSystem::destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) {
  std::lock_guard lock(mutex_);
  if (OSStatus failure = callFailure(SimulatedCall::destroyIOProcID)) return failure;
  Device* found = findDevice(device);
  if (found == nullptr || !found->aggregate) return kAudioHardwareBadObjectError;
  auto& procs = found->aggregate->procs;
  const auto erased = std::erase_if(procs, [&](const IOProc& p) { return p.id == id; });
  return erased > 0 ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
}

OSStatus SimulatedAudioSystem::startDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  return setProcStarted(device, id, true, SimulatedCall::startDevice);
}

OSStatus SimulatedAudioSystem::stopDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  return setProcStarted(device, id, false, SimulatedCall::stopDevice);
}

OSStatus SimulatedAudioSystem::setProcStarted(AudioObjectID device, AudioDeviceIOProcID id,
                                              bool started, SimulatedCall call) {
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
}  // namespace velmora::platform::sim
