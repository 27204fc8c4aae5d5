// Per-application volume, mute, solo and output; per-output boost and equaliser; the processing
// switch; and the texts the mixer shows for them.
#include <cmath>
#include <set>

#include "audio/BluetoothAudio.h"
#include "model/AppModel.h"
#include "platform/apps/ApplicationServices.h"

namespace velmora::model {

settings::AppLevel AppModel::level(const std::string& appID) const {
  const auto found = state_.preferences.apps.find(appID);
  return found != state_.preferences.apps.end() ? found->second : settings::AppLevel{};
}

// Changing how an application sounds switches processing on.
void AppModel::finishAppChange(bool retryEngine) {
  if (!state_.preferences.processingEnabled) {
    setProcessing(true);
    return;
  }
  save();
  if (retryEngine) engine_->retry();
  reconcile();
  publish();
}

void AppModel::setAppVolume(const std::string& appID, float volume) {
  checkMainQueue();
  settings::AppLevel updated = level(appID);
  // A value that is no number never reaches the settings file.
  updated.volume = std::isfinite(volume) ? volume : 1.0f;
  updated.muted = false;
  state_.preferences.apps[appID] = updated;
  finishAppChange(false);
}

void AppModel::toggleAppMute(const std::string& appID) {
  checkMainQueue();
  settings::AppLevel updated = level(appID);
  updated.muted = state_.preferences.apps.count(appID) ? !updated.muted : true;
  state_.preferences.apps[appID] = updated;
  finishAppChange(false);
}

void AppModel::toggleSolo(const std::string& appID) {
  checkMainQueue();
  if (state_.soloAppID == appID) {
    state_.soloAppID.reset();
  } else {
    state_.soloAppID = appID;
  }
  finishAppChange(true);
}

void AppModel::setAppOutput(const std::string& appID, const std::optional<std::string>& deviceID) {
  checkMainQueue();
  settings::AppLevel updated = level(appID);
  updated.outputDeviceID = deviceID;
  state_.preferences.apps[appID] = updated;
  finishAppChange(true);
}

void AppModel::setAppFallback(const std::string& appID, bool followSystem) {
  checkMainQueue();
  settings::AppLevel updated = level(appID);
  updated.followSystemWhenOffline = followSystem;
  state_.preferences.apps[appID] = updated;
  save();
  retry();
  publish();
}

void AppModel::setProcessing(bool enabled) {
  checkMainQueue();
  state_.preferences.processingEnabled = enabled;
  if (enabled) {
    engine_->retry();
  } else {
    engine_->stopAll(false);
    state_.statuses.clear();
    state_.soloAppID.reset();
  }
  save();
  reconcile();
  publish();
}

void AppModel::setRememberApps(bool enabled) {
  checkMainQueue();
  if (state_.preferences.rememberApps == enabled) return;
  state_.preferences.rememberApps = enabled;
  save();
  publish();
}

void AppModel::setRememberDevices(bool enabled) {
  checkMainQueue();
  if (state_.preferences.rememberDevices == enabled &&
      (enabled || state_.preferences.deviceVolumes.empty()))
    return;
  state_.preferences.rememberDevices = enabled;
  if (!enabled) state_.preferences.deviceVolumes.clear();
  save();
  publish();
}

std::string AppModel::appVersion() {
  constexpr const char* version = VELMORA_VERSION;
  return *version != '\0' ? version : "0.7.6";
}

bool AppModel::boostEnabled(const std::string& key) const {
  const auto& advanced = state_.preferences.advanced;
  if (!advanced || !advanced->boostedOutputs) return false;
  const auto found = advanced->boostedOutputs->find(key);
  return found != advanced->boostedOutputs->end() && found->second;
}

void AppModel::toggleBoost(const std::string& key) {
  checkMainQueue();
  state_.preferences.setBoost(key, !boostEnabled(key));
  save();
  retry();
  publish();
}

void AppModel::setEQ(const std::string& key, const settings::DeviceEQ& value) {
  checkMainQueue();
  state_.preferences.setEQ(key, value);
  save();
  reconcile();
  publish();
}

void AppModel::resetEQ(const std::string& key) {
  checkMainQueue();
  state_.preferences.resetEQ(key);
  save();
  reconcile();
  publish();
}

AppRoutePresentation AppModel::appRoutePresentation(const std::string& appID) const {
  const settings::AppLevel appLevel = level(appID);
  if (appLevel.outputDeviceID) {
    std::optional<settings::DeviceBookmark> target;
    for (const settings::DeviceBookmark& bookmark : outputBookmarks()) {
      if (bookmark.id == *appLevel.outputDeviceID) {
        target = bookmark;
        break;
      }
    }
    const bool available = target && presentDevice(*target, AudioDirection::output);
    AppRoutePresentation result{target ? target->displayName() : "指定输出", std::nullopt};
    if (!available) {
      result.routeDetail = appLevel.followSystemWhenOffline.value_or(false)
                               ? "指定输出离线 · 跟随系统"
                               : "指定输出离线 · 暂时静音";
    }
    return result;
  }
  const auto multi =
      state_.preferences.advanced.value_or(settings::AdvancedPreferences{}).multiOutput;
  if (multi.enabled) {
    const std::set<std::string> distinct(multi.devices.begin(), multi.devices.end());
    return {"多输出 · " + std::to_string(distinct.size()), std::nullopt};
  }
  return {"跟随系统", std::nullopt};
}

AppAudioPresentation AppModel::appPresentation(const std::string& appID) const {
  using Phase = AppAudioPresentation::Phase;
  if (!state_.preferences.processingEnabled)
    return {Phase::paused, "处理已暂停 · 设置未生效", std::nullopt};
  const auto found = state_.statuses.find(appID);
  if (found == state_.statuses.end()) return {Phase::unprocessed, "原始音量", std::nullopt};
  const audio::AppAudioStatus& status = found->second;
  if (status.error) return {Phase::failed, "处理失败 · 静音及音量设置未生效", status.error};
  if (status.pending) return {Phase::settingUp, "正在建立处理 · 设置尚未生效", std::nullopt};
  return {status.active ? Phase::running : Phase::unprocessed, status.message, std::nullopt};
}

std::vector<audio::AudioApp> AppModel::visibleApps() const {
  std::vector<audio::AudioApp> visible;
  for (const audio::AudioApp& app : state_.apps) {
    const auto status = state_.statuses.find(app.id);
    const bool busy = status != state_.statuses.end() &&
                      (status->second.active || status->second.pending || status->second.error);
    if (app.audible || state_.preferences.apps.count(app.id) || busy) visible.push_back(app);
  }
  return visible;
}

void AppModel::openAudioPermission() { openSettingsPage(SettingsPage::audioCapturePermission); }

bool AppModel::canOpenSettingsPage(SettingsPage page) const {
  return platform::applicationServices().canOpenSettingsPage(page);
}

void AppModel::openSettingsPage(SettingsPage page) {
  checkMainQueue();
  platform::applicationServices().openSettingsPage(page);
}

void AppModel::setMultiEnabled(bool enabled) {
  checkMainQueue();
  settings::AdvancedPreferences advanced =
      state_.preferences.advanced.value_or(settings::AdvancedPreferences{});
  if (enabled && advanced.multiOutput.devices.size() < 2) {
    setError("请先勾选至少两个输出设备。");
    publish();
    return;
  }
  advanced.multiOutput.enabled = enabled;
  state_.preferences.advanced = std::move(advanced);
  save();
  retry();
  publish();
}

bool AppModel::canIncludeMultiDevice() {
  checkMainQueue();
  const auto& advanced = state_.preferences.advanced;
  if (advanced && advanced->multiOutput.devices.size() >= 4) {
    setError("最多同时选择四个输出设备。");
    publish();
    return false;
  }
  return true;
}

void AppModel::setMultiDevice(const std::string& key, bool included) {
  checkMainQueue();
  updateAdvanced([&](settings::AdvancedPreferences& advanced) {
    auto& devices = advanced.multiOutput.devices;
    std::erase(devices, key);
    if (included) devices.push_back(key);
    if (devices.size() < 2) advanced.multiOutput.enabled = false;
  });
}

void AppModel::setMultiLevel(const std::string& key, float level) {
  checkMainQueue();
  if (!std::isfinite(level)) return;  // a slider never gives one; the file must stay readable
  updateAdvanced(
      [&](settings::AdvancedPreferences& advanced) { advanced.multiOutput.levels[key] = level; });
}

}  // namespace velmora::model
