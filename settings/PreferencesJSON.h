#pragma once

#include <string>
#include <string_view>

#include "settings/Preferences.h"

namespace velmora::settings {

// The settings document: indented, keys sorted, optional fields left out when absent, floats in
// their shortest form. Throws PreferencesError naming the field if a value cannot be written
// (a non-finite number, a string that is not UTF-8).
std::string encodePreferences(const Preferences& preferences);

// Reads a settings document. Strict: a syntax error, a missing required key or a value of the
// wrong type anywhere rejects the whole document with a PreferencesError that says where.
// Unknown keys are ignored; null counts as absent for optional fields. Values are taken as
// written, without clamping.
Preferences decodePreferences(std::string_view text);

}  // namespace velmora::settings
