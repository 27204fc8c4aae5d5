#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace velmora::settings {

// Writes `document` indented by two spaces per level with the keys of every object in ascending
// order. Every floating-point number in it must be a 32-bit float widened to double; it is
// written as the shortest decimal that reads back to the same float ("0.7", not "0.699999988").
// Recursive: meant for documents built by the settings encoder, whose depth is fixed by the
// records, never for parsed input.
std::string writeJSONDocument(const nlohmann::json& document);

// The shortest decimal text of a finite float that reads back to the same float, also through
// a reader that parses to double first and narrows afterwards.
std::string formatFloat(float value);

}  // namespace velmora::settings
