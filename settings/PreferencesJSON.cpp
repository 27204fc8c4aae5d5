#include "settings/PreferencesJSON.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/json/FieldTable.h"
#include "settings/JSONReader.h"
#include "settings/JSONWriter.h"
#include "settings/PreferencesError.h"
#include "settings/UTF8.h"

namespace velmora::settings {

namespace {

using Json = nlohmann::json;

// ---- The one place where each record's JSON keys are spelled -----------------------------

using json::field;

template <typename Record>
struct Schema;

template <>
struct Schema<AppLevel> {
  static constexpr auto fields = std::tuple{
      field("volume", &AppLevel::volume),
      field("muted", &AppLevel::muted),
      field("outputDeviceID", &AppLevel::outputDeviceID),
      field("followSystemWhenOffline", &AppLevel::followSystemWhenOffline),
  };
};

template <>
struct Schema<DeviceEQ> {
  static constexpr auto fields = std::tuple{
      field("enabled", &DeviceEQ::enabled),
      field("bands", &DeviceEQ::bands),
  };
};

template <>
struct Schema<MultiOutputSettings> {
  static constexpr auto fields = std::tuple{
      field("enabled", &MultiOutputSettings::enabled),
      field("devices", &MultiOutputSettings::devices),
      field("levels", &MultiOutputSettings::levels),
  };
};

template <>
struct Schema<InterfaceSettings> {
  static constexpr auto fields = std::tuple{
      field("compact", &InterfaceSettings::compact),
      field("showInput", &InterfaceSettings::showInput),
      field("showAppIcons", &InterfaceSettings::showAppIcons),
      field("showStatus", &InterfaceSettings::showStatus),
      field("scrollVolume", &InterfaceSettings::scrollVolume),
      field("hudEnabled", &InterfaceSettings::hudEnabled),
      field("hudPosition", &InterfaceSettings::hudPosition),
      field("hudStyle", &InterfaceSettings::hudStyle),
  };
};

template <>
struct Schema<AudioScene> {
  static constexpr auto fields = std::tuple{
      field("id", &AudioScene::id),
      field("name", &AudioScene::name),
      field("inputDeviceID", &AudioScene::inputDeviceID),
      field("outputDeviceID", &AudioScene::outputDeviceID),
      field("systemVolume", &AudioScene::systemVolume),
      field("inputVolume", &AudioScene::inputVolume),
      field("systemMuted", &AudioScene::systemMuted),
      field("inputMuted", &AudioScene::inputMuted),
      field("apps", &AudioScene::apps),
      field("processingEnabled", &AudioScene::processingEnabled),
      field("equalizers", &AudioScene::equalizers),
      field("multiOutput", &AudioScene::multiOutput),
      field("boostedOutputs", &AudioScene::boostedOutputs),
  };
};

template <>
struct Schema<AdvancedPreferences> {
  static constexpr auto fields = std::tuple{
      field("autoOutput", &AdvancedPreferences::autoOutput),
      field("autoInput", &AdvancedPreferences::autoInput),
      field("automaticOutputIDs", &AdvancedPreferences::automaticOutputIDs),
      field("automaticInputIDs", &AdvancedPreferences::automaticInputIDs),
      field("interface", &AdvancedPreferences::interface),
      field("equalizers", &AdvancedPreferences::equalizers),
      field("multiOutput", &AdvancedPreferences::multiOutput),
      field("scenes", &AdvancedPreferences::scenes),
      field("boostedOutputs", &AdvancedPreferences::boostedOutputs),
  };
};

template <>
struct Schema<DeviceBookmark> {
  static constexpr auto fields = std::tuple{
      field("id", &DeviceBookmark::id),
      field("name", &DeviceBookmark::name),
      field("symbol", &DeviceBookmark::symbol),
      field("inputUID", &DeviceBookmark::inputUID),
      field("outputUID", &DeviceBookmark::outputUID),
      field("bluetoothAddress", &DeviceBookmark::bluetoothAddress),
      field("supportsInput", &DeviceBookmark::supportsInput),
      field("supportsOutput", &DeviceBookmark::supportsOutput),
      field("showInput", &DeviceBookmark::showInput),
      field("showOutput", &DeviceBookmark::showOutput),
      field("alias", &DeviceBookmark::alias),
  };
};

template <>
struct Schema<DeviceListPreferences> {
  static constexpr auto fields = std::tuple{
      field("devices", &DeviceListPreferences::devices),
  };
};

template <>
struct Schema<Shortcut> {
  static constexpr auto fields = std::tuple{
      field("key", &Shortcut::key),
      field("modifiers", &Shortcut::modifiers),
      field("label", &Shortcut::label),
  };
};

template <>
struct Schema<Preferences> {
  static constexpr auto fields = std::tuple{
      field("version", &Preferences::version),
      field("processingEnabled", &Preferences::processingEnabled),
      field("rememberApps", &Preferences::rememberApps),
      field("rememberDevices", &Preferences::rememberDevices),
      field("apps", &Preferences::apps),
      field("deviceVolumes", &Preferences::deviceVolumes),
      field("deviceList", &Preferences::deviceList),
      field("advanced", &Preferences::advanced),
      field("shortcuts", &Preferences::shortcuts),
  };
};

template <typename T>
concept SettingsRecord = requires {
  Schema<T>::fields;
};

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

// ---- Where a value sits, for messages --------------------------------------------------------

// A chain of stack frames, spelled out only when a message needs it, e.g.
// advanced.scenes[2].apps["com.example.player"].volume.
class KeyPath {
 public:
  KeyPath() = default;
  KeyPath member(std::string_view key) const { return KeyPath(this, key, 0, false); }
  KeyPath element(size_t index) const { return KeyPath(this, {}, index, true); }

  std::string text() const {
    if (parent_ == nullptr) return {};
    std::string prefix = parent_->text();
    if (isIndex_) return prefix + "[" + std::to_string(index_) + "]";
    if (isIdentifier(key_))
      return prefix.empty() ? std::string(key_) : prefix + "." + std::string(key_);
    return prefix + "[\"" + displayExcerpt(key_, 60) + "\"]";
  }

 private:
  KeyPath(const KeyPath* parent, std::string_view key, size_t index, bool isIndex)
      : parent_(parent), key_(key), index_(index), isIndex_(isIndex) {}

  // ASCII only, whatever the locale: other keys are shown quoted.
  static bool isIdentifier(std::string_view key) {
    const auto letter = [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (key.empty() || !letter(key[0])) return false;
    return std::all_of(key.begin(), key.end(), [&](char c) { return letter(c) || digit(c); });
  }

  const KeyPath* parent_ = nullptr;
  std::string_view key_;
  size_t index_ = 0;
  bool isIndex_ = false;
};

std::string kindOf(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return " null";
    case Json::value_t::boolean:
      return "布尔值 " + value.dump();
    case Json::value_t::string:
      return "字符串";
    case Json::value_t::array:
      return "数组";
    case Json::value_t::object:
      return "对象";
    default:
      return "数字 " + value.dump();
  }
}

[[noreturn]] void wrongType(const KeyPath& path, std::string_view expected, const Json& actual) {
  throw PreferencesError(path.text() + " 应为" + std::string(expected) + "，实际是" +
                         kindOf(actual));
}

// ---- Encoding --------------------------------------------------------------------------------

Json encodeValue(bool value, const KeyPath& path);
Json encodeValue(int64_t value, const KeyPath& path);
Json encodeValue(uint32_t value, const KeyPath& path);
Json encodeValue(float value, const KeyPath& path);
Json encodeValue(const std::string& value, const KeyPath& path);
template <typename T>
Json encodeValue(const std::vector<T>& values, const KeyPath& path);
template <typename T>
Json encodeValue(const std::map<std::string, T>& values, const KeyPath& path);
template <SettingsRecord Record>
Json encodeValue(const Record& record, const KeyPath& path);

Json encodeValue(bool value, const KeyPath&) { return value; }
Json encodeValue(int64_t value, const KeyPath&) { return value; }
Json encodeValue(uint32_t value, const KeyPath&) { return value; }

Json encodeValue(float value, const KeyPath& path) {
  // JSON has no NaN or infinity; a null in their place would make the whole file unreadable.
  if (!std::isfinite(value)) {
    throw PreferencesError(path.text() + " 的值不是有限数（" + std::to_string(value) +
                           "），JSON 无法表示");
  }
  return static_cast<double>(value);
}

void checkUTF8(const std::string& text, const KeyPath& path) {
  if (!isValidUTF8(text)) {
    throw PreferencesError(path.text() + " 中的文字“" + displayExcerpt(text, 40) +
                           "”不是有效的 UTF-8，JSON 无法表示");
  }
}

Json encodeValue(const std::string& value, const KeyPath& path) {
  checkUTF8(value, path);
  return value;
}

template <typename T>
Json encodeValue(const std::vector<T>& values, const KeyPath& path) {
  Json array = Json::array();
  for (size_t i = 0; i < values.size(); ++i)
    array.push_back(encodeValue(values[i], path.element(i)));
  return array;
}

template <typename T>
Json encodeValue(const std::map<std::string, T>& values, const KeyPath& path) {
  Json object = Json::object();
  for (const auto& [key, value] : values) {
    const KeyPath entry = path.member(key);
    checkUTF8(key, entry);
    object[key] = encodeValue(value, entry);
  }
  return object;
}

template <SettingsRecord Record>
Json encodeValue(const Record& record, const KeyPath& path) {
  Json object = Json::object();
  const auto encodeField = [&](const auto& field) {
    const auto& value = record.*(field.member);
    const std::string key(field.key);
    if constexpr (IsOptional<std::decay_t<decltype(value)>>::value) {
      if (value) object[key] = encodeValue(*value, path.member(field.key));
    } else {
      object[key] = encodeValue(value, path.member(field.key));
    }
  };
  json::forEachField(Schema<Record>::fields, encodeField);
  return object;
}

// ---- Decoding --------------------------------------------------------------------------------

void decodeValue(const Json& json, bool& out, const KeyPath& path);
void decodeValue(const Json& json, int64_t& out, const KeyPath& path);
void decodeValue(const Json& json, uint32_t& out, const KeyPath& path);
void decodeValue(const Json& json, float& out, const KeyPath& path);
void decodeValue(const Json& json, std::string& out, const KeyPath& path);
template <typename T>
void decodeValue(const Json& json, std::vector<T>& out, const KeyPath& path);
template <typename T>
void decodeValue(const Json& json, std::map<std::string, T>& out, const KeyPath& path);
template <SettingsRecord Record>
void decodeValue(const Json& json, Record& out, const KeyPath& path);

void decodeValue(const Json& json, bool& out, const KeyPath& path) {
  if (!json.is_boolean()) wrongType(path, "布尔值（true 或 false）", json);
  out = json.get<bool>();
}

void decodeValue(const Json& json, int64_t& out, const KeyPath& path) {
  // Only integer tokens: 1.0 and 1e2 are not integers here.
  if (!json.is_number_integer()) wrongType(path, "整数", json);
  if (json.is_number_unsigned() &&
      json.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    throw PreferencesError(path.text() + " 的值 " + json.dump() + " 超出整数范围");
  }
  out = json.get<int64_t>();
}

void decodeValue(const Json& json, uint32_t& out, const KeyPath& path) {
  static constexpr std::string_view kExpected = " 0 到 4294967295 之间的整数";
  if (!json.is_number_integer()) wrongType(path, kExpected, json);
  if (!json.is_number_unsigned() || json.get<uint64_t>() > std::numeric_limits<uint32_t>::max()) {
    throw PreferencesError(path.text() + " 应为" + std::string(kExpected) + "，实际是 " +
                           json.dump());
  }
  out = static_cast<uint32_t>(json.get<uint64_t>());
}

void decodeValue(const Json& json, float& out, const KeyPath& path) {
  if (!json.is_number()) wrongType(path, "数字", json);
  const double value = json.get<double>();
  // Everything below FLT_MAX plus half a step rounds to a finite float; narrowing anything
  // larger is undefined.
  static constexpr double kLimit = 0x1.ffffffp127;
  if (!(std::fabs(value) < kLimit)) {
    throw PreferencesError(path.text() + " 的值 " + json.dump() + " 超出 32 位浮点数的范围");
  }
  static constexpr double kLargest = std::numeric_limits<float>::max();
  out = static_cast<float>(std::clamp(value, -kLargest, kLargest));
}

void decodeValue(const Json& json, std::string& out, const KeyPath& path) {
  if (!json.is_string()) wrongType(path, "字符串", json);
  out = json.get<std::string>();
}

template <typename T>
void decodeValue(const Json& json, std::vector<T>& out, const KeyPath& path) {
  if (!json.is_array()) wrongType(path, "数组", json);
  out.assign(json.size(), T{});
  for (size_t i = 0; i < out.size(); ++i) decodeValue(json[i], out[i], path.element(i));
}

template <typename T>
void decodeValue(const Json& json, std::map<std::string, T>& out, const KeyPath& path) {
  if (!json.is_object()) wrongType(path, "对象", json);
  out.clear();
  for (const auto& [key, value] : json.items()) decodeValue(value, out[key], path.member(key));
}

template <SettingsRecord Record>
void decodeValue(const Json& json, Record& out, const KeyPath& path) {
  if (!json.is_object()) wrongType(path, "对象", json);
  const auto decodeField = [&](const auto& field) {
    auto& value = out.*(field.member);
    const KeyPath fieldPath = path.member(field.key);
    const auto found = json.find(field.key);
    if constexpr (IsOptional<std::decay_t<decltype(value)>>::value) {
      if (found == json.end() || found->is_null()) {
        value.reset();
      } else {
        typename std::decay_t<decltype(value)>::value_type present{};
        decodeValue(*found, present, fieldPath);
        value = std::move(present);
      }
    } else {
      if (found == json.end()) throw PreferencesError("缺少必需的键 " + fieldPath.text());
      decodeValue(*found, value, fieldPath);
    }
  };
  json::forEachField(Schema<Record>::fields, decodeField);
}

}  // namespace

std::string encodePreferences(const Preferences& preferences) {
  return writeJSONDocument(encodeValue(preferences, KeyPath{}));
}

Preferences decodePreferences(std::string_view text) {
  const Json document = parseJSONDocument(text);
  if (!document.is_object()) {
    throw PreferencesError("文件内容应为一个 JSON 对象（以 { 开始），实际是" + kindOf(document));
  }
  Preferences preferences;
  decodeValue(document, preferences, KeyPath{});
  return preferences;
}

}  // namespace velmora::settings
