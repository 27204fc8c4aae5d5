#include "shell/AudioSystem.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/apps/ApplicationServices.h"
#include "platform/audio/AudioBackend.h"
#include "platform/bluetooth/BluetoothService.h"
#include "platform/desktop/BluezBluetoothService.h"
#include "platform/desktop/DesktopApplicationServices.h"
#include "platform/pipewire/PipeWireBackend.h"
#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedMachine.h"

namespace velmora::shell {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The real desktop: PipeWire for audio, BlueZ for Bluetooth, desktop entries for applications.
class PipeWireSystem final : public AudioSystem {
 public:
  PipeWireSystem()
      : applications_(platform::DesktopEntries(platform::DesktopEntries::sessionFolders()),
                      [this](int32_t pid) {
                        const auto all = backend_.clientApplications();
                        const auto found = all.find(pid);
                        return found != all.end() ? found->second
                                                  : platform::AudioClientApplication{};
                      }) {
    previous_ = platform::installAudioBackend(&backend_);
    previousApplications_ = platform::installApplicationServices(&applications_);
    previousBluetooth_ = platform::installBluetoothService(&bluetooth_);
  }
  ~PipeWireSystem() override {
    platform::installBluetoothService(previousBluetooth_);
    platform::installApplicationServices(previousApplications_);
    platform::installAudioBackend(previous_);
  }
  AudioSystemKind kind() const override { return AudioSystemKind::pipewire; }
  bool waitUntilConnected(int timeoutMs) override { return backend_.waitUntilConnected(timeoutMs); }

 private:
  platform::pipewire::PipeWireBackend backend_;
  platform::DesktopApplicationServices applications_;
  platform::BluezBluetoothService bluetooth_;
  platform::AudioBackend* previous_ = nullptr;
  platform::ApplicationServices* previousApplications_ = nullptr;
  platform::BluetoothService* previousBluetooth_ = nullptr;
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
