#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>

namespace velmora::settings {

// Deeper than any settings document needs, shallow enough that nothing downstream can run out
// of stack on it.
inline constexpr size_t kMaximumJSONDepth = 256;

// Parses one JSON document strictly (no comments, nothing after the value, valid UTF-8, at most
// kMaximumJSONDepth levels of nesting). Throws PreferencesError naming the line and column of
// the first problem.
nlohmann::json parseJSONDocument(std::string_view text);

}  // namespace velmora::settings
