#include "settings/PreferencesStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "settings/AtomicFileWriter.h"
#include "settings/FileDescriptor.h"
#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"
#include "settings/SystemErrorText.h"
#include "settings/UnreadableFileCopy.h"

namespace velmora::settings {

namespace {

// Far beyond any real settings file; a bigger one is not read into memory at all.
constexpr off_t kMaximumFileSize = off_t{16} << 20;

enum class FileState { absent, regularFile, other };

FileState fileState(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileState::absent : FileState::other;
  }
  return S_ISREG(status.st_mode) ? FileState::regularFile : FileState::other;
}

std::string readSettingsFile(const std::filesystem::path& path) {
  const auto fail = [&](const std::string& what) { throw PreferencesError(what); };
  // Non-blocking, so that a FIFO in the file's place cannot stall the start.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) fail("无法打开 " + path.string() + "：" + describeSystemError(errno));
  struct stat status {};
  if (::fstat(file.get(), &status) != 0)
    fail("无法读取 " + path.string() + "：" + describeSystemError(errno));
  if (S_ISDIR(status.st_mode)) fail(path.string() + " 是一个目录，不是设置文件");
  if (!S_ISREG(status.st_mode)) fail(path.string() + " 不是普通文件");
  const std::string tooLarge = path.string() + " 超过 16 MiB，不像是设置文件";
  if (status.st_size > kMaximumFileSize) fail(tooLarge);

  std::string contents;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) fail("读取 " + path.string() + " 时出错：" + describeSystemError(errno));
    if (count == 0) return contents;
    contents.append(buffer, static_cast<size_t>(count));
    if (contents.size() > static_cast<size_t>(kMaximumFileSize)) fail(tooLarge);  // grew meanwhile
  }
}

}  // namespace

PreferencesStore::PreferencesStore(std::filesystem::path url) : url_(std::move(url)) {}

Preferences PreferencesStore::load() {
  if (fileState(url_) == FileState::absent) return Preferences{};
  Preferences preferences;
  try {
    preferences = decodePreferences(readSettingsFile(url_));
  } catch (const PreferencesError& error) {
    throw PreferencesError(error.what() + keepUnreadableFile());
  }
  for (auto& [key, level] : preferences.apps) level.volume = std::clamp(level.volume, 0.0f, 1.0f);
  for (auto& [uid, volume] : preferences.deviceVolumes) volume = std::clamp(volume, 0.0f, 1.0f);
  return preferences;
}

std::string PreferencesStore::keepUnreadableFile() {
  // A directory or special file in the file's place cannot be renamed over, so nothing is lost.
  if (fileState(url_) != FileState::regularFile) return {};
  try {
    const std::filesystem::path copy = keepUnreadableCopy(url_);
    unreadableFileNeedsCopy_ = false;
    return "；原文件已另存为 " + copy.string();
  } catch (const PreferencesError& error) {
    unreadableFileNeedsCopy_ = true;
    return "；原文件无法另存副本（" + std::string(error.what()) + "），存好副本之前不会覆盖它";
  }
}

void PreferencesStore::save(const Preferences& preferences) {
  if (unreadableFileNeedsCopy_) {
    if (fileState(url_) == FileState::regularFile) {
      try {
        keepUnreadableCopy(url_);
      } catch (const PreferencesError& error) {
        throw PreferencesError(url_.string() + " 读取失败，且仍无法另存副本（" + error.what() +
                               "），为免丢失不会覆盖它");
      }
    }
    unreadableFileNeedsCopy_ = false;
  }

  Preferences written = preferences;
  if (!written.rememberApps) written.apps.clear();
  if (!written.rememberDevices) written.deviceVolumes.clear();

  if (url_.has_parent_path()) {
    std::error_code error;
    std::filesystem::create_directories(url_.parent_path(), error);
    if (error) {
      throw PreferencesError("无法创建目录 " + url_.parent_path().string() + "：" +
                             describeSystemError(error.value()));
    }
  }
  writeFileAtomically(url_, encodePreferences(written));
}

std::string loadFailureMessage(const std::exception& error) {
  return std::string("读取设置失败：") + error.what() + "。本次使用默认设置。";
}

std::string saveFailureMessage(const std::exception& error) {
  return std::string("保存设置失败：") + error.what();
}

}  // namespace velmora::settings
