#include "platform/pipewire/Mirror.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/pipewire/PropertyBytes.h"

namespace velmora::platform::pipewire {
namespace {

constexpr AudioObjectPropertyScope kInput = kAudioObjectPropertyScopeInput;
constexpr AudioObjectPropertyScope kOutput = kAudioObjectPropertyScopeOutput;

std::vector<uint8_t> idList(const std::vector<AudioObjectID>& ids) {
  std::vector<uint8_t> bytes(ids.size() * sizeof(AudioObjectID));
  if (!ids.empty()) std::memcpy(bytes.data(), ids.data(), bytes.size());
  return bytes;
}

// {"name": "alsa_output.pci-0000_00_1f.3.analog-stereo"} -> the name.
std::string nameInJSON(const std::string& value) {
  const auto json = nlohmann::json::parse(value, nullptr, false);
  if (!json.is_object() || !json.contains("name") || !json["name"].is_string()) return {};
  return json["name"].get<std::string>();
}

template <class T>
bool readValue(uint32_t size, const void* data, T* value) {
  if (size != sizeof(T) || data == nullptr) return false;
  std::memcpy(value, data, sizeof(T));
  return true;
}

const char* defaultKey(bool input, bool configured) {
  if (configured)
    return input ? "default.configured.audio.source" : "default.configured.audio.sink";
  return input ? "default.audio.source" : "default.audio.sink";
}

bool sameGains(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::fabs(a[i] - b[i]) > 1e-5f * std::max(1.0f, std::fabs(b[i]))) return false;
  }
  return true;
}

}  // namespace

Mirror::Mirror(ProcFs proc) : proc_(std::move(proc)) {}

void Mirror::addNode(uint32_t global, uint64_t serial, const Properties& props) {
  Node& node = nodes_[global];
  node.serial = serial;
  setNodeProperties(global, props);
}

void Mirror::setNodeProperties(uint32_t global, const Properties& props) {
  const auto found = nodes_.find(global);
  if (found == nodes_.end()) return;
  Node& node = found->second;
  for (const auto& [key, value] : props) node.props[key] = value;
  node.direction = deviceDirection(node.props);
  node.stream = property(node.props, "media.class") == "Stream/Output/Audio";
  if (node.direction != NodeDirection::none && node.id == 0) {
    node.id = deviceIDs_.idFor(node.serial);
    deviceGlobals_[node.id] = global;
  }
  if (node.stream) identifyOwner(node);
}

void Mirror::identifyOwner(Node& node) {
  const auto client =
      clients_.find(uint32_t(std::strtoul(property(node.props, "client.id").c_str(), nullptr, 10)));
  static const Properties none;
  const Properties& clientProps = client == clients_.end() ? none : client->second;
  const int32_t pid = streamOwnerPID(node.props, clientProps, proc_);
  const auto started = proc_.startTime(pid);
  if (pid <= 0 || !started) {
    node.owner.reset();
    return;
  }
  node.owner = ProcessKey{pid, *started};
  processIDs_.idFor(*node.owner);
  node.bundleID = bundleID(node.props, clientProps, pid, proc_);
}

void Mirror::setNodeState(uint32_t global, NodeState state) {
  if (const auto found = nodes_.find(global); found != nodes_.end()) found->second.state = state;
}

void Mirror::setNodeVolume(uint32_t global, const VolumeState& volume) {
  const auto found = nodes_.find(global);
  if (found == nodes_.end()) return;
  if (!volume.gains.empty()) found->second.volume.gains = volume.gains;
  if (volume.mute) found->second.volume.mute = volume.mute;
}

void Mirror::addDevice(uint32_t global, const Properties& props) {
  for (const auto& [key, value] : props) devices_[global].props[key] = value;
}

void Mirror::setRoute(uint32_t global, const Route& route) {
  const auto found = devices_.find(global);
  if (found != devices_.end()) found->second.routes[route.device] = route;
}

void Mirror::addClient(uint32_t global, const Properties& props) {
  Properties& client = clients_[global];
  for (const auto& [key, value] : props) client[key] = value;
  // Streams announced before their client's properties arrived.
  const std::string id = std::to_string(global);
  for (auto& [nodeGlobal, node] : nodes_) {
    if (node.stream && property(node.props, "client.id") == id) identifyOwner(node);
  }
}

void Mirror::remove(uint32_t global) {
  if (const auto found = nodes_.find(global); found != nodes_.end()) {
    if (found->second.id != 0) {
      deviceGlobals_.erase(found->second.id);
      deviceIDs_.retire(found->second.serial);
      streamIDs_.retire({found->second.id, kInput});
      streamIDs_.retire({found->second.id, kOutput});
    }
    nodes_.erase(found);
    processIDs();  // forgets processes that exited with this stream
    return;
  }
  devices_.erase(global);
  clients_.erase(global);
}

void Mirror::setDefault(const std::string& key, const std::string& value) {
  if (value.empty()) {
    defaults_.erase(key);
  } else {
    defaults_[key] = nameInJSON(value);
  }
}

void Mirror::clear() {
  nodes_.clear();
  devices_.clear();
  clients_.clear();
  deviceGlobals_.clear();
  defaults_.clear();
  deviceIDs_.clear();
  processIDs_.clear();
  streamIDs_.clear();
}

bool Mirror::isDeviceNode(uint32_t global) const {
  const auto found = nodes_.find(global);
  return found != nodes_.end() && found->second.direction != NodeDirection::none;
}

bool Mirror::isStreamNode(uint32_t global) const {
  const auto found = nodes_.find(global);
  return found != nodes_.end() && found->second.stream;
}

const Mirror::Node* Mirror::deviceNode(AudioObjectID id) const {
  const auto global = deviceGlobals_.find(id);
  if (global == deviceGlobals_.end()) return nullptr;
  const auto node = nodes_.find(global->second);
  return node == nodes_.end() ? nullptr : &node->second;
}

uint32_t Mirror::globalOfDevice(AudioObjectID device) const {
  const auto global = deviceGlobals_.find(device);
  return global == deviceGlobals_.end() ? 0 : global->second;
}

// A node with a Device and an active route for its profile device has its volume there (what
// the hardware mixer follows); other nodes have it in their own Props.
const VolumeState* Mirror::volumeOf(const Node& node, const Route** route) const {
  *route = nullptr;
  const std::string& deviceID = property(node.props, "device.id");
  const std::string& profileDevice = property(node.props, "card.profile.device");
  if (!deviceID.empty() && !profileDevice.empty()) {
    const auto device = devices_.find(uint32_t(std::strtoul(deviceID.c_str(), nullptr, 10)));
    if (device != devices_.end()) {
      const auto found = device->second.routes.find(std::atoi(profileDevice.c_str()));
      if (found != device->second.routes.end() && !found->second.volume.gains.empty()) {
        *route = &found->second;
        return &found->second.volume;
      }
    }
  }
  return node.volume.gains.empty() && !node.volume.mute ? nullptr : &node.volume;
}

DeviceRecord Mirror::recordOf(const Node& node) const {
  static const Properties none;
  const auto device =
      devices_.find(uint32_t(std::strtoul(property(node.props, "device.id").c_str(), nullptr, 10)));
  const bool hasDevice = !property(node.props, "device.id").empty() && device != devices_.end();
  const Route* route = nullptr;
  volumeOf(node, &route);
  return deviceRecord(node.props, hasDevice ? device->second.props : none,
                      route != nullptr ? route->name : std::string(),
                      uint32_t(node.volume.gains.size()));
}

bool Mirror::inScope(const Node& node, AudioObjectPropertyScope scope) const {
  if (node.direction == NodeDirection::both) return true;
  return scope == kInput ? node.direction == NodeDirection::input
                         : node.direction == NodeDirection::output;
}

std::vector<AudioObjectID> Mirror::deviceIDs() const {
  std::vector<AudioObjectID> ids;
  ids.reserve(deviceGlobals_.size());
  for (const auto& [id, global] : deviceGlobals_) ids.push_back(id);
  return ids;
}

std::vector<AudioObjectID> Mirror::processIDs() {
  std::set<ProcessKey> owning;
  for (const auto& [global, node] : nodes_) {
    if (node.owner) owning.insert(*node.owner);
  }
  std::vector<AudioObjectID> ids;
  std::vector<ProcessKey> exited;
  for (const auto& [key, id] : processIDs_.entries()) {
    if (owning.count(key)) {
      ids.push_back(id);
    } else if (proc_.startTime(key.pid) != key.startTime) {
      exited.push_back(key);  // remembered while it lives, so a reopened stream keeps its id
    }
  }
  for (const ProcessKey& key : exited) processIDs_.retire(key);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::optional<Mirror::Process> Mirror::process(AudioObjectID id) const {
  const ProcessKey* key = processIDs_.keyOf(id);
  if (key == nullptr) return std::nullopt;
  Process result{*key, {}};
  for (const auto& [global, node] : nodes_) {
    if (node.owner == *key) result.nodes.push_back(&node);
  }
  if (result.nodes.empty()) return std::nullopt;
  return result;
}

AudioObjectID Mirror::defaultDevice(const std::string& key) const {
  const auto name = defaults_.find(key);
  if (name == defaults_.end()) return kAudioObjectUnknown;
  for (const auto& [id, global] : deviceGlobals_) {
    if (property(nodes_.at(global).props, "node.name") == name->second) return id;
  }
  return kAudioObjectUnknown;
}

OSStatus Mirror::read(AudioObjectID object, const AudioObjectPropertyAddress& address,
                      std::vector<uint8_t>* bytes) {
  const AudioObjectPropertySelector selector = address.selector;
  if (object == kAudioObjectSystemObject) {
    switch (selector) {
      case kAudioHardwarePropertyDevices:
        *bytes = idList(deviceIDs());
        return kAudioHardwareNoError;
      case kAudioHardwarePropertyProcessObjectList:
        *bytes = idList(processIDs());
        return kAudioHardwareNoError;
      case kAudioHardwarePropertyDefaultOutputDevice:
      case kAudioHardwarePropertyDefaultInputDevice:
        *bytes = bytesOf(
            defaultDevice(defaultKey(selector == kAudioHardwarePropertyDefaultInputDevice, false)));
        return kAudioHardwareNoError;
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  if (const Node* node = deviceNode(object)) {
    switch (selector) {
      case kAudioDevicePropertyDeviceIsAlive:
        *bytes = bytesOf(uint32_t(node->state != NodeState::error ? 1 : 0));
        return kAudioHardwareNoError;
      case kAudioDevicePropertyTransportType:
        *bytes = bytesOf(recordOf(*node).transport);
        return kAudioHardwareNoError;
      case kAudioDevicePropertyNominalSampleRate: {
        const std::string& rate = property(node->props, "audio.rate");
        *bytes = bytesOf(rate.empty() ? kGraphRate : std::strtod(rate.c_str(), nullptr));
        return kAudioHardwareNoError;
      }
      case kAudioDevicePropertyStreams: {
        std::vector<AudioObjectID> ids;
        for (AudioObjectPropertyScope scope : {kOutput, kInput}) {
          if (address.scope != kAudioObjectPropertyScopeGlobal && address.scope != scope) continue;
          if (inScope(*node, scope)) ids.push_back(streamIDs_.idFor({object, scope}));
        }
        *bytes = idList(ids);
        return kAudioHardwareNoError;
      }
      case kAudioDevicePropertyStreamConfiguration: {
        if (address.scope != kInput && address.scope != kOutput)
          return kAudioHardwareUnknownPropertyError;
        const uint32_t channels = inScope(*node, address.scope) ? recordOf(*node).channels : 0;
        const uint32_t buffers = channels > 0 ? 1 : 0;
        bytes->assign(AudioBufferListSize(buffers), 0);
        auto* list = reinterpret_cast<AudioBufferList*>(bytes->data());
        list->numberBuffers = buffers;
        if (buffers) list->buffers[0] = {channels, 0, nullptr};
        return kAudioHardwareNoError;
      }
      case kAudioDevicePropertyVolumeScalar:
      case kAudioDevicePropertyMute: {
        const Route* route = nullptr;
        const VolumeState* volume =
            inScope(*node, address.scope) ? volumeOf(*node, &route) : nullptr;
        if (volume == nullptr) return kAudioHardwareUnknownPropertyError;
        if (selector == kAudioDevicePropertyMute) {
          if (!volume->mute || address.element != kAudioObjectPropertyElementMain)
            return kAudioHardwareUnknownPropertyError;
          *bytes = bytesOf(uint32_t(*volume->mute ? 1 : 0));
          return kAudioHardwareNoError;
        }
        const auto& gains = volume->gains;
        if (gains.empty() || address.element > gains.size())
          return kAudioHardwareUnknownPropertyError;
        const float linear = address.element == kAudioObjectPropertyElementMain
                                 ? *std::max_element(gains.begin(), gains.end())
                                 : gains[address.element - 1];
        *bytes = bytesOf(scalarFromLinear(linear));
        return kAudioHardwareNoError;
      }
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  if (const auto found = process(object)) {
    switch (selector) {
      case kAudioProcessPropertyPID:
        *bytes = bytesOf(found->key.pid);
        return kAudioHardwareNoError;
      case kAudioProcessPropertyIsRunningOutput: {
        const bool running =
            std::any_of(found->nodes.begin(), found->nodes.end(),
                        [](const Node* n) { return n->state == NodeState::running; });
        *bytes = bytesOf(uint32_t(running ? 1 : 0));
        return kAudioHardwareNoError;
      }
      default:
        return kAudioHardwareUnknownPropertyError;
    }
  }
  for (const auto& [key, id] : streamIDs_.entries()) {
    if (id != object) continue;
    if (selector != kAudioStreamPropertyVirtualFormat) return kAudioHardwareUnknownPropertyError;
    const Node* node = deviceNode(key.first);
    if (node == nullptr) return kAudioHardwareBadObjectError;
    std::vector<uint8_t> rate;
    read(key.first, {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
         &rate);
    double sampleRate = kGraphRate;
    std::memcpy(&sampleRate, rate.data(), sizeof sampleRate);
    *bytes = bytesOf(floatFormat(recordOf(*node).channels, sampleRate));
    return kAudioHardwareNoError;
  }
  return kAudioHardwareBadObjectError;
}

OSStatus Mirror::readString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                            std::string* value) {
  if (const Node* node = deviceNode(object)) {
    if (address.selector == kAudioDevicePropertyDeviceUID) {
      *value = recordOf(*node).uid;
      return kAudioHardwareNoError;
    }
    if (address.selector == kAudioObjectPropertyName) {
      *value = recordOf(*node).name;
      return kAudioHardwareNoError;
    }
    return kAudioHardwareUnknownPropertyError;
  }
  if (const auto found = process(object)) {
    if (address.selector != kAudioProcessPropertyBundleID)
      return kAudioHardwareUnknownPropertyError;
    *value = found->nodes.front()->bundleID;
    return kAudioHardwareNoError;
  }
  return object == kAudioObjectSystemObject ? kAudioHardwareUnknownPropertyError
                                            : kAudioHardwareBadObjectError;
}

bool Mirror::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
  std::vector<uint8_t> ignored;
  std::string text;
  switch (address.selector) {
    case kAudioDevicePropertyDeviceUID:
    case kAudioObjectPropertyName:
    case kAudioProcessPropertyBundleID:
      return readString(object, address, &text) == kAudioHardwareNoError;
    default:
      return read(object, address, &ignored) == kAudioHardwareNoError;
  }
}

OSStatus Mirror::isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    bool* settable) {
  *settable = false;
  if (object == kAudioObjectSystemObject) {
    *settable = address.selector == kAudioHardwarePropertyDefaultOutputDevice ||
                address.selector == kAudioHardwarePropertyDefaultInputDevice;
    return kAudioHardwareNoError;
  }
  const Node* node = deviceNode(object);
  if (node == nullptr) {
    return process(object) ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
  }
  if (address.selector == kAudioDevicePropertyVolumeScalar ||
      address.selector == kAudioDevicePropertyMute) {
    std::vector<uint8_t> current;
    const OSStatus status = read(object, address, &current);
    if (status != kAudioHardwareNoError) return status;
    *settable = true;
  }
  return kAudioHardwareNoError;
}

OSStatus Mirror::planWrite(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t size, const void* data, std::optional<VolumeWrite>* volume,
                           std::optional<DefaultWrite>* defaults) const {
  if (object == kAudioObjectSystemObject) {
    const bool input = address.selector == kAudioHardwarePropertyDefaultInputDevice;
    if (!input && address.selector != kAudioHardwarePropertyDefaultOutputDevice)
      return kAudioHardwareUnknownPropertyError;
    AudioObjectID id = 0;
    if (!readValue(size, data, &id)) return kAudioHardwareBadPropertySizeError;
    const Node* node = deviceNode(id);
    if (node == nullptr || node->state == NodeState::error) return kAudioHardwareBadObjectError;
    if (!inScope(*node, input ? kInput : kOutput)) return kAudioHardwareIllegalOperationError;
    *defaults = DefaultWrite{defaultKey(input, true), defaultKey(input, false),
                             property(node->props, "node.name")};
    return kAudioHardwareNoError;
  }
  const Node* node = deviceNode(object);
  if (node == nullptr) return kAudioHardwareBadObjectError;
  if (address.selector != kAudioDevicePropertyVolumeScalar &&
      address.selector != kAudioDevicePropertyMute) {
    return kAudioHardwareUnknownPropertyError;
  }
  const Route* route = nullptr;
  const VolumeState* current = inScope(*node, address.scope) ? volumeOf(*node, &route) : nullptr;
  if (current == nullptr) return kAudioHardwareUnknownPropertyError;
  VolumeWrite write;
  write.state = *current;
  if (address.selector == kAudioDevicePropertyVolumeScalar) {
    float scalar = 0.0f;
    if (!readValue(size, data, &scalar)) return kAudioHardwareBadPropertySizeError;
    if (!std::isfinite(scalar)) return kAudio_ParamError;
    write.state.gains = writtenGains(current->gains, address.element, scalar);
    if (write.state.gains.empty()) return kAudioHardwareUnknownPropertyError;
  } else {
    uint32_t muted = 0;
    if (!readValue(size, data, &muted)) return kAudioHardwareBadPropertySizeError;
    if (!current->mute || address.element != kAudioObjectPropertyElementMain)
      return kAudioHardwareUnknownPropertyError;
    write.state.mute = muted != 0;
  }
  if (route != nullptr) {
    write.route = true;
    write.global = uint32_t(std::strtoul(property(node->props, "device.id").c_str(), nullptr, 10));
    write.routeIndex = route->index;
    write.routeDevice = route->device;
  } else {
    write.global = deviceGlobals_.at(object);
  }
  *volume = write;
  return kAudioHardwareNoError;
}

bool Mirror::isVisible(const VolumeWrite& write) const {
  const VolumeState* state = nullptr;
  if (write.route) {
    const auto device = devices_.find(write.global);
    if (device == devices_.end()) return false;
    const auto route = device->second.routes.find(write.routeDevice);
    if (route == device->second.routes.end()) return false;
    state = &route->second.volume;
  } else {
    const auto node = nodes_.find(write.global);
    if (node == nodes_.end()) return false;
    state = &node->second.volume;
  }
  return sameGains(state->gains, write.state.gains) && state->mute == write.state.mute;
}

bool Mirror::isVisible(const DefaultWrite& write) const {
  const auto found = defaults_.find(write.echoKey);
  return found != defaults_.end() && found->second == write.name;
}

std::optional<MemberDevice> Mirror::outputDevice(const std::string& uid) const {
  for (const auto& [id, global] : deviceGlobals_) {
    const Node& node = nodes_.at(global);
    if (!inScope(node, kOutput)) continue;
    const DeviceRecord record = recordOf(node);
    if (record.uid == uid)
      return MemberDevice{id, property(node.props, "node.name"), record.channels};
  }
  return std::nullopt;
}

bool Mirror::ownedBy(uint32_t global, const std::vector<AudioObjectID>& processes) const {
  const auto found = nodes_.find(global);
  if (found == nodes_.end() || !found->second.stream || !found->second.owner) return false;
  const AudioObjectID owner = processIDs_.find(*found->second.owner);
  return std::find(processes.begin(), processes.end(), owner) != processes.end();
}

std::vector<uint32_t> Mirror::streamNodes(const std::vector<AudioObjectID>& processes) const {
  std::vector<uint32_t> globals;
  for (const auto& [global, node] : nodes_) {
    if (ownedBy(global, processes)) globals.push_back(global);
  }
  return globals;
}

bool Mirror::refusesMoves(uint32_t global) const {
  const auto found = nodes_.find(global);
  if (found == nodes_.end()) return false;
  const std::string& value = property(found->second.props, "node.dont-reconnect");
  return value == "true" || value == "1";
}

std::vector<uint32_t> Mirror::streamNodesOfPID(int32_t pid) const {
  std::vector<uint32_t> globals;
  for (const auto& [global, node] : nodes_) {
    if (node.stream && node.owner && node.owner->pid == pid) globals.push_back(global);
  }
  return globals;
}

std::map<int32_t, AudioClientApplication> Mirror::clientApplications() const {
  std::map<int32_t, AudioClientApplication> applications;
  for (const auto& entry : nodes_) {
    // Not a structured binding: clang 14 cannot capture one in the lambda below.
    const auto& node = entry.second;
    if (!node.owner) continue;
    const auto client = clients_.find(
        uint32_t(std::strtoul(property(node.props, "client.id").c_str(), nullptr, 10)));
    const auto& props = node.props;  // clang 14 captures no structured binding
    auto either = [&](const char* key) {
      const std::string& value = property(props, key);
      if (!value.empty() || client == clients_.end()) return value;
      return property(client->second, key);
    };
    AudioClientApplication& application = applications[node.owner->pid];
    if (application.id.empty()) application.id = either("application.id");
    if (application.name.empty()) application.name = either("application.name");
    if (application.iconName.empty()) application.iconName = either("application.icon-name");
  }
  return applications;
}

std::optional<std::string> Mirror::processPath(int32_t pid) const {
  for (const auto& [global, node] : nodes_) {
    if (node.owner && node.owner->pid == pid) return proc_.executable(pid);
  }
  return std::nullopt;
}

}  // namespace velmora::platform::pipewire
