#include <gtest/gtest.h>

#include <map>

#include "shell/AudioSystem.h"

namespace velmora::shell {
namespace {

TEST(AudioSystem, PipeWireWheneverTheSessionHasItAndTheSimulatedMachineOnlyWithout) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> environment;
    std::string socket;  // the one path that exists
    AudioSystemKind kind;
  };
  using enum AudioSystemKind;
  const Case cases[] = {
      {"nothing at all", {}, "", simulated},
      {"runtime folder without a socket", {{"XDG_RUNTIME_DIR", "/run/user/1"}}, "", simulated},
      {"socket in the runtime folder (socket activation: the server may not answer yet)",
       {{"XDG_RUNTIME_DIR", "/run/user/1"}},
       "/run/user/1/pipewire-0",
       pipewire},
      {"the server's own runtime folder wins",
       {{"XDG_RUNTIME_DIR", "/run/user/1"}, {"PIPEWIRE_RUNTIME_DIR", "/srv/pw"}},
       "/srv/pw/pipewire-0",
       pipewire},
      {"a remote named", {{"PIPEWIRE_REMOTE", "pipewire-1"}}, "", pipewire},
      {"forced on without a socket", {{"VELMORA_BACKEND", "pipewire"}}, "", pipewire},
      {"forced off with a socket",
       {{"VELMORA_BACKEND", "sim"}, {"XDG_RUNTIME_DIR", "/run/user/1"}},
       "/run/user/1/pipewire-0",
       simulated},
  };
  for (const Case& c : cases) {
    const auto env = [&](const char* name) {
      const auto found = c.environment.find(name);
      return found == c.environment.end() ? std::string() : found->second;
    };
    const auto exists = [&](const std::string& path) { return path == c.socket; };
    EXPECT_EQ(chooseAudioSystem(env, exists), c.kind) << c.what;
  }
}

}  // namespace
}  // namespace velmora::shell
