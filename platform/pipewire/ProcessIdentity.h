// Which OS process owns an audio stream, read from the server's properties and from /proc. The
// /proc root is injectable so that tests use fixture folders.
//
// Threading: pure functions plus file reads; callers serialise their own use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/pipewire/Properties.h"

namespace velmora::platform::pipewire {

// One OS process for its whole life: a reused pid has another start time.
struct ProcessKey {
  int32_t pid = 0;
  uint64_t startTime = 0;
  auto operator<=>(const ProcessKey&) const = default;
};

class ProcFs {
 public:
  explicit ProcFs(std::string root = "/proc") : root_(std::move(root)) {}

  // Field 22 of <pid>/stat, in clock ticks since boot; none when the process is gone.
  std::optional<uint64_t> startTime(int32_t pid) const;
  std::optional<std::string> executable(int32_t pid) const;
  // The app id a Flatpak sandbox records in <pid>/root/.flatpak-info.
  std::string flatpakAppID(int32_t pid) const;
  // "firefox" for a process in a snap's cgroup.
  std::string snapName(int32_t pid) const;
  // The host pid of the process that is `sandboxPID` inside the sandbox of `appID`; none when no
  // process matches.
  std::optional<int32_t> hostPID(int32_t sandboxPID, const std::string& appID) const;

  const std::string& root() const { return root_; }

 private:
  std::string path(int32_t pid, const char* file) const;
  std::string root_;
};

// The host pid of the process that owns a stream node. Native clients are identified by the
// server's peer credentials; the PulseAudio-protocol server's clients all share its pid, so
// there the library's own report counts, translated out of a Flatpak sandbox. 0 when unknown.
int32_t streamOwnerPID(const Properties& node, const Properties& client, const ProcFs& proc);

// The stable application key equivalent: Flatpak app id, application.id, snap name, or "".
std::string bundleID(const Properties& node, const Properties& client, int32_t pid,
                     const ProcFs& proc);

}  // namespace velmora::platform::pipewire
