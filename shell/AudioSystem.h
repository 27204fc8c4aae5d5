// Which audio system the program runs on, and installing it for the program's lifetime.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velmora::shell {

enum class AudioSystemKind { pipewire, simulated };

// PipeWire whenever the session has its socket ($PIPEWIRE_REMOTE, or pipewire-0 in the runtime
// folder, which socket activation creates before the server answers) or VELMORA_BACKEND=pipewire;
// the simulated machine when there is none or VELMORA_BACKEND=sim. `env` reads a variable ("" when
// unset), `exists` tells whether a path exists.
AudioSystemKind chooseAudioSystem(const std::function<std::string(const char*)>& env,
                                  const std::function<bool(const std::string&)>& exists);

// The installed audio system; uninstalls it when destroyed.
class AudioSystem {
 public:
  virtual ~AudioSystem() = default;
  virtual AudioSystemKind kind() const = 0;
  // Waits, at most `timeoutMs`, for the audio system to answer; false while it does not.
  virtual bool waitUntilConnected(int timeoutMs) = 0;
};

// Chooses from the process's environment and installs. With PipeWire come the desktop's own
// applications (desktop entries) and Bluetooth (BlueZ); the simulated machine brings its own
// stand-ins: simulated services never combine with real audio. Throws ScenarioError for a
// simulated scenario file that cannot be read.
std::unique_ptr<AudioSystem> installAudioSystem();

}  // namespace velmora::shell
