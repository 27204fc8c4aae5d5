#include "platform/sim/ScenarioFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>
#include <type_traits>

#include "platform/json/FieldTable.h"

namespace velmora::platform::sim {
namespace {

using Json = nlohmann::json;

// What a number must be beyond its type, with what is wrong when it is not; or that it is written
// as a four-character code ("usb " for a transport).
struct Rule {
  bool (*valid)(double) = nullptr;
  const char* problem = nullptr;
  bool fourCharCode = false;
};

// One entry of a record's table: the key and member, whether the key must be there, and a rule for
// the numbers read into it (the elements too, for a list).
template <typename Record, typename Value>
struct Entry {
  velmora::json::Field<Record, Value> field;
  bool required = false;
  const Rule* rule = nullptr;
};

template <typename Record, typename Value>
constexpr Entry<Record, Value> optional(std::string_view key, Value Record::*member,
                                        const Rule* rule = nullptr) {
  return {{key, member}, false, rule};
}

template <typename Record, typename Value>
constexpr Entry<Record, Value> required(std::string_view key, Value Record::*member,
                                        const Rule* rule = nullptr) {
  return {{key, member}, true, rule};
}

template <typename T>
bool whole(double value) {
  return value == double(T(value));
}

constexpr Rule kChannels{[](double v) { return v >= 1 && v <= 64 && whole<uint32_t>(v); },
                         "a stream has 1 to 64 channels"};
constexpr Rule kElement{[](double v) { return v >= 0 && v <= 64 && whole<uint32_t>(v); },
                        "0 for the whole scope or a channel number"};
constexpr Rule kVolume{[](double v) { return v >= 0 && v <= 1; }, "a volume is 0 to 1"};
constexpr Rule kSampleRate{[](double v) { return v >= 8000 && v <= 384000; },
                           "a sample rate is 8000 to 384000"};
constexpr Rule kProcessID{[](double v) { return v >= 1 && v <= 2147483647.0 && whole<int32_t>(v); },
                          "a process id is a positive whole number"};
constexpr Rule kFrequency{[](double v) { return v > 0 && v < 24000; },
                          "a tone is above 0 and below 24000 Hz"};
constexpr Rule kLevel{[](double v) { return v >= 0 && v <= 1; }, "a level is 0 to 1"};
// The major class is a 5-bit field of the class of device.
constexpr Rule kMajorClass{[](double v) { return v >= 0 && v <= 31 && whole<uint32_t>(v); },
                           "a major device class is 0 to 31"};

constexpr Rule kTransport{nullptr, nullptr, true};

template <typename Record>
struct Schema;

template <>
struct Schema<VolumeElement> {
  static constexpr auto fields = std::tuple{
      required("element", &VolumeElement::element, &kElement),
      optional("value", &VolumeElement::value, &kVolume),
      optional("settable", &VolumeElement::settable),
  };
};

template <>
struct Schema<MuteControl> {
  static constexpr auto fields = std::tuple{
      optional("muted", &MuteControl::muted),
      optional("settable", &MuteControl::settable),
  };
};

template <>
struct Schema<DeviceScope> {
  static constexpr auto fields = std::tuple{
      optional("streams", &DeviceScope::streams, &kChannels),
      optional("volume", &DeviceScope::volume),
      optional("mute", &DeviceScope::mute),
  };
};

template <>
struct Schema<ScenarioDevice> {
  static constexpr auto fields = std::tuple{
      required("uid", &ScenarioDevice::uid),
      required("name", &ScenarioDevice::name),
      optional("transport", &ScenarioDevice::transport, &kTransport),
      optional("alive", &ScenarioDevice::alive),
      optional("sampleRate", &ScenarioDevice::sampleRate, &kSampleRate),
      optional("output", &ScenarioDevice::output),
      optional("input", &ScenarioDevice::input),
  };
};

template <>
struct Schema<Tone> {
  static constexpr auto fields = std::tuple{
      required("frequency", &Tone::frequency, &kFrequency),
      optional("level", &Tone::level, &kLevel),
  };
};

template <>
struct Schema<RunningApplication> {
  static constexpr auto fields = std::tuple{
      optional("bundlePath", &RunningApplication::bundlePath),
      optional("bundleIdentifier", &RunningApplication::bundleIdentifier),
      optional("name", &RunningApplication::localizedName),
      optional("icon", &RunningApplication::icon),
  };
};

template <>
struct Schema<ScenarioProcess> {
  static constexpr auto fields = std::tuple{
      required("pid", &ScenarioProcess::pid, &kProcessID),
      optional("bundleID", &ScenarioProcess::bundleID),
      optional("executable", &ScenarioProcess::executable),
      optional("playing", &ScenarioProcess::playing),
      optional("tones", &ScenarioProcess::tones),
      optional("application", &ScenarioProcess::application),
  };
};

template <>
struct Schema<ScenarioBundle> {
  static constexpr auto fields = std::tuple{
      required("path", &ScenarioBundle::path),
      optional("identifier", &ScenarioBundle::identifier),
      optional("registered", &ScenarioBundle::registered),
      optional("info", &ScenarioBundle::info),
      optional("imageResources", &ScenarioBundle::imageResources),
      optional("resourceFiles", &ScenarioBundle::resourceFiles),
  };
};

template <>
struct Schema<ScenarioPairedDevice> {
  static constexpr auto fields = std::tuple{
      optional("address", &ScenarioPairedDevice::address),
      optional("name", &ScenarioPairedDevice::name),
      optional("services", &ScenarioPairedDevice::services),  // "0x110B"
      optional("majorClass", &ScenarioPairedDevice::majorDeviceClass, &kMajorClass),
      optional("connected", &ScenarioPairedDevice::connected),
  };
};

template <>
struct Schema<Scenario> {
  static constexpr auto fields = std::tuple{
      required("devices", &Scenario::devices),
      optional("defaultOutput", &Scenario::defaultOutputUID),
      optional("defaultInput", &Scenario::defaultInputUID),
      optional("processes", &Scenario::processes),
      optional("bundles", &Scenario::bundles),
      optional("folders", &Scenario::folders),
      optional("paired", &Scenario::pairedDevices),
      optional("home", &Scenario::homeDirectory),
      optional("ownBundleIdentifier", &Scenario::ownBundleIdentifier),
  };
};

template <typename T>
concept Record = requires {
  Schema<T>::fields;
};

// Walks a document through the tables, naming the key path of anything wrong.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  Scenario scenario(const Json& document) const {
    Scenario scenario;
    read(document, "", scenario, nullptr);
    for (size_t i = 0; i < scenario.devices.size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        if (scenario.devices[j].uid == scenario.devices[i].uid) {
          fail("devices[" + std::to_string(i) + "].uid",
               "\"" + scenario.devices[i].uid + "\" is used twice");
        }
      }
    }
    for (const auto& named : {std::pair{"defaultOutput", &scenario.defaultOutputUID},
                              std::pair{"defaultInput", &scenario.defaultInputUID}}) {
      const std::string& uid = *named.second;
      if (uid.empty()) continue;
      const bool known = std::any_of(scenario.devices.begin(), scenario.devices.end(),
                                     [&](const ScenarioDevice& d) { return d.uid == uid; });
      if (!known) fail(named.first, "no device has the UID \"" + uid + "\"");
    }
    return scenario;
  }

 private:
  [[noreturn]] void fail(const std::string& where, const std::string& problem) const {
    throw ScenarioError(source_ + ": " + (where.empty() ? "" : where + ": ") + problem);
  }

  template <Record T>
  void read(const Json& value, const std::string& where, T& out, const Rule*) const {
    if (!value.is_object()) fail(where, "expected an object");
    velmora::json::forEachField(Schema<T>::fields, [&](const auto& entry) {
      const std::string key(entry.field.key);
      const auto found = value.find(key);
      if (found == value.end() || (found->is_null() && !entry.required)) {
        if (entry.required) fail(where, "missing \"" + key + "\"");
        return;
      }
      read(*found, where.empty() ? key : where + "." + key, out.*(entry.field.member), entry.rule);
    });
  }

  void read(const Json& value, const std::string& where, std::string& out, const Rule*) const {
    if (!value.is_string()) fail(where, "expected text");
    out = value.get<std::string>();
  }

  void read(const Json& value, const std::string& where, bool& out, const Rule*) const {
    if (!value.is_boolean()) fail(where, "expected true or false");
    out = value.get<bool>();
  }

  template <typename T>
  requires std::is_arithmetic_v<T> &&
      (!std::is_same_v<T, bool>)&&(!std::is_same_v<T, uint16_t>)void read(const Json& value,
                                                                          const std::string& where,
                                                                          T& out,
                                                                          const Rule* rule) const {
    if (rule != nullptr && rule->fourCharCode) {
      out = T(fourCharCode(value, where));
      return;
    }
    if (!value.is_number()) fail(where, "expected a number");
    const double number = value.get<double>();
    if (rule != nullptr && rule->valid != nullptr && !rule->valid(number))
      fail(where, rule->problem);
    out = T(number);
  }

  // The only 16-bit numbers are service classes, written the way they are always quoted, "0x110B".
  void read(const Json& value, const std::string& where, uint16_t& out, const Rule*) const {
    std::string code;
    read(value, where, code, nullptr);
    const bool hex = code.size() == 6 && code[0] == '0' && (code[1] == 'x' || code[1] == 'X') &&
                     code.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (!hex) fail(where, "expected a 16-bit service class such as \"0x110B\"");
    out = uint16_t(std::stoul(code.substr(2), nullptr, 16));
  }

  void read(const Json& value, const std::string& where, Image& out, const Rule*) const {
    out = Image{};
    read(value, where, out.path, nullptr);
  }

  void read(const Json& value, const std::string& where, std::map<std::string, InfoValue>& out,
            const Rule*) const {
    if (!value.is_object()) fail(where, "expected an object");
    for (const auto& [key, item] : value.items()) {
      if (item.is_string())
        out[key] = item.get<std::string>();
      else if (item.is_boolean())
        out[key] = item.get<bool>();
      else if (item.is_number())
        out[key] = item.get<double>();
      else
        fail(std::string(where).append(".").append(key), "expected text, a number or true/false");
    }
  }

  template <typename T>
  void read(const Json& value, const std::string& where, std::optional<T>& out,
            const Rule* rule) const {
    read(value, where, out.emplace(), rule);
  }

  template <typename T>
  void read(const Json& value, const std::string& where, std::vector<T>& out,
            const Rule* rule) const {
    if (!value.is_array()) fail(where, "expected a list");
    out.clear();
    for (size_t i = 0; i < value.size(); ++i)
      read(value[i], where + "[" + std::to_string(i) + "]", out.emplace_back(), rule);
  }

  uint32_t fourCharCode(const Json& value, const std::string& where) const {
    std::string code;
    read(value, where, code, nullptr);
    if (code.size() != 4) fail(where, "expected a four-character code such as \"usb \"");
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
  }

  std::string source_;
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& source) {
  Reader reader(source);
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& error) {
    throw ScenarioError(source + ": not valid JSON (byte " + std::to_string(error.byte) + ")");
  }
  return reader.scenario(document);
}

Scenario loadScenarioFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw ScenarioError(path + ": not a readable file");
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ScenarioError(path + ": cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  if (!file.good() && !file.eof()) throw ScenarioError(path + ": cannot be read");
  return parseScenario(text.str(), path);
}

}  // namespace velmora::platform::sim
