#include "platform/pipewire/ProcessIdentity.h"

#include <dirent.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace velmora::platform::pipewire {
namespace {

std::optional<int64_t> number(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string ProcFs::path(int32_t pid, const char* file) const {
  return root_ + "/" + std::to_string(pid) + "/" + file;
}

std::optional<uint64_t> ProcFs::startTime(int32_t pid) const {
  if (pid <= 0) return std::nullopt;
  const std::string stat = fileText(path(pid, "stat"));
  // The command name may hold spaces and parentheses: fields count from the last ')'.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int index = 3; fields >> field; ++index) {
    if (index == 22) {
      const auto value = number(field);
      if (!value || *value < 0) return std::nullopt;
      return uint64_t(*value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> ProcFs::executable(int32_t pid) const {
  if (pid <= 0) return std::nullopt;
  std::error_code error;
  auto target = std::filesystem::read_symlink(path(pid, "exe"), error);
  if (error || target.empty()) return std::nullopt;
  return target.string();
}

std::string ProcFs::flatpakAppID(int32_t pid) const {
  std::istringstream info(fileText(path(pid, "root/.flatpak-info")));
  bool inApplication = false;
  for (std::string line; std::getline(info, line);) {
    if (line.starts_with("[")) inApplication = line == "[Application]";
    if (inApplication && line.starts_with("name=")) return line.substr(5);
  }
  return {};
}

std::string ProcFs::snapName(int32_t pid) const {
  const std::string cgroup = fileText(path(pid, "cgroup"));
  // ".../snap.firefox.firefox-1234.scope"
  const size_t at = cgroup.find("/snap.");
  if (at == std::string::npos) return {};
  const size_t start = at + 6;
  const size_t end = cgroup.find('.', start);
  return end == std::string::npos ? std::string() : cgroup.substr(start, end - start);
}

std::optional<int32_t> ProcFs::hostPID(int32_t sandboxPID, const std::string& appID) const {
  DIR* dir = opendir(root_.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<int32_t> found;
  while (dirent* entry = readdir(dir)) {
    const auto pid = number(entry->d_name);
    if (!pid || *pid <= 0) continue;
    // "NSpid:\t<host>\t<in sandbox>": the last field is the pid the sandboxed library reports.
    std::istringstream status(fileText(path(int32_t(*pid), "status")));
    for (std::string line; std::getline(status, line);) {
      if (!line.starts_with("NSpid:")) continue;
      std::istringstream fields(line.substr(6));
      std::vector<std::string> pids;
      for (std::string field; fields >> field;) pids.push_back(field);
      if (pids.size() > 1 && number(pids.back()) == sandboxPID &&
          flatpakAppID(int32_t(*pid)) == appID) {
        found = int32_t(*pid);
      }
      break;
    }
    if (found) break;
  }
  closedir(dir);
  return found;
}

int32_t streamOwnerPID(const Properties& node, const Properties& client, const ProcFs& proc) {
  const bool pulse = property(client, "client.api") == "pipewire-pulse" ||
                     property(node, "client.api") == "pipewire-pulse";
  if (!pulse) return int32_t(number(property(client, "pipewire.sec.pid")).value_or(0));
  std::string reported = property(node, "application.process.id");
  if (reported.empty()) reported = property(client, "application.process.id");
  const int32_t pid = int32_t(number(reported).value_or(0));
  if (pid <= 0) return 0;
  const std::string& appID = property(client, "pipewire.access.portal.app_id");
  if (appID.empty()) return pid;
  return proc.hostPID(pid, appID).value_or(0);
}

std::string bundleID(const Properties& node, const Properties& client, int32_t pid,
                     const ProcFs& proc) {
  if (const std::string& portal = property(client, "pipewire.access.portal.app_id");
      !portal.empty()) {
    return portal;
  }
  if (std::string flatpak = proc.flatpakAppID(pid); !flatpak.empty()) return flatpak;
  if (const std::string& id = property(node, "application.id"); !id.empty()) return id;
  if (const std::string& id = property(client, "application.id"); !id.empty()) return id;
  return proc.snapName(pid);
}

}  // namespace velmora::platform::pipewire
