#include "shell/AudioSystem.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/audio/AudioBackend.h"
#include "platform/pipewire/PipeWireBackend.h"
#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedMachine.h"

namespace velmora::shell {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class PipeWireSystem final : public AudioSystem {
 public:
  PipeWireSystem() { previous_ = platform::installAudioBackend(&backend_); }
  ~PipeWireSystem() override { platform::installAudioBackend(previous_); }
  AudioSystemKind kind() const override { return AudioSystemKind::pipewire; }
  bool waitUntilConnected(int timeoutMs) override { return backend_.waitUntilConnected(timeoutMs); }

 private:
  platform::pipewire::PipeWireBackend backend_;
  platform::AudioBackend* previous_ = nullptr;
};

class SimulatedSystem final : public AudioSystem {
 public:
  explicit SimulatedSystem(const platform::sim::Scenario& scenario) : machine_(scenario) {}
  AudioSystemKind kind() const override { return AudioSystemKind::simulated; }
  bool waitUntilConnected(int) override { return true; }

 private:
  platform::sim::SimulatedMachine machine_;
};

}  // namespace

AudioSystemKind chooseAudioSystem(const std::function<std::string(const char*)>& env,
                                  const std::function<bool(const std::string&)>& exists) {
  const std::string forced = env("VELMORA_BACKEND");
  if (forced == "sim") return AudioSystemKind::simulated;
  if (forced == "pipewire" || !env("PIPEWIRE_REMOTE").empty()) return AudioSystemKind::pipewire;
  std::string runtime = env("PIPEWIRE_RUNTIME_DIR");
  if (runtime.empty()) runtime = env("XDG_RUNTIME_DIR");
  if (!runtime.empty() && exists(runtime + "/pipewire-0")) return AudioSystemKind::pipewire;
  return AudioSystemKind::simulated;
}

std::unique_ptr<AudioSystem> installAudioSystem() {
  const auto kind = chooseAudioSystem(environment, [](const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
  });
  if (kind == AudioSystemKind::pipewire) return std::make_unique<PipeWireSystem>();
  // The built-in scenario or the one VELMORA_SCENARIO names.
  using namespace platform::sim;
  const std::string path = environment("VELMORA_SCENARIO");
  const Scenario scenario = path.empty() ? builtInScenario() : loadScenarioFile(path);
  std::cerr << "velmora: showing the simulated system ("
            << (path.empty() ? "built-in scenario" : path)
            << "). These devices and applications are not your machine's.\n";
  return std::make_unique<SimulatedSystem>(scenario);
}

}  // namespace velmora::shell
