// Scenes: saving the whole configuration under a name and applying it later, devices first and
// the settings once every device of the scene is the default. Main thread only.
#include <algorithm>
#include <cstdio>
#include <random>

#include "audio/BluetoothAudio.h"
#include "model/AppModel.h"
#include "settings/UTF8.h"

namespace velmora::model {

namespace {

constexpr double kSceneDeadline = 28.0;
constexpr size_t kSceneNameLength = 40;

std::string newUUID() {
  static std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<uint64_t> bits;
  uint64_t high = bits(generator);
  uint64_t low = bits(generator);
  high = (high & ~0xF000ull) | 0x4000ull;                       // version 4
  low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

// The id of the first bookmark, in list order, that stands for `current` in that direction.
std::optional<std::string> bookmarkOfDefault(const std::vector<settings::DeviceBookmark>& list,
                                             bool input, AudioObjectID current,
                                             const std::vector<audio::AudioDevice>& devices) {
  if (current == 0) return std::nullopt;
  for (const settings::DeviceBookmark& bookmark : list) {
    const auto resolved = audio::BluetoothAudio::resolve(bookmark, input, devices);
    if (resolved && resolved->id == current) return bookmark.id;
  }
  return std::nullopt;
}

}  // namespace

settings::AudioScene AppModel::currentSceneSnapshot(const std::string& name) const {
  const auto list = bookmarks();
  const settings::Preferences& preferences = state_.preferences;
  const settings::AdvancedPreferences advanced =
      preferences.advanced.value_or(settings::AdvancedPreferences{});
  settings::AudioScene scene;
  scene.id = newUUID();
  scene.name = name;
  scene.inputDeviceID = bookmarkOfDefault(list, true, state_.inputID, state_.devices);
  scene.outputDeviceID = bookmarkOfDefault(list, false, state_.outputID, state_.devices);
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
  const std::string trimmed(
      settings::firstCharacters(settings::trimWhitespaceAndNewlines(name), kSceneNameLength));
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
  // A copy: the caller may pass the id of an element this call removes.
  const std::string id = requested;
  if (sceneToApply_ && sceneToApply_->scene.id == id) stopApplyingScene();
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
  sceneToApply_.reset();
  state_.applyingSceneID.reset();
  cancelConnection(false);
  cancelConnection(true);
  publish();
}

void AppModel::applyScene(const settings::AudioScene& requested) {
  // A copy: the caller may hand in an element of the settings, which this call changes.
  const settings::AudioScene scene = requested;
  sceneToApply_.reset();
  state_.applyingSceneID.reset();
  cancelConnection(false);
  cancelConnection(true);

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
  for (const bool input : {false, true}) {
    const auto& id = input ? scene.inputDeviceID : scene.outputDeviceID;
    if (!id) continue;
    const auto bookmark =
        std::find_if(list.begin(), list.end(), [&](const auto& b) { return b.id == *id; });
    selectBookmark(*bookmark, input);
  }
  sceneRoutingSetup_ = false;
  finishSceneIfReady();
  publish();
}

void AppModel::finishSceneIfReady() {
  if (sceneRoutingSetup_ || !sceneToApply_) return;
  if (services_.mainQueue.clock().now() > sceneToApply_->deadline) {
    sceneToApply_.reset();
    state_.applyingSceneID.reset();
    cancelConnection(false);
    cancelConnection(true);
    setError("场景设备未全部就绪，未应用音量配置。已完成的设备切换会保留。");
    return;
  }
  const settings::AudioScene scene = sceneToApply_->scene;
  const auto list = bookmarks();
  for (const bool input : {false, true}) {
    const auto& id = input ? scene.inputDeviceID : scene.outputDeviceID;
    if (!id) continue;
    const auto current =
        bookmarkOfDefault(list, input, input ? state_.inputID : state_.outputID, state_.devices);
    if (current != id) return;  // the next refresh looks again
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
