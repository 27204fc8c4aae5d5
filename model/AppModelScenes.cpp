// Scenes: saving the whole configuration under a name and applying it later, devices first and
// the settings once every device of the scene is the default. Main thread only.
#include <algorithm>

#include "model/AppModel.h"
#include "platform/identity/RandomUUID.h"
#include "settings/UTF8.h"

namespace velmora::model {

namespace {

constexpr double kSceneDeadline = 28.0;
constexpr size_t kSceneNameLength = 40;

}  // namespace

std::optional<std::string> AppModel::currentBookmarkID(AudioDirection direction) const {
  const auto current = currentBookmark(direction);
  return current ? std::optional(current->id) : std::nullopt;
}

settings::AudioScene AppModel::currentSceneSnapshot(const std::string& name) const {
  checkMainQueue();
  const settings::Preferences& preferences = state_.preferences;
  const settings::AdvancedPreferences advanced =
      preferences.advanced.value_or(settings::AdvancedPreferences{});
  settings::AudioScene scene;
  scene.id = platform::randomUUID();
  scene.name = name;
  scene.inputDeviceID = currentBookmarkID(AudioDirection::input);
  scene.outputDeviceID = currentBookmarkID(AudioDirection::output);
  scene.systemVolume = state_.systemVolume;
  scene.inputVolume = state_.inputVolume;
  scene.systemMuted = state_.systemMuted;
  scene.inputMuted = state_.inputMuted;
  scene.apps = preferences.apps;
  scene.processingEnabled = preferences.processingEnabled;
  scene.equalizers = advanced.equalizers;
  scene.multiOutput = advanced.multiOutput;
  scene.boostedOutputs = advanced.boostedOutputs;
  return scene;
}

void AppModel::saveScene(const std::string& name, const std::optional<std::string>& replacing) {
  checkMainQueue();
  const std::string valid = settings::replacingInvalidUTF8(name);
  const std::string trimmed(
      settings::firstCharacters(settings::trimWhitespaceAndNewlines(valid), kSceneNameLength));
  if (trimmed.empty()) {
    setError("请为场景输入名称。");
    publish();
    return;
  }
  settings::AudioScene snapshot = currentSceneSnapshot(trimmed);
  if (replacing) snapshot.id = *replacing;
  updateAdvanced([&](settings::AdvancedPreferences& advanced) {
    const auto found =
        std::find_if(advanced.scenes.begin(), advanced.scenes.end(),
                     [&](const settings::AudioScene& scene) { return scene.id == snapshot.id; });
    if (found != advanced.scenes.end()) {
      *found = snapshot;
    } else {
      advanced.scenes.push_back(snapshot);
    }
  });
  state_.activeSceneID = snapshot.id;
  state_.activeSceneReference = snapshot;
  publish();
}

void AppModel::deleteScene(const std::string& requested) {
  checkMainQueue();
  // A copy: the caller may pass the id of an element this call removes.
  const std::string id = requested;
  if (sceneToApply_ && sceneToApply_->scene.id == id) abandonScene();
  updateAdvanced([&](settings::AdvancedPreferences& advanced) {
    std::erase_if(advanced.scenes,
                  [&](const settings::AudioScene& scene) { return scene.id == id; });
  });
  if (state_.activeSceneID == id) {
    state_.activeSceneID.reset();
    state_.activeSceneReference.reset();
  }
  publish();
}

void AppModel::stopApplyingScene() {
  checkMainQueue();
  abandonScene();
  publish();
}

void AppModel::applyScene(const settings::AudioScene& requested) {
  // A copy: the caller may hand in an element of the settings, which this call changes.
  checkMainQueue();
  const settings::AudioScene scene = requested;
  abandonScene();

  const auto list = bookmarks();
  const auto inList = [&](const std::string& id) {
    return std::any_of(list.begin(), list.end(),
                       [&](const settings::DeviceBookmark& b) { return b.id == id; });
  };
  if ((scene.outputDeviceID && !inList(*scene.outputDeviceID)) ||
      (scene.inputDeviceID && !inList(*scene.inputDeviceID))) {
    setError("场景中的设备已不在列表中，请重新保存场景。");
    publish();
    return;
  }
  sceneToApply_ = SceneApplication{scene, services_.mainQueue.clock().now() + kSceneDeadline};
  state_.applyingSceneID = scene.id;
  // Keeps the scene's own selections from abandoning it or finishing it in their refresh.
  sceneRoutingSetup_ = true;
  for (const AudioDirection direction : settings::kOutputThenInput) {
    const auto& id = isInput(direction) ? scene.inputDeviceID : scene.outputDeviceID;
    if (!id) continue;
    const auto bookmark =
        std::find_if(list.begin(), list.end(), [&](const auto& b) { return b.id == *id; });
    selectBookmark(*bookmark, direction);
  }
  sceneRoutingSetup_ = false;
  finishSceneIfReady();
  publish();
}

void AppModel::finishSceneIfReady() {
  if (sceneRoutingSetup_ || !sceneToApply_) return;
  if (services_.mainQueue.clock().now() > sceneToApply_->deadline) {
    abandonScene();
    setError("场景设备未全部就绪，未应用音量配置。已完成的设备切换会保留。");
    return;
  }
  const settings::AudioScene scene = sceneToApply_->scene;
  for (const AudioDirection direction : settings::kOutputThenInput) {
    const auto& id = isInput(direction) ? scene.inputDeviceID : scene.outputDeviceID;
    if (!id) continue;
    if (currentBookmarkID(direction) != id) return;  // the next refresh looks again
  }

  sceneToApply_.reset();
  state_.applyingSceneID.reset();
  state_.soloAppID.reset();
  settings::Preferences& preferences = state_.preferences;
  preferences.apps = scene.apps;
  preferences.processingEnabled = scene.processingEnabled;
  if (!scene.processingEnabled) state_.statuses.clear();
  settings::AdvancedPreferences advanced =
      preferences.advanced.value_or(settings::AdvancedPreferences{});
  advanced.equalizers = scene.equalizers;
  advanced.multiOutput = scene.multiOutput;
  advanced.boostedOutputs = scene.boostedOutputs;
  preferences.advanced = std::move(advanced);
  // The scene's devices are settled before anything can evaluate the rules: the mute toggles
  // below refresh, and that refresh must not switch away from them.
  acceptedRuleTopology_ = currentRuleTopology();
  if (state_.volumeSupported) setSystemVolume(scene.systemVolume);
  if (state_.muteSupported && state_.systemMuted != scene.systemMuted) toggleSystemMute();
  if (state_.inputVolume && scene.inputVolume) setInputVolume(*scene.inputVolume);
  if (state_.inputMuteSupported && state_.inputMuted != scene.inputMuted) toggleInputMute();
  // The automatic rules keep the scene's devices until the topology changes.
  acceptedRuleTopology_ = currentRuleTopology();
  state_.activeSceneID = scene.id;
  state_.activeSceneReference = scene;
  save();
  retry();
}

bool AppModel::activeSceneModified() const {
  if (!state_.activeSceneReference) return false;
  if (state_.soloAppID) return true;
  return !state_.activeSceneReference->matchesConfiguration(currentSceneSnapshot(""), 0.001f);
}

std::optional<std::string> AppModel::sceneState(const std::string& sceneID) const {
  if (state_.applyingSceneID == sceneID) return "切换中";
  if (state_.activeSceneID == sceneID) return activeSceneModified() ? "已调整" : "当前配置";
  return std::nullopt;
}

}  // namespace velmora::model
