// The model's life: start-up, the refresh cycle, the device catalogue, reconciliation with the
// engine, saving, sleep, wake and shutdown.
#include "model/AppModel.h"

#include <cassert>
#include <cmath>

#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "platform/dispatch/Clock.h"
#include "platform/hotkeys/HotkeyService.h"
#include "platform/power/PowerEvents.h"

namespace velmora::model {

using audio::AudioDevice;
using settings::AdvancedPreferences;
using settings::DeviceBookmark;

AppModel::AppModel(bool startServices, settings::PreferencesStore store, Services services)
    : store_(std::move(store)), services_(std::move(services)) {
  ruleStableSince_ = services_.mainQueue.clock().now();
  engine_ = std::make_unique<audio::AudioEngine>(services_.mainQueue, services_.mainQueue.clock(),
                                                 services_.enginePause);
  hotkeys_ = std::make_unique<HotkeyManager>(platform::hotkeyService());
  if (startServices) start();
  published_ = state_;
}

AppModel::~AppModel() {
  *self_ = nullptr;
  if (powerObservation_ != 0) platform::powerEvents().remove(powerObservation_);
  timer_.cancel();
  saveTask_.cancel();
}

void AppModel::start() {
  try {
    state_.preferences = store_.load();
  } catch (const std::exception& error) {
    setError(settings::loadFailureMessage(error));
  }
  std::weak_ptr<AppModel*> weak = self_;
  engine_->setOnStatus([weak](const audio::AudioEngine::Statuses& statuses) {
    const auto alive = weak.lock();
    if (!alive || *alive == nullptr) return;
    AppModel& model = **alive;
    // Stopping at shutdown reports no session; what the engine says then is no news.
    if (model.shutDown_) return;
    model.state_.statuses =
        model.state_.preferences.processingEnabled ? statuses : audio::AudioEngine::Statuses{};
    model.publish();
  });
  hotkeys_->onAction = [weak](settings::HotkeyAction action) {
    if (const auto alive = weak.lock(); alive && *alive != nullptr) (*alive)->perform(action);
  };
  state_.shortcutErrors = hotkeys_->apply(state_.preferences.shortcuts);
  refresh(true);
  timer_ = services_.mainQueue.every(kRefreshInterval, [weak] {
    if (const auto alive = weak.lock(); alive && *alive != nullptr) (*alive)->refresh(true);
  });
  powerObservation_ = platform::powerEvents().observe(
      [weak] {
        if (const auto alive = weak.lock(); alive && *alive != nullptr) (*alive)->willSleep();
      },
      [weak] {
        if (const auto alive = weak.lock(); alive && *alive != nullptr) (*alive)->didWake();
      });
}

void AppModel::publish() {
  if (state_ == published_) return;
  published_ = state_;
  for (const Observer& observer : observers_) observer(state_);
}

void AppModel::setError(std::string message) { state_.errorMessage = std::move(message); }

void AppModel::checkMainQueue() const { assert(services_.mainQueue.isCurrent()); }

void AppModel::clearError() {
  checkMainQueue();
  state_.errorMessage.reset();
  publish();
}

void AppModel::reportError(std::string message) {
  checkMainQueue();
  setError(std::move(message));
  publish();
}

std::pair<AudioObjectID, std::optional<float>> AppModel::hardwareDefaultOutput() const {
  const AudioObjectID output =
      audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject,
                                       kAudioHardwarePropertyDefaultOutputDevice)
          .value_or(0);
  return {output, audio::HAL::volume(output, AudioDirection::output)};
}

const AudioDevice* AppModel::device(AudioObjectID id) const {
  for (const AudioDevice& d : state_.devices) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

std::vector<DeviceBookmark> AppModel::bookmarks() const {
  checkMainQueue();
  return state_.preferences.deviceList ? state_.preferences.deviceList->devices
                                       : std::vector<DeviceBookmark>{};
}

std::vector<DeviceBookmark> AppModel::outputBookmarks() const {
  std::vector<DeviceBookmark> result;
  for (const DeviceBookmark& bookmark : bookmarks()) {
    if (bookmark.supportsOutput) result.push_back(bookmark);
  }
  return result;
}

void AppModel::refresh(bool evaluateAutomaticRules) {
  checkMainQueue();
  if (sleeping_) return;
  state_.devices = AudioDevice::all();
  auto defaultDevice = [](AudioObjectPropertySelector selector) {
    return audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject, selector).value_or(0);
  };
  state_.outputID = defaultDevice(kAudioHardwarePropertyDefaultOutputDevice);
  state_.inputID = defaultDevice(kAudioHardwarePropertyDefaultInputDevice);
  updateDeviceCatalog();
  if (services_.mainQueue.clock().now() - lastBluetoothScan_ > kBluetoothScanInterval)
    scanBluetooth();
  resolvePendingSelections();
  if (evaluateAutomaticRules) applyAutomaticRules(false, std::nullopt);
  state_.inputID = defaultDevice(kAudioHardwarePropertyDefaultInputDevice);
  refreshInput();
  refreshOutput();
  state_.apps = audio::AudioApp::all();
  if (state_.soloAppID) {
    bool present = false;
    for (const audio::AudioApp& app : state_.apps) present = present || app.id == *state_.soloAppID;
    if (!present) state_.soloAppID.reset();
  }
  finishSceneIfReady();
  reconcile();
  refreshLogin();
  publish();
}

void AppModel::refreshInput() {
  const AudioObjectID input = state_.inputID;
  state_.inputVolume = audio::HAL::volume(input, AudioDirection::input);
  state_.inputMuted = readMuted(input, AudioDirection::input, state_.inputVolume,
                                *emulatedMuteKey(AudioDirection::input));
  state_.inputMuteSupported =
      hasSettableMute(input, AudioDirection::input) || state_.inputVolume.has_value();
}

void AppModel::refreshOutput() {
  const AudioDevice* output = device(state_.outputID);
  if (output == nullptr) {
    state_.volumeSupported = state_.muteSupported = state_.systemMuted = false;
    return;
  }
  const std::string uid = output->uid;
  settings::Preferences& preferences = state_.preferences;
  // A different output than last time gets the volume it had when it was last used.
  if (previousUID_ && *previousUID_ != uid && preferences.rememberDevices &&
      preferences.deviceVolumes.count(uid) &&
      audio::HAL::volume(output->id, AudioDirection::output)) {
    const float remembered = std::clamp(preferences.deviceVolumes[uid], 0.0f, 1.0f);
    if (auto failure = writeVolume(output->id, AudioDirection::output, remembered))
      setError(*failure);
  }
  previousUID_ = uid;
  const auto volume = audio::HAL::volume(output->id, AudioDirection::output);
  state_.systemVolume = volume.value_or(1.0f);
  state_.volumeSupported = volume.has_value();
  const bool settableMute = hasSettableMute(output->id, AudioDirection::output);
  state_.muteSupported = settableMute || state_.volumeSupported;
  state_.systemMuted = readMuted(output->id, AudioDirection::output, volume, uid);
  // The 0 of an emulated mute is no volume to remember.
  if (preferences.rememberDevices && volume && std::isfinite(*volume) &&
      !(state_.systemMuted && !settableMute)) {
    const auto stored = preferences.deviceVolumes.find(uid);
    const float previous = stored != preferences.deviceVolumes.end() ? stored->second : -1.0f;
    if (std::fabs(*volume - previous) > 0.001f) {
      preferences.deviceVolumes[uid] = *volume;
      save();
    }
  }
}

void AppModel::updateDeviceCatalog() {
  settings::Preferences& preferences = state_.preferences;
  const std::optional<std::vector<DeviceBookmark>> old =
      preferences.deviceList ? std::optional(preferences.deviceList->devices) : std::nullopt;
  settings::DeviceListPreferences list{old.value_or(std::vector<DeviceBookmark>{})};
  AdvancedPreferences advanced = preferences.advanced.value_or(AdvancedPreferences{});
  if (old) {
    for (const AudioDirection direction : settings::kOutputThenInput)
      advanced.seedAutomaticDevices(direction, *old);
  }
  // A Bluetooth bookmark can replace an entry under another id: the automatic lists follow it.
  auto mergeTracked = [&](const DeviceBookmark& bookmark) {
    if (!bookmark.bluetoothAddress) {
      list.merge(bookmark);
      return;
    }
    const std::vector<DeviceBookmark> previous = list.devices;
    list.merge(bookmark);
    advanced.remapAutomaticDevices(previous, list.devices);
  };
  for (const AudioDevice& live : state_.devices) {
    if (live.inputs == 0 && live.outputs == 0) continue;
    mergeTracked(
        audio::BluetoothAudio::bookmark(live, pairedDevices_, state_.inputID, state_.outputID));
  }
  for (const DeviceBookmark& bookmark : std::vector<DeviceBookmark>(list.devices)) {
    if (bookmark.bluetoothAddress) mergeTracked(bookmark);
  }
  for (const audio::PairedAudioDevice& paired : pairedDevices_) {
    mergeTracked(audio::BluetoothAudio::bookmark(paired));
  }
  if (!old) {
    if (list.devices.empty()) return;
    for (const AudioDirection direction : settings::kOutputThenInput)
      advanced.seedAutomaticDevices(direction, list.devices);
  } else if (list.devices == *old &&
             advanced == preferences.advanced.value_or(AdvancedPreferences{})) {
    return;
  }
  preferences.deviceList = list;
  preferences.advanced = advanced;
  save();
}

void AppModel::reconcile() {
  checkMainQueue();
  std::map<std::string, AudioDevice> routeDevices;
  for (const DeviceBookmark& bookmark : bookmarks()) {
    if (auto resolved = presentDevice(bookmark, AudioDirection::output)) {
      routeDevices[bookmark.id] = *resolved;
    }
  }
  std::optional<std::string> defaultKey;
  if (const AudioDevice* output = device(state_.outputID)) {
    const auto current = currentBookmark(AudioDirection::output);
    defaultKey = current ? current->id : "system:" + output->uid;
    routeDevices[*defaultKey] = *output;
  }
  const settings::Preferences& preferences = state_.preferences;
  engine_->update(state_.apps, defaultKey, std::move(routeDevices),
                  preferences.processingEnabled && !sleeping_, preferences.apps,
                  preferences.advanced.value_or(AdvancedPreferences{}), state_.soloAppID);
}

void AppModel::retry() {
  checkMainQueue();
  engine_->retry();
  reconcile();
}

void AppModel::updateAdvanced(const std::function<void(AdvancedPreferences&)>& change) {
  checkMainQueue();
  AdvancedPreferences advanced = state_.preferences.advanced.value_or(AdvancedPreferences{});
  change(advanced);
  state_.preferences.advanced = std::move(advanced);
  save();
  reconcile();
  if (onInterfaceChanged) onInterfaceChanged();
  publish();
}

void AppModel::save() {
  checkMainQueue();
  saveTask_.cancel();
  std::weak_ptr<AppModel*> weak = self_;
  saveTask_ = services_.mainQueue.after(kSaveDelay, [weak] {
    if (const auto alive = weak.lock(); alive && *alive != nullptr) (*alive)->flush();
  });
}

void AppModel::flush() {
  checkMainQueue();
  try {
    store_.save(state_.preferences);
  } catch (const std::exception& error) {
    setError(settings::saveFailureMessage(error));
  }
  publish();
}

void AppModel::willSleep() {
  checkMainQueue();
  sleeping_ = true;
  abandonScene();
  engine_->stopAll(true);
  publish();
}

void AppModel::didWake() {
  checkMainQueue();
  sleeping_ = false;
  engine_->retry();
  refresh(true);
}

void AppModel::shutdown() {
  checkMainQueue();
  endPendingSelection(AudioDirection::input);
  endPendingSelection(AudioDirection::output);
  shutDown_ = true;
  timer_.cancel();
  saveTask_.cancel();
  flush();
  engine_->stopAll(true);
  platform::powerEvents().remove(powerObservation_);
  powerObservation_ = 0;
}

void AppModel::scanBluetooth() {
  checkMainQueue();
  if (state_.scanningBluetooth) return;
  state_.scanningBluetooth = true;
  lastBluetoothScan_ = services_.mainQueue.clock().now();
  std::weak_ptr<AppModel*> weak = self_;
  platform::MainQueue& mainQueue = services_.mainQueue;
  // Utility thread: the service-record look-ups may take a while.
  utilityQueue_->async([weak, &mainQueue] {
    std::vector<audio::PairedAudioDevice> paired = audio::BluetoothAudio::paired();
    mainQueue.post([weak, paired = std::move(paired)] {
      const auto alive = weak.lock();
      if (!alive || *alive == nullptr) return;
      AppModel& model = **alive;
      model.pairedDevices_ = paired;
      model.state_.scanningBluetooth = false;
      model.updateDeviceCatalog();
      model.publish();
    });
  });
  publish();
}

}  // namespace velmora::model
