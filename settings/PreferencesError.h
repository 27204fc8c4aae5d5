#pragma once

#include <stdexcept>

namespace velmora::settings {

// A failure to read or write the settings. what() is finished Chinese text that says what is
// wrong and where, written to follow "读取设置失败：" or "保存设置失败：".
class PreferencesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velmora::settings
