// What the PipeWire backend makes of the server's properties, without a server: device records,
// the volume scale, which process owns a stream, a process's id, a route's volume.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/pipewire/DeviceProperties.h"
#include "platform/pipewire/Mirror.h"
#include "platform/pipewire/ProcessIdentity.h"

namespace velmora::platform::pipewire {
namespace {

namespace fs = std::filesystem;

Properties with(Properties props, const std::string& key, const std::string& value) {
  props[key] = value;
  return props;
}

TEST(PipeWireDeviceRecord, UIDNameTransportAndChannelsFromTheProperties) {
  struct Case {
    Properties node;  // named "n" unless it names itself
    Properties device;
    std::string route;
    uint32_t paramChannels;
    uint32_t transport;
    uint32_t channels;
    std::string uid = "n";
  };
  const uint32_t virt = kAudioDeviceTransportTypeVirtual, bt = kAudioDeviceTransportTypeBluetooth;
  const uint32_t le = kAudioDeviceTransportTypeBluetoothLE, usb = kAudioDeviceTransportTypeUSB;
  const uint32_t hdmi = kAudioDeviceTransportTypeHDMI, dp = kAudioDeviceTransportTypeDisplayPort;
  const std::string address = "AA:BB:CC:DD:EE:0F", btUID = "bluez_output.AA:BB:CC:DD:EE:0F.1";
  const Properties alsa{{"device.api", "alsa"}}, pci = with(alsa, "device.bus", "pci");
  const Properties bluez{{"device.api", "bluez5"}, {"api.bluez5.address", address}};
  const Properties a2dp{{"node.name", "bluez_output.AA_BB_CC_DD_EE_0F.1"},
                        {"api.bluez5.profile", "a2dp-sink"}};
  const Properties bareBt{{"node.name", "bluez_sink"}, {"api.bluez5.address", address}};
  const Case cases[] = {
      {{{"audio.position", "[ MONO ]"}}, {}, "", 0, virt, 1},
      {{{"audio.channels", "6"}}, {}, "", 2, virt, 2},  // the volume list wins
      {with(with(alsa, "node.virtual", "true"), "audio.channels", "2"), {}, "", 0, virt, 2},
      {a2dp, bluez, "", 2, bt, 2, btUID},  // the address back in colon form
      {with(a2dp, "api.bluez5.profile", "bap-sink"), bluez, "", 2, le, 2, btUID},
      {bareBt, {}, "", 1, bt, 1, "bluez_sink." + address},
      {{}, with(alsa, "device.bus", "usb"), "analog-output", 2, usb, 2},
      {{}, pci, "analog-output-speaker", 2, kAudioDeviceTransportTypeBuiltIn, 2},
      {{}, pci, "hdmi-output-0", 2, hdmi, 2},
      {{{"device.profile.name", "hdmi-stereo-extra1"}}, pci, "", 2, hdmi, 2},
      {{{"device.profile.description", "DisplayPort 2"}}, pci, "", 2, dp, 2},
  };
  for (const Case& c : cases) {
    Properties node = c.node;
    node.emplace("node.name", "n");
    const DeviceRecord r = deviceRecord(node, c.device, c.route, c.paramChannels);
    EXPECT_EQ(std::tie(r.uid, r.transport, r.channels), std::tie(c.uid, c.transport, c.channels))
        << "row " << &c - cases;
  }
  const Properties nick{{"node.name", "n"}, {"node.nick", "k"}};
  EXPECT_EQ(deviceRecord(with(nick, "node.description", "D"), {}, "", 0).name, "D");
  EXPECT_EQ(deviceRecord(nick, {}, "", 0).name, "k");
  EXPECT_EQ(deviceRecord({{"node.name", "n"}}, {}, "", 0).name, "n");
}

TEST(PipeWireVolumeScale, ClampsAndKeepsTheBalanceOnWrites) {
  EXPECT_EQ(scalarFromLinear(1.5f), 1.0f);
  EXPECT_EQ(scalarFromLinear(-0.1f), 0.0f);
  EXPECT_EQ(linearFromScalar(2.0f), 1.0f);
  // Element 0 scales every channel so that the loudest lands on the written value.
  const auto scaled = writtenGains({0.5f, 0.25f}, 0, 0.5f);
  ASSERT_EQ(scaled.size(), 2u);
  EXPECT_NEAR(scaled[0], 0.125f, 1e-6f);
  EXPECT_NEAR(scaled[1], 0.0625f, 1e-6f);
  EXPECT_EQ(writtenGains({0.0f, 0.0f}, 0, 1.0f), (std::vector<float>{1.0f, 1.0f}));
  // A channel above full scale is only changed when it is the one written.
  EXPECT_EQ(writtenGains({1.5f, 1.5f}, 1, 1.0f), (std::vector<float>{1.0f, 1.5f}));
  EXPECT_TRUE(writtenGains({1.0f, 1.0f}, 3, 1.0f).empty());
}

// A /proc of its own: <pid>/stat, status, cgroup and a sandbox's .flatpak-info.
struct ProcFixture {
  ProcFixture() {
    char name[] = "/tmp/velmora-proc-XXXXXX";
    root = mkdtemp(name);
  }
  ~ProcFixture() { fs::remove_all(root); }

  void process(int pid, uint64_t startTime, const std::string& comm = "app",
               const std::string& nspid = "", const std::string& flatpakApp = "",
               const std::string& cgroup = "") const {
    const fs::path dir = fs::path(root) / std::to_string(pid);
    fs::create_directories(dir / "root");
    std::ofstream(dir / "stat") << pid << " (" << comm
                                << ") S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 " << startTime
                                << " 1000 100\n";
    std::ofstream(dir / "status") << "Name:\t" << comm << "\nNSpid:\t" << pid << nspid << "\n";
    if (!flatpakApp.empty())
      std::ofstream(dir / "root/.flatpak-info") << "[Application]\nname=" << flatpakApp << "\n";
    if (!cgroup.empty()) std::ofstream(dir / "cgroup") << cgroup;
  }

  std::string root;
};

TEST(PipeWireProcessIdentity, ProcReadersPidRulesAndBundleIDs) {
  ProcFixture proc;
  proc.process(40, 777, "web (content) 1");
  proc.process(41, 5, "player", "\t2", "org.example.Player");
  proc.process(42, 5, "snapped", "", "", "0::/user.slice/snap.firefox.firefox-99.scope\n");
  const ProcFs fs(proc.root);
  EXPECT_EQ(fs.startTime(40), 777u) << "a command name with spaces and parentheses";
  EXPECT_EQ(fs.flatpakAppID(41), "org.example.Player");
  EXPECT_EQ(fs.snapName(42), "firefox");
  EXPECT_EQ(fs.hostPID(2, "org.other.App"), std::nullopt);

  struct Case {
    Properties node;
    Properties client;
    int32_t pid;
  };
  const Properties pulse{{"client.api", "pipewire-pulse"}};
  const Properties portal = with(pulse, "pipewire.access.portal.app_id", "org.example.Player");
  const Case cases[] = {
      // Native: the server's peer credentials, not the self-report.
      {{}, {{"pipewire.sec.pid", "300"}, {"application.process.id", "301"}}, 300},
      // The PulseAudio protocol: the library's report on the node, else on the client.
      {with(pulse, "application.process.id", "310"), {{"pipewire.sec.pid", "200"}}, 310},
      {{}, with(with(pulse, "application.process.id", "311"), "pipewire.sec.pid", "200"), 311},
      // A sandbox's pid translated to the host, when a host process matches.
      {{{"application.process.id", "2"}}, portal, 41},
      {{{"application.process.id", "8"}}, portal, 0},
      {pulse, {}, 0},  // no pid at all: a network client
  };
  for (size_t row = 0; row < std::size(cases); ++row)
    EXPECT_EQ(streamOwnerPID(cases[row].node, cases[row].client, fs), cases[row].pid) << row;

  // The bundle: the portal's, the sandbox's, the stream's own, the client's, the snap's.
  const Properties totem{{"application.id", "org.gnome.Totem"}};
  EXPECT_EQ(bundleID({}, {{"pipewire.access.portal.app_id", "org.portal.App"}}, 40, fs),
            "org.portal.App");
  EXPECT_EQ(bundleID(totem, {}, 41, fs), "org.example.Player");
  EXPECT_EQ(bundleID(totem, {{"application.id", "x"}}, 42, fs), "org.gnome.Totem");
  EXPECT_EQ(bundleID({}, {{"application.id", "org.client.Id"}}, 42, fs), "org.client.Id");
  EXPECT_EQ(bundleID({}, {}, 42, fs), "firefox");
  EXPECT_EQ(bundleID({}, {}, 40, fs), "");
}

// The mirror fed as the server's events would feed it.
std::vector<AudioObjectID> list(Mirror& mirror, AudioObjectPropertySelector selector) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(
      mirror.read(kAudioObjectSystemObject, {selector, kAudioObjectPropertyScopeGlobal, 0}, &bytes),
      0);
  std::vector<AudioObjectID> ids(bytes.size() / sizeof(AudioObjectID));
  if (!ids.empty()) std::memcpy(ids.data(), bytes.data(), bytes.size());
  return ids;
}

template <class T>
T read(Mirror& mirror, AudioObjectID object, const AudioObjectPropertyAddress& address) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(mirror.read(object, address, &bytes), 0);
  T value{};
  std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
  return value;
}

Properties sink(const std::string& name) {
  return {{"node.name", name}, {"media.class", "Audio/Sink"}, {"audio.position", "[ FL FR ]"}};
}

void addStream(Mirror& mirror, uint32_t global, uint32_t client, int pid) {
  mirror.addClient(client, {{"pipewire.sec.pid", std::to_string(pid)}});
  mirror.addNode(global, global + 1000,
                 {{"media.class", "Stream/Output/Audio"}, {"client.id", std::to_string(client)}});
}

TEST(PipeWireIds, AProcessKeepsItsIdWhileItLivesAndAReusedPidIsANewProcess) {
  ProcFixture proc;
  proc.process(900, 1000);
  Mirror mirror{ProcFs(proc.root)};
  addStream(mirror, 70, 71, 900);
  addStream(mirror, 72, 71, 900);  // a second stream of the same process
  const auto first = list(mirror, kAudioHardwarePropertyProcessObjectList);
  ASSERT_EQ(first.size(), 1u);

  mirror.remove(70);
  mirror.remove(72);
  EXPECT_TRUE(list(mirror, kAudioHardwarePropertyProcessObjectList).empty());
  addStream(mirror, 70, 71, 900);  // the same process opens a stream again
  EXPECT_EQ(list(mirror, kAudioHardwarePropertyProcessObjectList), first);

  mirror.remove(70);
  proc.process(900, 2000);  // exited; the pid now belongs to another process
  addStream(mirror, 70, 73, 900);
  const auto reused = list(mirror, kAudioHardwarePropertyProcessObjectList);
  ASSERT_EQ(reused.size(), 1u);
  EXPECT_NE(reused[0], first[0]);
}

TEST(PipeWireMirror, ARouteCarriesTheVolumeWhenTheNodeHasOne) {
  Mirror mirror;
  mirror.addDevice(
      10, {{"device.api", "alsa"}, {"device.bus", "pci"}, {"media.class", "Audio/Device"}});
  mirror.addNode(20, 30,
                 with(with(sink("alsa_output.pci.hdmi-stereo"), "device.id", "10"),
                      "card.profile.device", "3"));
  mirror.setNodeVolume(20, {{1.0f, 1.0f}, false});  // the node's own soft volume
  mirror.setRoute(10, Route{5, 3, "hdmi-output-0", {{0.125f, 0.125f}, true}});
  const AudioObjectID device = list(mirror, kAudioHardwarePropertyDevices).at(0);

  const AudioObjectPropertyAddress volume{kAudioDevicePropertyVolumeScalar,
                                          kAudioObjectPropertyScopeOutput, 0};
  EXPECT_NEAR(read<float>(mirror, device, volume), 0.5f, 1e-6f);
  EXPECT_EQ(read<uint32_t>(mirror, device,
                           {kAudioDevicePropertyTransportType, kAudioObjectPropertyScopeGlobal, 0}),
            uint32_t(kAudioDeviceTransportTypeHDMI));

  const float louder = 0.8f;
  std::optional<VolumeWrite> write;
  std::optional<DefaultWrite> ignored;
  ASSERT_EQ(mirror.planWrite(device,
                             {kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 2},
                             sizeof louder, &louder, &write, &ignored),
            0);
  ASSERT_TRUE(write);
  EXPECT_TRUE(write->route);
  EXPECT_EQ(write->global, 10u);
  EXPECT_EQ(write->routeIndex, 5);
  EXPECT_FALSE(mirror.isVisible(*write)) << "only the server's echo makes it visible";
  mirror.setRoute(10, Route{5, 3, "hdmi-output-0", write->state});
  EXPECT_TRUE(mirror.isVisible(*write));
}

}  // namespace
}  // namespace velmora::platform::pipewire
