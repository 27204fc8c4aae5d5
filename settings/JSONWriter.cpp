#include "settings/JSONWriter.h"

#include <array>
#include <charconv>

namespace velmora::settings {

namespace {

using Json = nlohmann::json;

template <typename Number>
std::string shortestText(Number value) {
  std::array<char, 64> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

void writeValue(const Json& value, int depth, std::string& out) {
  const auto newline = [&](int level) {
    out += '\n';
    out.append(static_cast<size_t>(level) * 2, ' ');
  };
  switch (value.type()) {
    case Json::value_t::object: {
      if (value.empty()) {
        out += "{}";
        return;
      }
      out += '{';
      bool first = true;
      // The object's map keeps its keys sorted by byte, which is code point order in UTF-8.
      for (const auto& [key, member] : value.items()) {
        if (!first) out += ',';
        first = false;
        newline(depth + 1);
        out += Json(key).dump();
        out += ": ";
        writeValue(member, depth + 1, out);
      }
      newline(depth);
      out += '}';
      return;
    }
    case Json::value_t::array: {
      if (value.empty()) {
        out += "[]";
        return;
      }
      out += '[';
      for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0) out += ',';
        newline(depth + 1);
        writeValue(value[i], depth + 1, out);
      }
      newline(depth);
      out += ']';
      return;
    }
    case Json::value_t::number_float:
      out += formatFloat(static_cast<float>(value.get<double>()));
      return;
    case Json::value_t::number_integer:
      out += std::to_string(value.get<int64_t>());
      return;
    case Json::value_t::number_unsigned:
      out += std::to_string(value.get<uint64_t>());
      return;
    default:  // strings, booleans and null: nlohmann's own escaping; throws on invalid UTF-8
      out += value.dump();
      return;
  }
}

}  // namespace

std::string formatFloat(float value) {
  std::string text = shortestText(value);
  // "-0" would read back as the integer 0 and lose the sign.
  if (text == "-0") return "-0.0";
  // Decimal to double to float can round twice; in the rare case where that lands on a
  // neighbouring float, write the exact double instead, which survives both steps.
  double readBack = 0;
  std::from_chars(text.data(), text.data() + text.size(), readBack);
  if (static_cast<float>(readBack) != value) {
    text = shortestText(static_cast<double>(value));
  }
  return text;
}

std::string writeJSONDocument(const Json& document) {
  std::string out;
  writeValue(document, 0, out);
  out += '\n';
  return out;
}

}  // namespace velmora::settings
