#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velmora::platform {

// Stands in for an application bundle's information dictionary: a few typed values, compiled
// into the program.
class ApplicationInfo {
 public:
  using Value = std::variant<bool, int64_t, std::string>;

  explicit ApplicationInfo(std::map<std::string, Value, std::less<>> entries);

  // The value of `key` if it is present and a string.
  std::optional<std::string> string(std::string_view key) const;

 private:
  std::map<std::string, Value, std::less<>> entries_;
};

// The program's own record.
const ApplicationInfo& applicationInfo();

}  // namespace velmora::platform
