#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

namespace velmora::settings {

// Owns a POSIX file descriptor. close() reports the error that a destructor would swallow;
// after a write, that error can be the write's own.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Returns 0 or an errno value.
  int close() {
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Writes all of `data`, retrying short writes and interruptions. Returns 0 or an errno value.
int writeAll(int fd, const char* data, size_t size);

// Syncs the directory at `path`, so that a rename or creation inside it survives a power cut.
// Returns 0 or an errno value.
int syncDirectory(const char* path);

}  // namespace velmora::settings
