// What the server's properties say about a sink or source: the device record the program sees,
// and the volume scale. Pure functions (any thread), so they are tested without a server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pipewire/Properties.h"

namespace velmora::platform::pipewire {

enum class NodeDirection { none, output, input, both };

// Sinks play (output), sources record (input); anything else is not a device.
NodeDirection deviceDirection(const Properties& node);

struct DeviceRecord {
  std::string uid;
  std::string name;
  uint32_t transport = 0;
  uint32_t channels = 0;  // of the device's direction (both scopes for a duplex node)
};

// `device` is the props of the node's Device object (empty when it has none); `route` names the
// active route or profile ("hdmi-output-0", "HDMI / DisplayPort"); `paramChannels` is the length
// of the node's channel-volume list, 0 when not known yet.
DeviceRecord deviceRecord(const Properties& node, const Properties& device,
                          const std::string& route, uint32_t paramChannels);

// The desktop's sound settings show volumes on a cubic scale; the server stores linear gains.
// Linear gains above 1 (allowed by desktops) read as full scale.
float scalarFromLinear(float linear);
float linearFromScalar(float scalar);

// The per-channel gains after writing `scalar` to element `element` (0: the whole device, scaled
// so that the loudest channel lands on `scalar` and the balance stays; n: channel n only).
// Channels not written keep their gain, even above full scale. Empty when `element` is no channel.
std::vector<float> writtenGains(const std::vector<float>& gains, uint32_t element, float scalar);

}  // namespace velmora::platform::pipewire
