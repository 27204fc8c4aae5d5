// The centre of the program: the live picture of the machine's sound, the user's settings and
// every user action. Views read state() and call the operations; they hold no audio state.
//
// Threading: every operation runs on the main queue's thread, checked on entry in debug builds.
// The engine works on its own queue
// and delivers statuses on the main queue; Bluetooth connections run on the model's Bluetooth
// queue and paired-device scans on its utility queue, both handing results to the main queue.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PairedAudioDevice.h"
#include "model/HotkeyManager.h"
#include "model/ModelState.h"
#include "model/PendingSelection.h"
#include "platform/apps/ApplicationServices.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "settings/AudioDirection.h"
#include "settings/PreferencesStore.h"
#include "settings/Shortcut.h"

namespace velmora::model {

using settings::AudioDirection;

// What the mixer shows as an application's route.
struct AppRoutePresentation {
  std::string routeTitle;
  std::optional<std::string> routeDetail;
  bool operator==(const AppRoutePresentation&) const = default;
};

// What the mixer shows as an application's processing state.
struct AppAudioPresentation {
  enum class Phase { paused, unprocessed, settingUp, running, failed };
  Phase phase = Phase::unprocessed;
  std::string statusText;
  std::optional<std::string> errorText;
  bool operator==(const AppAudioPresentation&) const = default;
};

class AppModel {
 public:
  struct Services {
    platform::MainQueue& mainQueue;  // also the clock of every delay
    // How tap sessions wait for a new aggregate device; tests make it count instead of sleep.
    audio::TapSession::Pause enginePause = audio::AudioEngine::sleepingPause();
  };

  static constexpr double kRefreshInterval = 1.5;
  static constexpr double kSaveDelay = 0.35;
  static constexpr double kBluetoothScanInterval = 15.0;
  // How long the device topology must stay the same before the automatic rules act on it.
  static constexpr double kRuleStability = 1.5;

  // With `startServices` false only the initial state is set up: no file is read, nothing is
  // registered and no timer runs.
  AppModel(bool startServices, settings::PreferencesStore store, Services services);
  ~AppModel();
  AppModel(const AppModel&) = delete;
  AppModel& operator=(const AppModel&) = delete;

  const ModelState& state() const { return state_; }
  // Called on the main thread after every operation that changed the state.
  using Observer = std::function<void(const ModelState&)>;
  void observe(Observer observer) { observers_.push_back(std::move(observer)); }

  // Hooks installed by the shell.
  std::function<void(const std::string& name, float volume, bool muted, AudioDirection)>
      onVolumeHUD;
  std::function<void()> onInterfaceChanged;
  std::function<void()> togglePanel;

  // Refresh cycle and engine.
  void refresh(bool evaluateAutomaticRules);
  void updateDeviceCatalog();
  void reconcile();
  void retry();
  void updateAdvanced(const std::function<void(settings::AdvancedPreferences&)>& change);
  void save();
  void flush();
  void willSleep();
  void didWake();
  void shutdown();

  // System volume and mute.
  void setSystemVolume(float value);
  void toggleSystemMute();
  void setInputVolume(float value);
  void toggleInputMute();
  void showHUD(AudioDirection direction);

  // Per-application controls.
  void setAppVolume(const std::string& appID, float volume);
  void toggleAppMute(const std::string& appID);
  void toggleSolo(const std::string& appID);
  void setAppOutput(const std::string& appID, const std::optional<std::string>& deviceID);
  void setAppFallback(const std::string& appID, bool followSystem);
  void setProcessing(bool enabled);
  // Off leaves the levels in memory and keeps them out of the file.
  void setRememberApps(bool enabled);
  // Off also forgets the remembered volumes, so switching it on again starts with none.
  void setRememberDevices(bool enabled);
  bool boostEnabled(const std::string& key) const;
  void toggleBoost(const std::string& key);
  void setEQ(const std::string& key, const settings::DeviceEQ& value);
  void resetEQ(const std::string& key);
  AppRoutePresentation appRoutePresentation(const std::string& appID) const;
  AppAudioPresentation appPresentation(const std::string& appID) const;
  std::vector<audio::AudioApp> visibleApps() const;
  void openAudioPermission();
  // The desktop's settings pages the views send the user to; a page the desktop lacks is not
  // offered (its button is disabled).
  using SettingsPage = platform::SettingsPage;
  bool canOpenSettingsPage(SettingsPage page) const;
  void openSettingsPage(SettingsPage page);

  // Multi-output.
  void setMultiEnabled(bool enabled);
  void setMultiDevice(const std::string& key, bool included);
  // The check the settings view makes before it ticks one more device; false (with the
  // message set) when four are already selected.
  bool canIncludeMultiDevice();
  void setMultiLevel(const std::string& key, float level);

  // Devices.
  std::vector<settings::DeviceBookmark> bookmarks() const;
  std::vector<settings::DeviceBookmark> outputBookmarks() const;
  void selectBookmark(const settings::DeviceBookmark& bookmark, AudioDirection direction);
  void selectDevice(AudioObjectID device, AudioDirection direction);
  void cancelConnection(AudioDirection direction);
  void renameDevice(const std::string& id, const std::string& name);
  void moveDevice(const std::string& id, const std::string& before);
  void moveDevice(const std::string& id, int offset);
  void setDeviceVisible(const settings::DeviceBookmark& bookmark, AudioDirection direction,
                        bool visible);
  std::string currentRuleTopology() const;
  // The first bookmark, in list order, that stands for the current default device.
  std::optional<settings::DeviceBookmark> currentBookmark(AudioDirection direction) const;
  // The live device a bookmark stands for in one direction, if it is present.
  std::optional<audio::AudioDevice> presentDevice(const settings::DeviceBookmark& bookmark,
                                                  AudioDirection direction) const;
  // The banner's close button.
  void clearError();
  // A message of the shell's own for the banner (an output without volume control, on scroll).
  void reportError(std::string message);
  // The default output as the hardware has it now, which may be newer than `state().outputID`,
  // and its volume (none without volume control). A failed read gives device 0.
  std::pair<AudioObjectID, std::optional<float>> hardwareDefaultOutput() const;

  // Automatic device rules.
  void setAutomatic(AudioDirection direction, bool enabled);
  void setAutomaticDevice(const std::string& id, AudioDirection direction, bool included);
  void moveAutomaticDevice(const std::string& id, AudioDirection direction, int offset);

  // Scenes.
  settings::AudioScene currentSceneSnapshot(const std::string& name) const;
  void saveScene(const std::string& name, const std::optional<std::string>& replacing);
  void deleteScene(const std::string& id);
  void applyScene(const settings::AudioScene& scene);
  bool activeSceneModified() const;
  // The caption of a scene: "切换中" while it is applied, "当前配置" or "已调整" while it is the
  // active one, nothing otherwise.
  std::optional<std::string> sceneState(const std::string& sceneID) const;
  // The scene view's stop action: abandons an application under way.
  void stopApplyingScene();

  // The program's version as the build names it ("0.7.6" when the build names none).
  static std::string appVersion();

  // Hotkeys and login.
  void perform(settings::HotkeyAction action);
  void setShortcut(settings::HotkeyAction action,
                   const std::optional<settings::Shortcut>& shortcut);
  // The shortcut recorder: while it records, pressing a bound combination does not run its action.
  void pauseHotkeys(bool paused) { hotkeys_->pause(paused); }
  void setLogin(bool enabled);
  void refreshLogin();

  // Seams for device selection, automatic rules, Bluetooth scanning and scenes.
  void scanBluetooth();
  void resolvePendingSelections();
  // With `only` a single direction is evaluated and the accepted topology stays.
  void applyAutomaticRules(bool force, std::optional<AudioDirection> only);
  void finishSceneIfReady();

  audio::AudioEngine& engine() { return *engine_; }
  // Where connections and scans run; tests wait for them with an empty sync().
  platform::SerialQueue& bluetoothQueue() { return *bluetoothQueue_; }
  platform::SerialQueue& utilityQueue() { return *utilityQueue_; }
  const std::vector<audio::PairedAudioDevice>& pairedDevices() const { return pairedDevices_; }

 private:
  void start();
  void publish();
  void setError(std::string message);
  // Debug builds: the caller is on the main queue's thread.
  void checkMainQueue() const;
  void finishAppChange(bool retryEngine);
  // What every manual device choice does first: abandon a scene under way, hold the choice
  // against the automatic rules, end this direction's pending selection.
  void beginManualChoice(AudioDirection direction);
  std::optional<std::string> currentBookmarkID(AudioDirection direction) const;
  // Ends the application of a scene under way and its device selections; completed switches stay.
  void abandonScene();
  // Forgets one direction's pending selection and its label, without publishing.
  void endPendingSelection(AudioDirection direction);
  // Writes the system's default device of a direction.
  OSStatus writeDefaultDevice(AudioDirection direction, AudioObjectID device);
  settings::AppLevel level(const std::string& appID) const;
  const audio::AudioDevice* device(AudioObjectID id) const;
  // Writes a volume to every volume element of a device's scope; a message on failure.
  std::optional<std::string> writeVolume(AudioObjectID device, AudioDirection direction,
                                         float value);
  std::optional<std::string> writeMute(AudioObjectID device, AudioDirection direction, bool muted);
  bool hasSettableMute(AudioObjectID device, AudioDirection direction) const;
  // Muted in hardware, or muted by us by setting the volume to 0 and keeping the old one under
  // `emulationKey`.
  bool readMuted(AudioObjectID device, AudioDirection direction, std::optional<float> volume,
                 const std::string& emulationKey) const;
  // The key an emulated mute keeps its volume under; none without a default device.
  std::optional<std::string> emulatedMuteKey(AudioDirection direction) const;
  void toggleMute(AudioDirection direction);
  void refreshInput();
  void refreshOutput();
  // Applies an edit to a copy of the advanced settings; stores and saves it only when it changed.
  void editAutomaticDevices(const std::function<void(settings::AdvancedPreferences&)>& edit);
  // Main thread: the result of the connection attempt `token` for one direction; a failure
  // message, or none for success.
  void finishConnection(AudioDirection direction, const std::string& token,
                        const std::optional<std::string>& failure);

  settings::PreferencesStore store_;
  Services services_;
  ModelState state_;
  ModelState published_;
  std::vector<Observer> observers_;
  std::unique_ptr<audio::AudioEngine> engine_;
  std::unique_ptr<HotkeyManager> hotkeys_;
  platform::TimerHandle timer_;
  uint64_t powerObservation_ = 0;
  platform::TimerHandle saveTask_;
  std::optional<std::string> previousUID_;
  std::map<std::string, float> volumeBeforeMute_;
  bool sleeping_ = false;
  std::vector<audio::PairedAudioDevice> pairedDevices_;
  double lastBluetoothScan_ = -1e300;  // the distant past
  std::optional<std::string> acceptedRuleTopology_;
  std::optional<std::string> candidateRuleTopology_;
  double ruleStableSince_ = 0.0;  // main-queue clock; set to the creation time
  struct SceneApplication {
    settings::AudioScene scene;
    double deadline = 0.0;
  };
  std::optional<SceneApplication> sceneToApply_;
  bool sceneRoutingSetup_ = false;
  std::map<AudioDirection, PendingSelection> pending_;
  bool shutDown_ = false;
  // Lets delayed work on the main queue notice that the model is gone.
  std::shared_ptr<AppModel*> self_ = std::make_shared<AppModel*>(this);
  // Last, so that they are joined first: their tasks post to the main queue and touch nothing else.
  std::unique_ptr<platform::SerialQueue> bluetoothQueue_ =
      std::make_unique<platform::SerialQueue>("com.local.Ombrel.bluetooth");
  std::unique_ptr<platform::SerialQueue> utilityQueue_ =
      std::make_unique<platform::SerialQueue>("com.local.Ombrel.utility");
};

}  // namespace velmora::model
