// Automatic device rules: the default output and input follow the user's priority lists when the
// set of connected devices changes. Main thread only.
#include <algorithm>

#include "audio/HAL.h"
#include "model/AppModel.h"
#include "model/DeviceRulePolicy.h"

namespace velmora::model {

using settings::AdvancedPreferences;
using settings::DeviceBookmark;

void AppModel::applyAutomaticRules(bool force, std::optional<AudioDirection> only) {
  checkMainQueue();
  const std::string topology = currentRuleTopology();
  const double now = services_.mainQueue.clock().now();
  if (candidateRuleTopology_ != topology) {
    candidateRuleTopology_ = topology;
    ruleStableSince_ = now;
  }
  // A device that is still appearing (or flapping) gets no decision yet.
  if (!force && now - ruleStableSince_ < kRuleStability) return;
  // A scene or a Bluetooth selection owns the defaults for now; the accepted topology stays, so
  // a later refresh evaluates the change.
  if (sceneToApply_ || !state_.connectionLabels.empty() || !pending_.empty()) return;
  const bool changed = force || acceptedRuleTopology_ != topology;
  // A forced run of one direction (switching it on) leaves the other direction's change pending.
  if (!only) acceptedRuleTopology_ = topology;
  if (!changed) return;

  const AdvancedPreferences advanced = state_.preferences.advanced.value_or(AdvancedPreferences{});
  const std::vector<DeviceBookmark> list = bookmarks();
  for (const AudioDirection direction : DeviceRulePolicy::enabledDirections(advanced, only)) {
    std::optional<audio::AudioDevice> target;
    std::string targetID;
    for (const DeviceBookmark& candidate : advanced.automaticDevices(direction, list)) {
      if ((target = presentDevice(candidate, direction))) {
        targetID = candidate.id;
        break;
      }
    }
    if (!target) continue;  // nothing of the list is connected: the default stays
    const auto current = currentBookmark(direction);
    if (current && current->id == targetID) continue;
    // No stopAll here, unlike a manual choice: the refresh's reconcile moves the sessions.
    if (const OSStatus status = writeDefaultDevice(direction, target->id); status != 0) {
      setError("自动切换失败：" + audio::HAL::writeFailure(status));
      continue;
    }
    (isInput(direction) ? state_.inputID : state_.outputID) = target->id;
  }
}

void AppModel::setAutomatic(AudioDirection direction, bool enabled) {
  checkMainQueue();
  updateAdvanced([&](AdvancedPreferences& advanced) {
    (isInput(direction) ? advanced.autoInput : advanced.autoOutput) = enabled;
  });
  if (!enabled) return;
  applyAutomaticRules(true, direction);
  refresh(false);
}

void AppModel::editAutomaticDevices(const std::function<void(AdvancedPreferences&)>& edit) {
  checkMainQueue();
  const AdvancedPreferences stored = state_.preferences.advanced.value_or(AdvancedPreferences{});
  AdvancedPreferences edited = stored;
  edit(edited);
  if (edited == stored) return;
  state_.preferences.advanced = std::move(edited);
  save();
  publish();
}

void AppModel::setAutomaticDevice(const std::string& id, AudioDirection direction, bool included) {
  editAutomaticDevices([&](AdvancedPreferences& advanced) {
    advanced.setAutomaticDevice(id, direction, included, bookmarks());
  });
}

void AppModel::moveAutomaticDevice(const std::string& id, AudioDirection direction, int offset) {
  editAutomaticDevices([&](AdvancedPreferences& advanced) {
    advanced.moveAutomaticDevice(id, direction, offset, bookmarks());
  });
}

}  // namespace velmora::model
