#include "settings/FileDescriptor.h"

#include <fcntl.h>

#include <cerrno>

namespace velmora::settings {

int writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

int syncDirectory(const char* path) {
  FileDescriptor directory(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory.valid()) return errno;
  if (::fsync(directory.get()) != 0) return errno;
  return directory.close();
}

}  // namespace velmora::settings
