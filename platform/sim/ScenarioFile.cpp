#include "platform/sim/ScenarioFile.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace velmora::platform::sim {
namespace {

using nlohmann::json;

// Walks a document, naming the key path of anything wrong.
class Reader {
 public:
  Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& where, const std::string& problem) const {
    throw ScenarioError(source_ + ": " + (where.empty() ? "" : where + ": ") + problem);
  }

  const json& member(const json& object, const std::string& where, const char* key) const {
    const auto found = object.find(key);
    if (found == object.end()) fail(where, std::string("missing \"") + key + "\"");
    return *found;
  }

  std::string text(const json& value, const std::string& where) const {
    if (!value.is_string()) fail(where, "expected text");
    return value.get<std::string>();
  }

  double number(const json& value, const std::string& where) const {
    if (!value.is_number()) fail(where, "expected a number");
    return value.get<double>();
  }

  bool boolean(const json& value, const std::string& where) const {
    if (!value.is_boolean()) fail(where, "expected true or false");
    return value.get<bool>();
  }

  const json& array(const json& value, const std::string& where) const {
    if (!value.is_array()) fail(where, "expected a list");
    return value;
  }

  const json& object(const json& value, const std::string& where) const {
    if (!value.is_object()) fail(where, "expected an object");
    return value;
  }

  template <class Read>
  void optional(const json& object, const std::string& where, const char* key, Read read) const {
    const auto found = object.find(key);
    if (found != object.end() && !found->is_null())
      read(*found, where.empty() ? key : where + "." + key);
  }

  uint32_t fourCharCode(const json& value, const std::string& where) const {
    const std::string code = text(value, where);
    if (code.size() != 4) fail(where, "expected a four-character code such as \"usb \"");
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
  }

  DeviceScope scope(const json& value, const std::string& where) const {
    object(value, where);
    DeviceScope scope;
    optional(value, where, "streams", [&](const json& streams, const std::string& at) {
      for (size_t i = 0; i < array(streams, at).size(); ++i) {
        const double channels = number(streams[i], at + "[" + std::to_string(i) + "]");
        if (channels < 1 || channels > 64 || channels != double(uint32_t(channels))) {
          fail(at + "[" + std::to_string(i) + "]", "a stream has 1 to 64 channels");
        }
        scope.streams.push_back(uint32_t(channels));
      }
    });
    optional(value, where, "volume", [&](const json& elements, const std::string& at) {
      for (size_t i = 0; i < array(elements, at).size(); ++i) {
        const std::string item = at + "[" + std::to_string(i) + "]";
        object(elements[i], item);
        VolumeElement element;
        const double number = this->number(member(elements[i], item, "element"), item + ".element");
        if (number < 0 || number > 64 || number != double(uint32_t(number))) {
          fail(item + ".element", "0 for the whole scope or a channel number");
        }
        element.element = uint32_t(number);
        optional(elements[i], item, "value", [&](const json& v, const std::string& a) {
          element.value = float(this->number(v, a));
          if (element.value < 0.0f || element.value > 1.0f) fail(a, "a volume is 0 to 1");
        });
        optional(elements[i], item, "settable",
                 [&](const json& v, const std::string& a) { element.settable = boolean(v, a); });
        scope.volume.push_back(element);
      }
    });
    optional(value, where, "mute", [&](const json& mute, const std::string& at) {
      object(mute, at);
      MuteControl control;
      optional(mute, at, "muted",
               [&](const json& v, const std::string& a) { control.muted = boolean(v, a); });
      optional(mute, at, "settable",
               [&](const json& v, const std::string& a) { control.settable = boolean(v, a); });
      scope.mute = control;
    });
    return scope;
  }

  ScenarioDevice device(const json& value, const std::string& where) const {
    object(value, where);
    ScenarioDevice device;
    device.uid = text(member(value, where, "uid"), where + ".uid");
    device.name = text(member(value, where, "name"), where + ".name");
    optional(value, where, "transport",
             [&](const json& v, const std::string& a) { device.transport = fourCharCode(v, a); });
    optional(value, where, "alive",
             [&](const json& v, const std::string& a) { device.alive = boolean(v, a); });
    optional(value, where, "sampleRate", [&](const json& v, const std::string& a) {
      device.sampleRate = number(v, a);
      if (device.sampleRate < 8000 || device.sampleRate > 384000)
        fail(a, "a sample rate is 8000 to 384000");
    });
    optional(value, where, "output",
             [&](const json& v, const std::string& a) { device.output = scope(v, a); });
    optional(value, where, "input",
             [&](const json& v, const std::string& a) { device.input = scope(v, a); });
    return device;
  }

  ScenarioProcess process(const json& value, const std::string& where) const {
    object(value, where);
    ScenarioProcess process;
    const double pid = number(member(value, where, "pid"), where + ".pid");
    if (pid < 1 || pid > 2147483647.0 || pid != double(int32_t(pid)))
      fail(where + ".pid", "a process id is a positive whole number");
    process.pid = int32_t(pid);
    optional(value, where, "bundleID",
             [&](const json& v, const std::string& a) { process.bundleID = text(v, a); });
    optional(value, where, "executable",
             [&](const json& v, const std::string& a) { process.executable = text(v, a); });
    optional(value, where, "playing",
             [&](const json& v, const std::string& a) { process.playing = boolean(v, a); });
    optional(value, where, "tones", [&](const json& tones, const std::string& at) {
      for (size_t i = 0; i < array(tones, at).size(); ++i) {
        const std::string item = at + "[" + std::to_string(i) + "]";
        object(tones[i], item);
        Tone tone;
        tone.frequency = number(member(tones[i], item, "frequency"), item + ".frequency");
        if (tone.frequency <= 0 || tone.frequency >= 24000)
          fail(item + ".frequency", "a tone is above 0 and below 24000 Hz");
        optional(tones[i], item, "level", [&](const json& v, const std::string& a) {
          tone.level = float(number(v, a));
          if (tone.level < 0.0f || tone.level > 1.0f) fail(a, "a level is 0 to 1");
        });
        process.tones.push_back(tone);
      }
    });
    optional(value, where, "application", [&](const json& app, const std::string& at) {
      object(app, at);
      RunningApplication record;
      optional(app, at, "bundlePath",
               [&](const json& v, const std::string& a) { record.bundlePath = text(v, a); });
      optional(app, at, "bundleIdentifier",
               [&](const json& v, const std::string& a) { record.bundleIdentifier = text(v, a); });
      optional(app, at, "name",
               [&](const json& v, const std::string& a) { record.localizedName = text(v, a); });
      optional(app, at, "icon", [&](const json& v, const std::string& a) {
        record.icon = Image{text(v, a), {}};
      });
      process.application = record;
    });
    return process;
  }

  ScenarioBundle bundle(const json& value, const std::string& where) const {
    object(value, where);
    ScenarioBundle bundle;
    bundle.path = text(member(value, where, "path"), where + ".path");
    optional(value, where, "identifier",
             [&](const json& v, const std::string& a) { bundle.identifier = text(v, a); });
    optional(value, where, "registered",
             [&](const json& v, const std::string& a) { bundle.registered = boolean(v, a); });
    optional(value, where, "info", [&](const json& info, const std::string& at) {
      for (const auto& [key, item] : object(info, at).items()) {
        if (item.is_string())
          bundle.info[key] = item.get<std::string>();
        else if (item.is_boolean())
          bundle.info[key] = item.get<bool>();
        else if (item.is_number())
          bundle.info[key] = item.get<double>();
        else
          fail(at + "." + key, "expected text, a number or true/false");
      }
    });
    auto texts = [&](const json& list, const std::string& at, std::vector<std::string>& out) {
      for (size_t i = 0; i < array(list, at).size(); ++i)
        out.push_back(text(list[i], at + "[" + std::to_string(i) + "]"));
    };
    optional(value, where, "imageResources",
             [&](const json& v, const std::string& a) { texts(v, a, bundle.imageResources); });
    optional(value, where, "resourceFiles",
             [&](const json& v, const std::string& a) { texts(v, a, bundle.resourceFiles); });
    return bundle;
  }

  ScenarioPairedDevice pairedDevice(const json& value, const std::string& where) const {
    object(value, where);
    ScenarioPairedDevice device;
    optional(value, where, "address",
             [&](const json& v, const std::string& a) { device.address = text(v, a); });
    optional(value, where, "name",
             [&](const json& v, const std::string& a) { device.name = text(v, a); });
    optional(value, where, "services", [&](const json& services, const std::string& at) {
      for (size_t i = 0; i < array(services, at).size(); ++i) {
        device.services.push_back(serviceClass(services[i], at + "[" + std::to_string(i) + "]"));
      }
    });
    optional(value, where, "majorClass", [&](const json& v, const std::string& a) {
      const double major = number(v, a);
      // The major class is a 5-bit field of the class of device.
      if (major < 0 || major > 31 || major != double(uint32_t(major)))
        fail(a, "a major device class is 0 to 31");
      device.majorDeviceClass = uint32_t(major);
    });
    optional(value, where, "connected",
             [&](const json& v, const std::string& a) { device.connected = boolean(v, a); });
    return device;
  }

  // Service classes are written the way they are always quoted, "0x110B".
  uint16_t serviceClass(const json& value, const std::string& where) const {
    const std::string code = text(value, where);
    const bool hex = code.size() == 6 && code[0] == '0' && (code[1] == 'x' || code[1] == 'X') &&
                     code.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (!hex) fail(where, "expected a 16-bit service class such as \"0x110B\"");
    return uint16_t(std::stoul(code.substr(2), nullptr, 16));
  }

  Scenario scenario(const json& document) const {
    object(document, "");
    Scenario scenario;
    const json& devices = array(member(document, "", "devices"), "devices");
    for (size_t i = 0; i < devices.size(); ++i) {
      scenario.devices.push_back(device(devices[i], "devices[" + std::to_string(i) + "]"));
      for (size_t j = 0; j < i; ++j) {
        if (scenario.devices[j].uid == scenario.devices[i].uid) {
          fail("devices[" + std::to_string(i) + "].uid",
               "\"" + scenario.devices[i].uid + "\" is used twice");
        }
      }
    }
    optional(document, "", "defaultOutput",
             [&](const json& v, const std::string& a) { scenario.defaultOutputUID = text(v, a); });
    optional(document, "", "defaultInput",
             [&](const json& v, const std::string& a) { scenario.defaultInputUID = text(v, a); });
    optional(document, "", "processes", [&](const json& list, const std::string& at) {
      for (size_t i = 0; i < array(list, at).size(); ++i) {
        scenario.processes.push_back(process(list[i], "processes[" + std::to_string(i) + "]"));
      }
    });
    optional(document, "", "bundles", [&](const json& list, const std::string& at) {
      for (size_t i = 0; i < array(list, at).size(); ++i) {
        scenario.bundles.push_back(bundle(list[i], "bundles[" + std::to_string(i) + "]"));
      }
    });
    optional(document, "", "folders", [&](const json& list, const std::string& at) {
      for (size_t i = 0; i < array(list, at).size(); ++i)
        scenario.folders.push_back(text(list[i], at + "[" + std::to_string(i) + "]"));
    });
    optional(document, "", "paired", [&](const json& list, const std::string& at) {
      for (size_t i = 0; i < array(list, at).size(); ++i) {
        scenario.pairedDevices.push_back(
            pairedDevice(list[i], "paired[" + std::to_string(i) + "]"));
      }
    });
    optional(document, "", "home",
             [&](const json& v, const std::string& a) { scenario.homeDirectory = text(v, a); });
    optional(document, "", "ownBundleIdentifier", [&](const json& v, const std::string& a) {
      scenario.ownBundleIdentifier = text(v, a);
    });
    for (const char* key : {"defaultOutput", "defaultInput"}) {
      const std::string& uid = std::string(key) == "defaultOutput" ? scenario.defaultOutputUID
                                                                   : scenario.defaultInputUID;
      if (uid.empty()) continue;
      bool known = false;
      for (const ScenarioDevice& d : scenario.devices) known = known || d.uid == uid;
      if (!known) fail(key, "no device has the UID \"" + uid + "\"");
    }
    return scenario;
  }

 private:
  std::string source_;
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& source) {
  Reader reader(source);
  json document;
  try {
    document = json::parse(text);
  } catch (const json::parse_error& error) {
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
