#include "settings/UnreadableFileCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>

#include "settings/FileDescriptor.h"
#include "settings/PreferencesError.h"
#include "settings/SystemErrorText.h"

namespace velmora::settings {

namespace {

constexpr int kMaximumCopies = 100;

std::filesystem::path copyName(const std::filesystem::path& path, int number) {
  std::string name = path.string() + ".unreadable";
  if (number > 1) name += "-" + std::to_string(number);
  return name;
}

// Reads up to size bytes at offset, retrying short reads. Returns the count, or -1 with errno.
ssize_t readAt(int fd, char* buffer, size_t size, off_t offset) {
  size_t total = 0;
  while (total < size) {
    const ssize_t count =
        ::pread(fd, buffer + total, size - total, offset + static_cast<off_t>(total));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return -1;
    if (count == 0) break;
    total += static_cast<size_t>(count);
  }
  return static_cast<ssize_t>(total);
}

bool sameContents(int source, const std::filesystem::path& other) {
  FileDescriptor copy(::open(other.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!copy.valid()) return false;
  std::array<char, 65536> left;
  std::array<char, 65536> right;
  for (off_t offset = 0;; offset += static_cast<off_t>(left.size())) {
    const ssize_t leftCount = readAt(source, left.data(), left.size(), offset);
    const ssize_t rightCount = readAt(copy.get(), right.data(), right.size(), offset);
    if (leftCount < 0 || leftCount != rightCount) return false;
    if (!std::equal(left.begin(), left.begin() + leftCount, right.begin())) return false;
    if (leftCount < static_cast<ssize_t>(left.size())) return true;
  }
}

// Copies all of source into destination. Returns 0 or an errno value.
int copyContents(int source, int destination) {
  std::array<char, 65536> buffer;
  for (off_t offset = 0;; offset += static_cast<off_t>(buffer.size())) {
    const ssize_t count = readAt(source, buffer.data(), buffer.size(), offset);
    if (count < 0) return errno;
    if (int error = writeAll(destination, buffer.data(), static_cast<size_t>(count))) return error;
    if (count < static_cast<ssize_t>(buffer.size())) return 0;
  }
}

}  // namespace

std::filesystem::path keepUnreadableCopy(const std::filesystem::path& path) {
  const auto fail = [](const std::string& what, int error) {
    throw PreferencesError(what + "：" + describeSystemError(error));
  };

  FileDescriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!source.valid()) fail("无法读取 " + path.string(), errno);

  for (int number = 1; number <= kMaximumCopies; ++number) {
    std::filesystem::path name = copyName(path, number);  // not const: returned by moving
    // O_EXCL: an earlier copy is never overwritten, even by a second instance racing this one.
    FileDescriptor copy(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!copy.valid()) {
      if (errno != EEXIST) fail("无法创建 " + name.string(), errno);
      if (sameContents(source.get(), name)) return name;
      continue;
    }
    int error = copyContents(source.get(), copy.get());
    if (error == 0 && ::fsync(copy.get()) != 0) error = errno;
    if (int closeError = copy.close(); error == 0) error = closeError;
    if (error == 0) {
      const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : ".";
      error = syncDirectory(directory.c_str());
    }
    if (error != 0) {
      ::unlink(name.c_str());
      fail("无法写入副本 " + name.string(), error);
    }
    return name;
  }
  throw PreferencesError("已有 " + std::to_string(kMaximumCopies) + " 份 " +
                         path.filename().string() + " 的副本，请先清理");
}

}  // namespace velmora::settings
