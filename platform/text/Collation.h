// The platform's standard order of names shown to the user: the collation of the user's locale,
// case-insensitive, with digit runs compared by value ("输出 2" before "输出 10").
//
// Thread-safe: each locale's collator is created once, on first use from any thread, and only
// compared with afterwards.
#pragma once

#include <string>
#include <string_view>

namespace velmora::platform {

// The locale names are ordered in: the first of LC_ALL, LC_COLLATE and LANG that is set and not
// empty, as the C library picks its collation locale; "" when none is.
std::string collationLocaleFromEnvironment();

// Whether UTF-8 name `a` sorts strictly before `b` in the user's locale, read from the
// environment on first use. No locale, "C" or "POSIX" give the root order. Names that differ only
// in case are equal; accents still order ("resume" before "résumé"); invalid bytes compare as
// U+FFFD.
bool localizedLess(std::string_view a, std::string_view b);

// The same order under the locale named `locale`, in the environment's form ("zh", "zh_CN.UTF-8",
// "de_DE@euro") or ICU's ("zh-Hans"); "", "C" and "POSIX" give the root order.
bool localizedLess(std::string_view a, std::string_view b, std::string_view locale);

}  // namespace velmora::platform
