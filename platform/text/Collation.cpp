#include "platform/text/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velmora::platform {
namespace {

// ICU's id for a locale named as the environment names it. The codeset (".UTF-8") and the
// modifier ("@euro") do not change the order; "" means the root.
std::string localeID(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return {};
  return std::string(name);
}

// Null only when ICU has no collation data at all; callers then fall back to byte order.
std::unique_ptr<const icu::Collator> makeCollator(const std::string& id) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = id.empty() ? icu::Locale::getRoot() : icu::Locale(id.c_str());
  // An unknown locale falls back to the root with a warning, which is what we want.
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
  if (U_FAILURE(status)) return nullptr;
  collator->setStrength(icu::Collator::SECONDARY);  // case does not order names
  collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
  if (U_FAILURE(status)) return nullptr;
  return collator;
}

// One collator per locale, created on first use (creating one is costly) and never destroyed,
// so a lookup's result stays valid on any thread until exit. After creation only the const
// compare is called, which ICU allows from several threads at once.
const icu::Collator* collatorFor(std::string_view locale) {
  static std::mutex& mutex = *new std::mutex;
  static auto& collators = *new std::map<std::string, std::unique_ptr<const icu::Collator>>;
  const std::string id = localeID(locale);
  const std::lock_guard lock(mutex);
  auto found = collators.find(id);
  if (found == collators.end()) found = collators.emplace(id, makeCollator(id)).first;
  return found->second.get();
}

bool less(const icu::Collator* collator, std::string_view a, std::string_view b) {
  if (collator == nullptr) return a < b;
  UErrorCode status = U_ZERO_ERROR;
  return collator->compareUTF8(icu::StringPiece(a.data(), int32_t(a.size())),
                               icu::StringPiece(b.data(), int32_t(b.size())), status) == UCOL_LESS;
}

}  // namespace

std::string collationLocaleFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool localizedLess(std::string_view a, std::string_view b) {
  // The environment is the process's own: read it once.
  static const icu::Collator* const user = collatorFor(collationLocaleFromEnvironment());
  return less(user, a, b);
}

bool localizedLess(std::string_view a, std::string_view b, std::string_view locale) {
  return less(collatorFor(locale), a, b);
}

}  // namespace velmora::platform
