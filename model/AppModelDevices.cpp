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
    const auto output = presentDevice(bookmark, AudioDirection::output);
    const auto input = presentDevice(bookmark, AudioDirection::input);
    entries.push_back(bookmark.id + ":" + std::to_string(output ? output->id : 0) + ":" +
                      std::to_string(input ? input->id : 0));
  }
  std::sort(entries.begin(), entries.end());
  std::string topology;
  for (size_t i = 0; i < entries.size(); ++i) topology += (i ? "|" : "") + entries[i];
  return topology;
}

std::optional<audio::AudioDevice> AppModel::presentDevice(const settings::DeviceBookmark& bookmark,
                                                          AudioDirection direction) const {
  return audio::BluetoothAudio::resolve(bookmark, direction, state_.devices);
}

std::optional<settings::DeviceBookmark> AppModel::currentBookmark(AudioDirection direction) const {
  const AudioObjectID current = isInput(direction) ? state_.inputID : state_.outputID;
  if (current == 0) return std::nullopt;
  for (const settings::DeviceBookmark& bookmark : bookmarks()) {
    const auto resolved = presentDevice(bookmark, direction);
    if (resolved && resolved->id == current) return bookmark;
  }
  return std::nullopt;
}

void AppModel::abandonScene() {
  sceneToApply_.reset();
  state_.applyingSceneID.reset();
  endPendingSelection(AudioDirection::output);
  endPendingSelection(AudioDirection::input);
}

void AppModel::beginManualChoice(AudioDirection direction) {
  // A manual choice abandons a scene that is being applied, unless the scene is making it.
  if (sceneToApply_ && !sceneRoutingSetup_) abandonScene();
  // The manual choice holds until the device topology changes.
  if (!sceneToApply_) acceptedRuleTopology_ = currentRuleTopology();
  endPendingSelection(direction);
}

OSStatus AppModel::writeDefaultDevice(AudioDirection direction, AudioObjectID device) {
  const AudioObjectPropertyAddress address{
      isInput(direction) ? kAudioHardwarePropertyDefaultInputDevice
                         : kAudioHardwarePropertyDefaultOutputDevice,
      kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
  return AudioObjectSetPropertyData(kAudioObjectSystemObject, &address, 0, nullptr, sizeof device,
                                    &device);
}

void AppModel::selectDevice(AudioObjectID deviceID, AudioDirection direction) {
  checkMainQueue();
  beginManualChoice(direction);
  // No session may render into the device that stops being the default.
  if (!isInput(direction)) engine_->stopAll(true);
  if (const OSStatus status = writeDefaultDevice(direction, deviceID); status != 0) {
    setError(audio::HAL::writeFailure(status));
    reconcile();
    publish();
    return;
  }
  refresh(true);
}

void AppModel::endPendingSelection(AudioDirection direction) {
  const auto found = pending_.find(direction);
  if (found == pending_.end()) return;
  state_.connectionLabels.erase(connectionKey(direction, found->second.bookmark.id));
  pending_.erase(found);
}

void AppModel::cancelConnection(AudioDirection direction) {
  checkMainQueue();
  endPendingSelection(direction);
  publish();
}

}  // namespace velmora::model
