// Fault injection: statuses for named calls and for property reads, and the odd behaviours of a
// real system (late aggregate outputs, surplus channels, silent or stray I/O procs) that the engine
// must survive. Tests set them; the calls consume them under the mutex.
#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

// One read or call against a fault: skipped reads pass, then `remaining` calls fail (negative:
// all).
bool SimulatedAudioSystem::consume(Failure& failure, OSStatus* status) {
  if (failure.remaining == 0) return false;
  if (failure.skip > 0) {
    --failure.skip;
    return false;
  }
  *status = failure.status;
  if (failure.remaining > 0) --failure.remaining;
  return true;
}

OSStatus SimulatedAudioSystem::callFailure(SimulatedCall call) {
  OSStatus status = kAudioHardwareNoError;
  if (const auto found = callFailures_.find(call); found != callFailures_.end()) {
    consume(found->second, &status);
  }
  return status;
}

std::optional<OSStatus> SimulatedAudioSystem::propertyFailure(
    const AudioObjectPropertyAddress& address) {
  OSStatus status = kAudioHardwareNoError;
  // A fault for this scope first, then one for any scope (0), each read counted once.
  auto take = [&](AudioObjectPropertyScope scope) {
    const auto found = propertyFailures_.find({address.selector, scope});
    return found != propertyFailures_.end() && consume(found->second, &status);
  };
  if (take(address.scope) || (address.scope != 0 && take(0))) return status;
  return std::nullopt;
}

void SimulatedAudioSystem::failCall(SimulatedCall call, OSStatus status, int times) {
  std::lock_guard lock(mutex_);
  callFailures_[call] = Failure{status, times};
}

void SimulatedAudioSystem::failProperty(AudioObjectPropertySelector selector, OSStatus status,
                                        int times, AudioObjectPropertyScope scope, int skip) {
  std::lock_guard lock(mutex_);
  propertyFailures_[{selector, scope}] = Failure{status, times, skip};
}

void SimulatedAudioSystem::setTapFormat(const AudioStreamBasicDescription& format) {
  std::lock_guard lock(mutex_);
  tapFormat_ = format;
}

void SimulatedAudioSystem::delayAggregateOutputs(int looks) {
  std::lock_guard lock(mutex_);
  aggregateOutputDelay_ = looks;
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
}  // namespace velmora::platform::sim
