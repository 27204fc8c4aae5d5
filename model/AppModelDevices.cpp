// Choosing the default devices, and the seams where device selection, automatic rules and
// scenes hook into the refresh.
#include <algorithm>

#include "audio/AudioFailure.h"
#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "model/AppModel.h"

namespace velmora::model {

std::string AppModel::currentRuleTopology() const {
  std::vector<std::string> entries;
  for (const settings::DeviceBookmark& bookmark : bookmarks()) {
    const auto output = audio::BluetoothAudio::resolve(bookmark, false, state_.devices);
    const auto input = audio::BluetoothAudio::resolve(bookmark, true, state_.devices);
    entries.push_back(bookmark.id + ":" + std::to_string(output ? output->id : 0) + ":" +
                      std::to_string(input ? input->id : 0));
  }
  std::sort(entries.begin(), entries.end());
  std::string topology;
  for (size_t i = 0; i < entries.size(); ++i) topology += (i ? "|" : "") + entries[i];
  return topology;
}

void AppModel::beginManualChoice(bool input) {
  if (sceneToApply_ && !sceneRoutingSetup_) {
    // A manual choice abandons a scene that is being applied.
    sceneToApply_.reset();
    state_.applyingSceneID.reset();
    cancelConnection(false);
    cancelConnection(true);
  }
  // The manual choice holds until the device topology changes.
  if (!sceneToApply_) acceptedRuleTopology_ = currentRuleTopology();
  cancelConnection(input);
}

void AppModel::selectDevice(AudioObjectID deviceID, bool input) {
  beginManualChoice(input);
  if (!input) engine_->stopAll(true);
  const AudioObjectPropertyAddress address{
      input ? kAudioHardwarePropertyDefaultInputDevice : kAudioHardwarePropertyDefaultOutputDevice,
      kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
  try {
    audio::HAL::check(AudioObjectSetPropertyData(kAudioObjectSystemObject, &address, 0, nullptr,
                                                 sizeof deviceID, &deviceID),
                      "设置音频属性");
    refresh(true);
  } catch (const audio::AudioFailure& failure) {
    setError(failure.message);
    reconcile();
    publish();
  }
}

void AppModel::cancelConnection(bool input) {
  const auto found = pending_.find(input);
  if (found == pending_.end()) return;
  state_.connectionLabels.erase((input ? "true:" : "false:") + found->second.bookmark.id);
  pending_.erase(found);
}

}  // namespace velmora::model
