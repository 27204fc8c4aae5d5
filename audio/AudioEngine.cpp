#include "audio/AudioEngine.h"

#include <cassert>
#include <chrono>
#include <set>
#include <thread>

#include "audio/AudioFailure.h"
#include "audio/AudioRoutePolicy.h"
#include "audio/DecimalText.h"
#include "audio/HAL.h"

namespace velmora::audio {
namespace {

AppAudioStatus unprocessed(const Plan& plan) {
  return {false, plan.message.value_or("原始音量"), std::nullopt, false};
}

AppAudioStatus failed(const std::string& message) {
  return {false, "未接管 · 原始声音", message, false};
}

// The label of a session that runs as asked.
std::string healthyLabel(const Plan& plan, const settings::AppLevel& level,
                         const std::vector<OutputRouteSpec>& routes, const std::string& appID,
                         const std::optional<std::string>& solo) {
  if (plan.message) return *plan.message;
  if (solo && *solo != appID) return "独听期间静音";
  if (level.muted) return "已静音";
  if (routes.size() >= 2) return std::to_string(routes.size()) + " 个输出设备";
  if (level.outputDeviceID) return "→ " + routes[0].device.name;
  const bool effective = routes[0].eq.effective();
  if (routes[0].boost > 1.0f) return effective ? "音量增强 · EQ" : "音量增强 +6 dB";
  return effective ? "独立音量 · EQ" : "独立音量";
}

}  // namespace

std::string sessionSignature(const AudioApp& app, const std::vector<OutputRouteSpec>& routes) {
  std::string signature = "[";
  for (size_t i = 0; i < app.processes.size(); ++i) {
    signature += (i ? ", " : "") + std::to_string(app.processes[i]);
  }
  signature += "]:";
  for (size_t i = 0; i < routes.size(); ++i) {
    // The rate is read fresh: a device that changes rate needs a new session.
    const double rate =
        HAL::value<double>(routes[i].device.id, kAudioDevicePropertyNominalSampleRate)
            .value_or(0.0);
    signature += (i ? "|" : "") + routes[i].key + ":" + std::to_string(routes[i].device.id) + ":" +
                 decimalText(rate);
  }
  return signature;
}

TapSession::Pause AudioEngine::sleepingPause() {
  return
      [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); };
}

AudioEngine::AudioEngine(platform::MainQueue& mainQueue, const platform::Clock& clock,
                         TapSession::Pause pause)
    : mainQueue_(mainQueue),
      clock_(clock),
      pause_(std::move(pause)),
      publisher_(std::make_shared<Publisher>()),
      queue_(kQueueLabel) {}

AudioEngine::~AudioEngine() {
  queue_.sync([this] {
    sessions_.clear();
    failures_.clear();
  });
}

void AudioEngine::setOnStatus(StatusCallback callback) {
  assert(mainQueue_.isCurrent());
  publisher_->onStatus = std::move(callback);
}

void AudioEngine::update(std::vector<AudioApp> apps, std::optional<std::string> defaultKey,
                         std::map<std::string, AudioDevice> routeDevices, bool enabled,
                         std::map<std::string, settings::AppLevel> levels,
                         settings::AdvancedPreferences advanced, std::optional<std::string> solo) {
  assert(mainQueue_.isCurrent());
  auto snapshot = std::make_shared<Snapshot>(
      Snapshot{std::move(apps), std::move(defaultKey), std::move(routeDevices), enabled,
               std::move(levels), std::move(advanced), std::move(solo)});
  queue_.async([this, snapshot] { run(*snapshot); });
}

void AudioEngine::stopAll(bool wait) {
  assert(mainQueue_.isCurrent());
  auto work = [this] {
    sessions_.clear();  // each session stops as it goes
    failures_.clear();
    publish({});
  };
  if (wait) {
    queue_.sync(work);
  } else {
    queue_.async(work);
  }
}

void AudioEngine::retry() {
  assert(mainQueue_.isCurrent());
  queue_.async([this] { failures_.clear(); });
}

void AudioEngine::removeSession(const std::string& appID) { sessions_.erase(appID); }

void AudioEngine::run(const Snapshot& snapshot) {
  assert(queue_.isCurrent());
  std::set<std::string> ids;
  for (const AudioApp& app : snapshot.apps) ids.insert(app.id);
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    it = !snapshot.enabled || !ids.count(it->first) ? sessions_.erase(it) : std::next(it);
  }
  Statuses statuses;
  if (snapshot.enabled) {
    for (const AudioApp& app : snapshot.apps) statuses[app.id] = process(app, snapshot);
  }
  publish(std::move(statuses));
}

AppAudioStatus AudioEngine::process(const AudioApp& app, const Snapshot& snapshot) {
  const auto stored = snapshot.levels.find(app.id);
  const settings::AppLevel level =
      stored != snapshot.levels.end() ? stored->second : settings::AppLevel{};
  std::set<std::string> available;
  for (const auto& [key, device] : snapshot.routeDevices) available.insert(key);
  const settings::MultiOutputSettings& multi = snapshot.advanced.multiOutput;
  const Plan plan =
      AudioRoutePolicy::plan(app.id, level, snapshot.solo, snapshot.defaultKey, available, multi);
  const auto routes =
      AudioRoutePolicy::routeSpecs(plan, snapshot.routeDevices, level, snapshot.advanced);

  const bool needed =
      AudioRoutePolicy::processingNeeded(level, multi, routes, plan.gain, snapshot.solo);
  const bool hasSession = sessions_.count(app.id) > 0;
  // A silent application nobody has set anything for is left alone until it plays.
  const bool idle = !app.audible && stored == snapshot.levels.end() && !hasSession;
  const auto leave = [&](AppAudioStatus status) {
    removeSession(app.id);
    failures_.erase(app.id);
    return status;
  };
  if (!needed) return leave(unprocessed(plan));
  // Nowhere to play comes first: even a silent application is told why nothing takes effect.
  if (routes.empty()) return leave({false, "未接管 · 设置未生效", "没有可用的输出设备。", false});
  if (idle) return leave(unprocessed(plan));

  const std::string signature = sessionSignature(app, routes);
  if (const auto session = sessions_.find(app.id);
      session != sessions_.end() && session->second->signature() != signature) {
    sessions_.erase(session);
  }
  if (const auto failure = failures_.find(app.id);
      failure != failures_.end() && failure->second.signature == signature) {
    return failed(failure->second.message);
  }

  auto fail = [&](const std::string& message) {
    removeSession(app.id);
    failures_[app.id] = Failure{signature, message};
    return failed(message);
  };
  auto found = sessions_.find(app.id);
  if (found == sessions_.end()) {
    try {
      auto session =
          std::make_unique<TapSession>(app, routes, plan.gain, signature, clock_.now(), pause_);
      found = sessions_.emplace(app.id, std::move(session)).first;
    } catch (const AudioFailure& failure) {
      return fail(failure.message);
    }
  }

  TapSession& session = *found->second;
  OMState* state = session.state();
  if (state != nullptr) OMSetGain(state, plan.gain);
  session.setRoutingParameters(routes);
  const uint64_t callbacks = state != nullptr ? OMCallbackCount(state) : 0;
  if (state != nullptr && OMFaultCount(state) > 0) {
    return fail("音频缓冲布局不匹配，已恢复原始声音。");
  }
  if (callbacks == 0 && app.audible &&
      clock_.now() - session.started() > kCallbackWatchdogSeconds) {
    return fail("未收到音频回调，已恢复原始声音。请检查系统音频录制权限后重试。");
  }
  if (callbacks == 0) return {false, "正在建立处理 · 设置尚未生效", std::nullopt, true};
  return {true, healthyLabel(plan, level, routes, app.id, snapshot.solo), std::nullopt, false};
}

void AudioEngine::publish(Statuses statuses) {
  std::weak_ptr<Publisher> publisher = publisher_;
  mainQueue_.post([publisher, statuses = std::move(statuses)] {
    if (auto alive = publisher.lock(); alive && alive->onStatus) alive->onStatus(statuses);
  });
}

}  // namespace velmora::audio
