// The order in which names are shown: case-insensitive, digit runs by numeric value, stable for
// names that compare equal, so equal names keep the order the platform gave them.
#pragma once

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace velmora::audio {

// Whether UTF-8 text `a` sorts before `b`. Characters compare by their case-folded code point
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin letters fold); a run
// of ASCII digits compares by its value, of any length, and sorts where "0" would. Names that
// differ only in leading zeros sort the shorter run first; names that differ only in case are
// equal.
bool naturalLess(std::string_view a, std::string_view b);

// Sorts `items` by `name(item)` (a callable or a member pointer giving text), keeping the order
// of items whose names are equal.
template <class T, class Name>
void sortByName(std::vector<T>& items, Name name) {
  std::stable_sort(items.begin(), items.end(), [&name](const T& a, const T& b) {
    return naturalLess(std::invoke(name, a), std::invoke(name, b));
  });
}

}  // namespace velmora::audio
