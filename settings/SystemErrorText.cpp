#include "settings/SystemErrorText.h"

#include <cerrno>
#include <cstring>

namespace velmora::settings {

std::string describeSystemError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "没有权限";
    case ENOENT:
      return "文件或目录不存在";
    case ENOTDIR:
      return "路径中有一段不是目录";
    case EISDIR:
      return "这是一个目录";
    case ENOTEMPTY:
    case EEXIST:
      return "已有同名的文件或目录";
    case ENOSPC:
      return "磁盘空间不足";
    case EDQUOT:
      return "超出磁盘配额";
    case EFBIG:
      return "文件超出允许的大小";
    case EROFS:
      return "文件系统是只读的";
    case EIO:
      return "磁盘读写出错";
    case ENAMETOOLONG:
      return "路径过长";
    case EMFILE:
    case ENFILE:
      return "打开的文件过多";
    case ELOOP:
      return "符号链接层数过多";
    default: {
      // strerror may share one buffer between threads; GNU strerror_r fills ours or returns its
      // own.
      char buffer[256];
      return "系统错误 " + std::to_string(error) + "（" + strerror_r(error, buffer, sizeof buffer) +
             "）";
    }
  }
}

}  // namespace velmora::settings
