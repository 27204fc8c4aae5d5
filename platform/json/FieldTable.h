// A record's fields by their JSON key, spelled once in a table that reading (and writing) walk, so
// that no key is handled by hand and the directions cannot drift. Header only: the settings and the
// scenario files use it.
#pragma once

#include <string_view>
#include <tuple>
#include <utility>

namespace velmora::json {

template <typename Record, typename Value>
struct Field {
  std::string_view key;
  Value Record::*member;
};

template <typename Record, typename Value>
constexpr Field<Record, Value> field(std::string_view key, Value Record::*member) {
  return {key, member};
}

// Calls visit(entry) for each entry of a table: a std::tuple of fields (or of records that hold
// one).
template <typename Table, typename Visit>
constexpr void forEachField(const Table& table, Visit&& visit) {
  std::apply([&](const auto&... entries) { (visit(entries), ...); }, table);
}

}  // namespace velmora::json
