// The machine a simulated audio system starts as: devices, processes and the applications on
// disk. Read from a JSON scenario file (ScenarioFile.h) or built in code by tests.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/apps/ApplicationServices.h"
#include "platform/audio/AudioTypes.h"

namespace velmora::platform::sim {

struct VolumeElement {
  uint32_t element = 0;  // 0 = the whole scope, 1...n = one channel
  float value = 1.0f;
  bool settable = true;

  bool operator==(const VolumeElement&) const = default;
};

struct MuteControl {
  bool muted = false;
  bool settable = true;

  bool operator==(const MuteControl&) const = default;
};

// The controls and streams of one direction of a device.
struct DeviceScope {
  std::vector<uint32_t> streams;  // channels per stream, in stream order
  std::vector<VolumeElement> volume;
  std::optional<MuteControl> mute;

  uint32_t channels() const;
  bool operator==(const DeviceScope&) const = default;
};

struct ScenarioDevice {
  std::string uid;
  std::string name;
  uint32_t transport = kAudioDeviceTransportTypeBuiltIn;
  bool alive = true;
  double sampleRate = 48000.0;
  DeviceScope output;
  DeviceScope input;

  bool operator==(const ScenarioDevice&) const = default;
};

// A sine a process plays on one of its streams.
struct Tone {
  double frequency = 440.0;
  float level = 0.5f;  // peak amplitude, 0...1

  bool operator==(const Tone&) const = default;
};

struct ScenarioProcess {
  int32_t pid = 0;
  std::string bundleID;     // what the audio system reports; may be empty
  std::string executable;   // may be empty
  std::vector<Tone> tones;  // one stream each; none = a silent process
  bool playing = true;      // running output while it has tones
  // The system's running-application record of the process, when it has one.
  std::optional<RunningApplication> application;

  bool operator==(const ScenarioProcess&) const = default;
};

// An application bundle on the simulated disk.
struct ScenarioBundle {
  std::string path;
  std::optional<std::string> identifier;
  std::map<std::string, InfoValue> info;
  std::vector<std::string> imageResources;  // named images the bundle provides
  std::vector<std::string> resourceFiles;   // file names in its resource folder that load as images
  bool registered = true;                   // known to the workspace's look-up by identifier

  bool operator==(const ScenarioBundle&) const = default;
};

// A device paired with the machine's Bluetooth stack, as the stack reports it.
struct ScenarioPairedDevice {
  std::optional<std::string> address;  // any case and separator; absent = the stack gives none
  std::optional<std::string> name;
  std::vector<uint16_t> services;  // 16-bit service classes with a service record
  uint32_t majorDeviceClass = 0;
  bool connected = false;

  bool operator==(const ScenarioPairedDevice&) const = default;
};

struct Scenario {
  std::vector<ScenarioDevice> devices;
  std::string defaultOutputUID;
  std::string defaultInputUID;
  std::vector<ScenarioProcess> processes;
  std::vector<ScenarioBundle> bundles;
  std::vector<std::string> folders;  // folders on the simulated disk beyond the bundles' parents
  std::vector<ScenarioPairedDevice> pairedDevices;  // in the order the stack lists them
  std::string homeDirectory = "/home/user";
  int32_t ownProcessID = 1;
  std::string ownBundleIdentifier = "com.local.Ombrel";
};

}  // namespace velmora::platform::sim
