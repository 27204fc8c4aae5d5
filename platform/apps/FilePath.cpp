#include "platform/apps/FilePath.h"

#include <vector>

namespace velmora::platform {

std::string standardizedPath(std::string_view path) {
  if (path.empty()) return {};
  const bool absolute = path.front() == '/';
  std::vector<std::string_view> components;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!components.empty() && components.back() != "..") {
        components.pop_back();
      } else if (!absolute) {
        components.push_back(component);  // a relative path may climb above where it starts
      }
      continue;
    }
    components.push_back(component);
  }
  std::string result;
  for (const std::string_view component : components) {
    if (absolute || !result.empty()) result += '/';
    result += component;
  }
  if (result.empty()) return absolute ? "/" : ".";
  return result;
}

std::string lastPathComponent(std::string_view path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string_view::npos) return path.empty() ? "" : "/";
  const size_t slash = path.rfind('/', end);
  const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(path.substr(start, end + 1 - start));
}

std::string pathExtension(std::string_view path) {
  const std::string name = lastPathComponent(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

std::string appendingPathComponent(std::string_view path, std::string_view component) {
  std::string result(path);
  if (!result.empty() && result.back() != '/') result += '/';
  result += component;
  return result;
}

}  // namespace velmora::platform
