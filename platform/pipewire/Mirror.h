// The backend's picture of the audio server: the nodes, devices and clients it announced, their
// volumes and states, and the default devices, with the program's own ids for them. Every read
// of the program is answered from here; writes are planned here, sent by the glue, and count as
// done once the server's echo makes them visible here.
//
// Threading: no lock of its own. The glue updates it on the server loop's thread and the backend
// calls read it under the loop lock, so both are serialised by that lock.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/AudioBackend.h"
#include "platform/pipewire/DeviceProperties.h"
#include "platform/pipewire/IdTable.h"
#include "platform/pipewire/ProcessIdentity.h"
#include "platform/pipewire/Properties.h"

namespace velmora::platform::pipewire {

enum class NodeState { error, creating, suspended, idle, running };

// Linear per-channel gains and mute, as one Props object or one route's props carries them.
struct VolumeState {
  std::vector<float> gains;
  std::optional<bool> mute;
};

// One active route of a Device, keyed by the profile device it serves.
struct Route {
  int32_t index = -1;
  int32_t device = -1;
  std::string name;
  VolumeState volume;
};

// A volume or mute write: to the node's Props, or to its Device's route.
struct VolumeWrite {
  bool route = false;
  uint32_t global = 0;  // the node, or for a route the Device
  int32_t routeIndex = -1;
  int32_t routeDevice = -1;
  VolumeState state;  // complete: gains and mute as they should read afterwards
};

// A default-device write: `key` of the default metadata set to the node `name`; it is visible
// once `echoKey` names it.
struct DefaultWrite {
  std::string key;
  std::string echoKey;
  std::string name;
};

// An output device as an aggregate's member: where its playback stream goes, and how wide.
struct MemberDevice {
  AudioObjectID id = 0;
  std::string nodeName;
  uint32_t channels = 0;
};

class Mirror {
 public:
  explicit Mirror(ProcFs proc = ProcFs());

  // Updates, from the server's events.
  void addNode(uint32_t global, uint64_t serial, const Properties& props);
  void setNodeProperties(uint32_t global, const Properties& props);
  void setNodeState(uint32_t global, NodeState state);
  void setNodeVolume(uint32_t global, const VolumeState& volume);
  void addDevice(uint32_t global, const Properties& props);
  void setRoute(uint32_t global, const Route& route);
  void addClient(uint32_t global, const Properties& props);
  void remove(uint32_t global);
  // A default metadata entry; `value` is its JSON ({"name": "..."}), empty when removed.
  void setDefault(const std::string& key, const std::string& value);
  // The server is gone: everything goes, and no id handed out so far comes back.
  void clear();

  bool isDeviceNode(uint32_t global) const;
  bool isStreamNode(uint32_t global) const;

  // Reads, in the layouts every backend uses.
  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address);
  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* settable);
  OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& address,
                std::vector<uint8_t>* bytes);
  OSStatus readString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                      std::string* value);

  // Writes: checks them and says what to send. Exactly one of the outputs is set on success.
  OSStatus planWrite(AudioObjectID object, const AudioObjectPropertyAddress& address, uint32_t size,
                     const void* data, std::optional<VolumeWrite>* volume,
                     std::optional<DefaultWrite>* defaults) const;
  bool isVisible(const VolumeWrite& write) const;
  bool isVisible(const DefaultWrite& write) const;

  std::map<int32_t, AudioClientApplication> clientApplications() const;
  // The executable of a process that owns a process object now.
  std::optional<std::string> processPath(int32_t pid) const;

  std::vector<AudioObjectID> deviceIDs() const;
  // Process objects: one per OS process with an output stream, by id.
  std::vector<AudioObjectID> processIDs();
  // The server's global id behind a device id, for tests; 0 when none.
  uint32_t globalOfDevice(AudioObjectID device) const;

  // A new id for an object the backend makes itself (taps, aggregates and their streams).
  AudioObjectID newID() { return counter_.next(); }
  // The output device with this UID, if one is present.
  std::optional<MemberDevice> outputDevice(const std::string& uid) const;
  // The output stream nodes of these process objects, and whether one node is among them.
  std::vector<uint32_t> streamNodes(const std::vector<AudioObjectID>& processes) const;
  bool ownedBy(uint32_t global, const std::vector<AudioObjectID>& processes) const;
  // A stream that asked never to be reconnected: the session manager leaves it where it plays.
  bool refusesMoves(uint32_t global) const;
  // The server's ids of a process's output streams, for tests.
  std::vector<uint32_t> streamNodesOfPID(int32_t pid) const;

 private:
  struct Node {
    uint64_t serial = 0;
    Properties props;
    NodeState state = NodeState::creating;
    VolumeState volume;
    NodeDirection direction = NodeDirection::none;
    bool stream = false;
    AudioObjectID id = 0;             // devices
    std::optional<ProcessKey> owner;  // output streams
    std::string bundleID;
  };
  struct Device {
    Properties props;
    std::map<int32_t, Route> routes;
  };
  struct Process {
    ProcessKey key;
    std::vector<const Node*> nodes;
  };

  const Node* deviceNode(AudioObjectID id) const;
  const VolumeState* volumeOf(const Node& node, const Route** route) const;
  DeviceRecord recordOf(const Node& node) const;
  bool inScope(const Node& node, AudioObjectPropertyScope scope) const;
  void identifyOwner(Node& node);
  std::optional<Process> process(AudioObjectID id) const;
  AudioObjectID defaultDevice(const std::string& key) const;

  ProcFs proc_;
  IdCounter counter_;
  IdTable<uint64_t> deviceIDs_{counter_};
  IdTable<ProcessKey> processIDs_{counter_};
  IdTable<std::pair<AudioObjectID, AudioObjectPropertyScope>> streamIDs_{counter_};
  std::map<uint32_t, Node> nodes_;
  std::map<uint32_t, Device> devices_;
  std::map<uint32_t, Properties> clients_;
  std::map<AudioObjectID, uint32_t> deviceGlobals_;
  std::map<std::string, std::string> defaults_;  // key -> node name
};

}  // namespace velmora::platform::pipewire
