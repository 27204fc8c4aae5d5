// Automatic device rules: the default output and input follow the user's priority lists when the
// set of connected devices changes. Main thread only.
#include <algorithm>

#include "audio/AudioFailure.h"
#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "model/AppModel.h"
#include "model/DeviceRulePolicy.h"

namespace velmora::model {

using settings::AdvancedPreferences;
using settings::DeviceBookmark;

void AppModel::applyAutomaticRules(bool force, std::optional<bool> onlyInput) {
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
  if (!onlyInput) acceptedRuleTopology_ = topology;
  if (!changed) return;

  const AdvancedPreferences advanced = state_.preferences.advanced.value_or(AdvancedPreferences{});
  const std::vector<DeviceBookmark> list = bookmarks();
  for (const bool input : DeviceRulePolicy::enabledDirections(advanced, onlyInput)) {
    AudioObjectID& defaultID = input ? state_.inputID : state_.outputID;
    std::optional<audio::AudioDevice> target;
    std::string targetID;
    for (const DeviceBookmark& candidate : advanced.automaticDevices(input, list)) {
      if ((target = audio::BluetoothAudio::resolve(candidate, input, state_.devices))) {
        targetID = candidate.id;
        break;
      }
    }
    if (!target) continue;  // nothing of the list is connected: the default stays
    const auto current =
        std::find_if(list.begin(), list.end(), [&](const DeviceBookmark& bookmark) {
          const auto resolved = audio::BluetoothAudio::resolve(bookmark, input, state_.devices);
          return resolved && resolved->id == defaultID;
        });
    if (current != list.end() && current->id == targetID) continue;
    // No stopAll here, unlike a manual choice: the refresh's reconcile moves the sessions.
    const AudioObjectPropertyAddress address{input ? kAudioHardwarePropertyDefaultInputDevice
                                                   : kAudioHardwarePropertyDefaultOutputDevice,
                                             kAudioObjectPropertyScopeGlobal,
                                             kAudioObjectPropertyElementMain};
    const AudioObjectID deviceID = target->id;
    try {
      audio::HAL::check(AudioObjectSetPropertyData(kAudioObjectSystemObject, &address, 0, nullptr,
                                                   sizeof deviceID, &deviceID),
                        "设置音频属性");
      defaultID = deviceID;
    } catch (const audio::AudioFailure& failure) {
      setError("自动切换失败：" + failure.message);
    }
  }
}

void AppModel::setAutomatic(bool input, bool enabled) {
  updateAdvanced([&](AdvancedPreferences& advanced) {
    (input ? advanced.autoInput : advanced.autoOutput) = enabled;
  });
  if (!enabled) return;
  applyAutomaticRules(true, input);
  refresh(false);
}

void AppModel::editAutomaticDevices(const std::function<void(AdvancedPreferences&)>& edit) {
  const AdvancedPreferences stored = state_.preferences.advanced.value_or(AdvancedPreferences{});
  AdvancedPreferences edited = stored;
  edit(edited);
  if (edited == stored) return;
  state_.preferences.advanced = std::move(edited);
  save();
  publish();
}

void AppModel::setAutomaticDevice(const std::string& id, bool input, bool included) {
  editAutomaticDevices([&](AdvancedPreferences& advanced) {
    advanced.setAutomaticDevice(id, input, included, bookmarks());
  });
}

void AppModel::moveAutomaticDevice(const std::string& id, bool input, int offset) {
  editAutomaticDevices([&](AdvancedPreferences& advanced) {
    advanced.moveAutomaticDevice(id, input, offset, bookmarks());
  });
}

}  // namespace velmora::model
