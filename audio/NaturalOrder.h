// The order in which device and application lists are shown: the platform's localized order of
// names, stable for names that compare equal, so they keep the order the platform gave them.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/text/Collation.h"

namespace velmora::audio {

// Sorts `items` by `name(item)` (a callable or a member pointer giving UTF-8 text) in the user's
// locale, keeping the order of items whose names are equal.
template <class T, class Name>
void sortByName(std::vector<T>& items, Name name) {
  std::stable_sort(items.begin(), items.end(), [&name](const T& a, const T& b) {
    return platform::localizedLess(std::invoke(name, a), std::invoke(name, b));
  });
}

}  // namespace velmora::audio
