// Feeds the settings reader arbitrary bytes. Whatever it accepts must write back and read back
// to an equal record, with the same text the second time: the reader and the writer agree on
// every document the reader lets through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"

using velmora::settings::decodePreferences;
using velmora::settings::encodePreferences;
using velmora::settings::Preferences;
using velmora::settings::PreferencesError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Preferences read;
  try {
    read = decodePreferences(text);
  } catch (const PreferencesError&) {
    return 0;
  }
  const std::string written = encodePreferences(read);
  const Preferences again = decodePreferences(written);
  if (!(again == read) || encodePreferences(again) != written) std::abort();
  return 0;
}
