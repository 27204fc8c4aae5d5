#include "platform/pipewire/DeviceProperties.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform::pipewire {
namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

// A value from the node, else from its Device.
const std::string& either(const Properties& node, const Properties& device, std::string_view key) {
  const std::string& value = property(node, key);
  return value.empty() ? property(device, key) : value;
}

// "[ FL FR ]", "FL,FR": the number of positions.
uint32_t positionCount(const std::string& positions) {
  uint32_t count = 0;
  bool inWord = false;
  for (char c : positions) {
    const bool letter = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    if (letter && !inWord) ++count;
    inWord = letter;
  }
  return count;
}

uint32_t transportOf(const Properties& node, const Properties& device, const std::string& route) {
  const std::string api = either(node, device, "device.api");
  if (api == "bluez5" || !either(node, device, "api.bluez5.address").empty()) {
    return property(node, "api.bluez5.profile").starts_with("bap-")
               ? kAudioDeviceTransportTypeBluetoothLE
               : kAudioDeviceTransportTypeBluetooth;
  }
  const std::string bus = either(node, device, "device.bus");
  if (bus == "usb") return kAudioDeviceTransportTypeUSB;
  if (bus == "bluetooth") return kAudioDeviceTransportTypeBluetooth;
  if (property(node, "node.virtual") == "true" || (device.empty() && api.empty())) {
    return kAudioDeviceTransportTypeVirtual;
  }
  // Only the route or profile tells a display connection apart; most drivers say "HDMI" for both.
  const std::string where = lowered(route + " " + property(node, "device.profile.name") + " " +
                                    property(node, "device.profile.description"));
  const bool hdmi = where.find("hdmi") != std::string::npos;
  const bool displayPort = where.find("displayport") != std::string::npos;
  if (displayPort && !hdmi) return kAudioDeviceTransportTypeDisplayPort;
  if (hdmi) return kAudioDeviceTransportTypeHDMI;
  return kAudioDeviceTransportTypeBuiltIn;
}

}  // namespace

NodeDirection deviceDirection(const Properties& node) {
  const std::string& mediaClass = property(node, "media.class");
  if (mediaClass == "Audio/Sink") return NodeDirection::output;
  if (mediaClass == "Audio/Source" || mediaClass == "Audio/Source/Virtual")
    return NodeDirection::input;
  if (mediaClass == "Audio/Duplex") return NodeDirection::both;
  return NodeDirection::none;
}

DeviceRecord deviceRecord(const Properties& node, const Properties& device,
                          const std::string& route, uint32_t paramChannels) {
  DeviceRecord record;
  record.uid = property(node, "node.name");
  // Bluetooth node names carry the address with underscores; the program finds it with colons.
  const std::string& address = either(node, device, "api.bluez5.address");
  if (address.size() == 17) {
    std::string underscored = address;
    std::replace(underscored.begin(), underscored.end(), ':', '_');
    if (const size_t at = record.uid.find(underscored); at != std::string::npos) {
      record.uid.replace(at, underscored.size(), address);
    } else if (record.uid.find(address) == std::string::npos) {
      record.uid += "." + address;
    }
  }
  for (const char* key : {"node.description", "node.nick", "node.name"}) {
    if (!property(node, key).empty()) {
      record.name = property(node, key);
      break;
    }
  }
  record.transport = transportOf(node, device, route);
  record.channels = paramChannels;
  if (record.channels == 0) {
    const std::string& channels = property(node, "audio.channels");
    record.channels = channels.empty() ? positionCount(property(node, "audio.position"))
                                       : uint32_t(std::strtoul(channels.c_str(), nullptr, 10));
  }
  return record;
}

float scalarFromLinear(float linear) {
  if (!(linear > 0.0f)) return 0.0f;
  return std::min(std::cbrt(linear), 1.0f);
}

float linearFromScalar(float scalar) {
  const float clamped = std::clamp(scalar, 0.0f, 1.0f);
  return clamped * clamped * clamped;
}

std::vector<float> writtenGains(const std::vector<float>& gains, uint32_t element, float scalar) {
  std::vector<float> result = gains;
  const float target = linearFromScalar(scalar);
  if (element == kAudioObjectPropertyElementMain) {
    const float loudest = gains.empty() ? 0.0f : *std::max_element(gains.begin(), gains.end());
    for (float& gain : result) gain = loudest > 0.0f ? gain * (target / loudest) : target;
    return result;
  }
  if (element > gains.size()) return {};
  result[element - 1] = target;
  return result;
}

}  // namespace velmora::platform::pipewire
