#include "settings/AtomicFileWriter.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "settings/FileDescriptor.h"
#include "settings/PreferencesError.h"
#include "settings/SystemErrorText.h"

namespace velmora::settings {

namespace {

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void keep() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view contents) {
  const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : ".";
  const auto fail = [&](const std::string& what, int error) {
    throw PreferencesError(what + "：" + describeSystemError(error));
  };

  // Hidden, and in the same directory, so the rename cannot cross file systems.
  std::string pattern = (directory / ("." + path.filename().string() + ".XXXXXX")).string();
  FileDescriptor file(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!file.valid()) fail("无法在 " + directory.string() + " 中创建临时文件", errno);
  TemporaryFile temporary(pattern);

  if (int error = writeAll(file.get(), contents.data(), contents.size())) {
    fail("写入临时文件 " + temporary.path() + " 失败", error);
  }
  if (::fsync(file.get()) != 0) fail("无法把临时文件 " + temporary.path() + " 同步到磁盘", errno);
  if (int error = file.close()) fail("写入临时文件 " + temporary.path() + " 失败", error);
  if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
    fail("无法用新内容替换 " + path.string(), errno);
  }
  temporary.keep();
  if (int error = syncDirectory(directory.c_str())) {
    fail("已写入 " + path.string() + "，但无法把目录 " + directory.string() + " 同步到磁盘", error);
  }
}

}  // namespace velmora::settings
