#include <gtest/gtest.h>

#include <sstream>

#include "shell/AudioSystem.h"

namespace velmora::shell {
namespace {

TEST(AudioSystem, PipeWireWheneverTheSessionHasItAndTheSimulatedMachineOnlyWithout) {
  struct Case {
    const char* what;
    std::string environment;  // NAME=value words
    std::string socket;       // the one path that exists
    AudioSystemKind kind;
  };
  using enum AudioSystemKind;
  const std::string runtime = "XDG_RUNTIME_DIR=/run/user/1";
  const Case cases[] = {
      {"nothing at all", "", "", simulated},
      {"runtime folder without a socket", runtime, "", simulated},
      // Socket activation: the server may not answer yet, the socket is enough.
      {"socket in the runtime folder", runtime, "/run/user/1/pipewire-0", pipewire},
      {"the server's own folder wins", runtime + " PIPEWIRE_RUNTIME_DIR=/srv/pw",
       "/srv/pw/pipewire-0", pipewire},
      {"a remote named", "PIPEWIRE_REMOTE=pipewire-1", "", pipewire},
      {"forced on without a socket", "VELMORA_BACKEND=pipewire", "", pipewire},
      {"forced off with a socket", runtime + " VELMORA_BACKEND=sim", "/run/user/1/pipewire-0",
       simulated},
  };
  for (const Case& c : cases) {
    const auto env = [&](const char* name) {
      std::istringstream words(c.environment);
      for (std::string word; words >> word;) {
        if (word.rfind(std::string(name) + "=", 0) == 0) return word.substr(word.find('=') + 1);
      }
      return std::string();
    };
    const auto exists = [&](const std::string& path) { return path == c.socket; };
    EXPECT_EQ(chooseAudioSystem(env, exists), c.kind) << c.what;
  }
}

}  // namespace
}  // namespace velmora::shell
