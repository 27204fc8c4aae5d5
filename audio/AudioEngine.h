// Keeps one tap session per processed application in step with a snapshot of the settings, and
// reports a status per application.
//
// Threading: update, stopAll, retry and setOnStatus are called on the main queue's thread; all
// session work runs on the engine's serial queue; statuses are delivered on the main queue. Debug
// builds check both on entry.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AppAudioStatus.h"
#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/TapSession.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "settings/AdvancedPreferences.h"
#include "settings/AppLevel.h"

namespace velmora::audio {

class AudioEngine {
 public:
  using Statuses = std::map<std::string, AppAudioStatus>;
  using StatusCallback = std::function<void(const Statuses&)>;

  static constexpr const char* kQueueLabel = "com.local.Ombrel.engine";
  // A session whose callback has not run this long after construction has failed.
  static constexpr double kCallbackWatchdogSeconds = 5.0;

  // `clock` times the callback watchdog; `pause` is how a session waits for its aggregate.
  AudioEngine(platform::MainQueue& mainQueue, const platform::Clock& clock,
              TapSession::Pause pause = sleepingPause());
  // Stops every session, so every application plays its own sound again.
  ~AudioEngine();
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  void setOnStatus(StatusCallback callback);

  // Copies the snapshot and returns at once; the work runs on the engine's queue.
  void update(std::vector<AudioApp> apps, std::optional<std::string> defaultKey,
              std::map<std::string, AudioDevice> routeDevices, bool enabled,
              std::map<std::string, settings::AppLevel> levels,
              settings::AdvancedPreferences advanced, std::optional<std::string> solo);
  // Stops and forgets every session and failure and publishes no statuses. With `wait` the
  // caller blocks until it is done; never call it so from the engine's queue.
  void stopAll(bool wait);
  // Forgets the failures, so the next update tries every application again.
  void retry();

  // The engine's queue: tests wait for the engine with an empty sync on it.
  platform::SerialQueue& queue() { return queue_; }

  static TapSession::Pause sleepingPause();

 private:
  struct Snapshot {
    std::vector<AudioApp> apps;
    std::optional<std::string> defaultKey;
    std::map<std::string, AudioDevice> routeDevices;
    bool enabled = false;
    std::map<std::string, settings::AppLevel> levels;
    settings::AdvancedPreferences advanced;
    std::optional<std::string> solo;
  };
  struct Failure {
    std::string signature;
    std::string message;
  };
  // Lives as long as the engine; the main queue reaches the callback only through a weak
  // reference, so a status posted after the engine is gone is dropped.
  struct Publisher {
    StatusCallback onStatus;
  };

  void run(const Snapshot& snapshot);
  AppAudioStatus process(const AudioApp& app, const Snapshot& snapshot);
  void removeSession(const std::string& appID);
  void publish(Statuses statuses);

  platform::MainQueue& mainQueue_;
  const platform::Clock& clock_;
  TapSession::Pause pause_;
  std::shared_ptr<Publisher> publisher_;
  // Only touched on the queue.
  std::map<std::string, std::unique_ptr<TapSession>> sessions_;
  std::map<std::string, Failure> failures_;
  // Declared last: destroyed first, so no task runs on a half-destroyed engine.
  platform::SerialQueue queue_;
};

// What identifies a session: its processes and, per route, key, device id and sample rate.
std::string sessionSignature(const AudioApp& app, const std::vector<OutputRouteSpec>& routes);

}  // namespace velmora::audio
