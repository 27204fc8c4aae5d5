#include "platform/process/ProcessPath.h"

#include <filesystem>
#include <system_error>

#include "platform/audio/AudioBackend.h"

namespace velmora::platform {

std::optional<std::string> processExecutablePath(int32_t pid) {
  if (auto* backend = installedAudioBackend()) return backend->processPath(pid);
  if (pid <= 0) return std::nullopt;
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error || path.empty()) return std::nullopt;
  return path.string();
}

}  // namespace velmora::platform
