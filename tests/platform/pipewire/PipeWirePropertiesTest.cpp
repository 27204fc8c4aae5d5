// What the PipeWire backend makes of the server's properties, without a server: device records,
// the volume scale, which process owns a stream, and ids that are never handed out twice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/pipewire/DeviceProperties.h"
#include "platform/pipewire/Mirror.h"
#include "platform/pipewire/ProcessIdentity.h"

namespace velmora::platform::pipewire {
namespace {

namespace fs = std::filesystem;

TEST(PipeWireDeviceRecord, UIDTransportAndChannelsFromTheProperties) {
  struct Case {
    const char* what;
    Properties node;
    Properties device;
    std::string route;
    uint32_t paramChannels;
    std::string uid;
    uint32_t transport;
    uint32_t channels;
  };
  const Properties pci{{"device.api", "alsa"}, {"device.bus", "pci"}};
  const Case cases[] = {
      {"null sink, positions only",
       {{"node.name", "test-sink-mono"}, {"audio.position", "[ MONO ]"}},
       {},
       "",
       0,
       "test-sink-mono",
       kAudioDeviceTransportTypeVirtual,
       1},
      {"volume list wins over the declared count",
       {{"node.name", "n"}, {"audio.channels", "6"}},
       {},
       "",
       2,
       "n",
       kAudioDeviceTransportTypeVirtual,
       2},
      {"node.virtual on a real api",
       {{"node.name", "v"},
        {"node.virtual", "true"},
        {"device.api", "alsa"},
        {"audio.channels", "2"}},
       {},
       "",
       0,
       "v",
       kAudioDeviceTransportTypeVirtual,
       2},
      {"bluetooth, address back in colon form",
       {{"node.name", "bluez_output.AA_BB_CC_DD_EE_0F.1"}, {"api.bluez5.profile", "a2dp-sink"}},
       {{"device.api", "bluez5"}, {"api.bluez5.address", "AA:BB:CC:DD:EE:0F"}},
       "",
       2,
       "bluez_output.AA:BB:CC:DD:EE:0F.1",
       kAudioDeviceTransportTypeBluetooth,
       2},
      {"bluetooth LE audio profile",
       {{"node.name", "bluez_output.AA_BB_CC_DD_EE_0F.1"},
        {"api.bluez5.profile", "bap-sink"},
        {"api.bluez5.address", "AA:BB:CC:DD:EE:0F"}},
       {},
       "",
       2,
       "bluez_output.AA:BB:CC:DD:EE:0F.1",
       kAudioDeviceTransportTypeBluetoothLE,
       2},
      {"bluetooth name without the address gets it appended",
       {{"node.name", "bluez_sink"}, {"api.bluez5.address", "AA:BB:CC:DD:EE:0F"}},
       {},
       "",
       1,
       "bluez_sink.AA:BB:CC:DD:EE:0F",
       kAudioDeviceTransportTypeBluetooth,
       1},
      {"usb headset",
       {{"node.name", "alsa_output.usb-Headset-00.analog-stereo"}},
       {{"device.api", "alsa"}, {"device.bus", "usb"}},
       "analog-output",
       2,
       "alsa_output.usb-Headset-00.analog-stereo",
       kAudioDeviceTransportTypeUSB,
       2},
      {"built-in speakers",
       {{"node.name", "alsa_output.pci.analog-stereo"}},
       pci,
       "analog-output-speaker",
       2,
       "alsa_output.pci.analog-stereo",
       kAudioDeviceTransportTypeBuiltIn,
       2},
      {"hdmi route",
       {{"node.name", "h"}},
       pci,
       "hdmi-output-0",
       2,
       "h",
       kAudioDeviceTransportTypeHDMI,
       2},
      {"hdmi profile without a route",
       {{"node.name", "h"}, {"device.profile.name", "hdmi-stereo-extra1"}},
       pci,
       "",
       2,
       "h",
       kAudioDeviceTransportTypeHDMI,
       2},
      {"display port told apart by the profile",
       {{"node.name", "d"}, {"device.profile.description", "DisplayPort 2"}},
       pci,
       "",
       2,
       "d",
       kAudioDeviceTransportTypeDisplayPort,
       2},
  };
  for (const Case& c : cases) {
    const DeviceRecord record = deviceRecord(c.node, c.device, c.route, c.paramChannels);
    EXPECT_EQ(record.uid, c.uid) << c.what;
    EXPECT_EQ(record.transport, c.transport) << c.what;
    EXPECT_EQ(record.channels, c.channels) << c.what;
  }
}

TEST(PipeWireDeviceRecord, NameFallsBackFromDescriptionToNickToNodeName) {
  EXPECT_EQ(
      deviceRecord({{"node.name", "n"}, {"node.nick", "k"}, {"node.description", "D"}}, {}, "", 0)
          .name,
      "D");
  EXPECT_EQ(deviceRecord({{"node.name", "n"}, {"node.nick", "k"}}, {}, "", 0).name, "k");
  EXPECT_EQ(deviceRecord({{"node.name", "n"}}, {}, "", 0).name, "n");
}

TEST(PipeWireVolumeScale, CubicAndLinearRoundTripAndClampAboveFullScale) {
  for (float scalar : {0.0f, 0.1f, 0.25f, 0.5f, 0.9f, 1.0f}) {
    EXPECT_NEAR(scalarFromLinear(linearFromScalar(scalar)), scalar, 1e-6f);
  }
  EXPECT_NEAR(linearFromScalar(0.5f), 0.125f, 1e-7f);  // half on the desktop's scale is -18 dB
  EXPECT_NEAR(scalarFromLinear(0.125f), 0.5f, 1e-6f);
  EXPECT_EQ(scalarFromLinear(1.5f), 1.0f);
  EXPECT_EQ(scalarFromLinear(-0.1f), 0.0f);
  EXPECT_EQ(linearFromScalar(2.0f), 1.0f);
}

TEST(PipeWireVolumeScale, WritingKeepsBalanceAndLeavesOtherChannelsAlone) {
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

// A /proc of its own: <pid>/stat, status, cgroup, exe and a sandbox's .flatpak-info.
class ProcFixture {
 public:
  ProcFixture() {
    char name[] = "/tmp/velmora-proc-XXXXXX";
    root_ = mkdtemp(name);
  }
  ~ProcFixture() { fs::remove_all(root_); }

  void process(int pid, uint64_t startTime, const std::string& comm = "app",
               const std::string& nspid = "", const std::string& flatpakApp = "",
               const std::string& cgroup = "") {
    const fs::path dir = fs::path(root_) / std::to_string(pid);
    fs::remove_all(dir);
    fs::create_directories(dir / "root");
    write(dir / "stat", std::to_string(pid) + " (" + comm +
                            ") S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 " +
                            std::to_string(startTime) + " 1000 100\n");
    write(dir / "status", "Name:\t" + comm + "\nNSpid:\t" + std::to_string(pid) + nspid + "\n");
    if (!flatpakApp.empty())
      write(dir / "root/.flatpak-info", "[Application]\nname=" + flatpakApp + "\nruntime=x\n");
    if (!cgroup.empty()) write(dir / "cgroup", cgroup);
    fs::create_symlink("/usr/bin/" + comm, dir / "exe");
  }
  void exit(int pid) { fs::remove_all(fs::path(root_) / std::to_string(pid)); }
  const std::string& root() const { return root_; }

 private:
  static void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  std::string root_;
};

TEST(PipeWireProcessIdentity, ProcReadersUnderAnInjectedRoot) {
  ProcFixture proc;
  proc.process(40, 777, "web (content) 1");
  proc.process(41, 5, "player", "\t2", "org.example.Player");
  proc.process(42, 5, "snapped", "", "", "0::/user.slice/snap.firefox.firefox-99.scope\n");
  const ProcFs fs(proc.root());
  EXPECT_EQ(fs.startTime(40), 777u) << "a command name with spaces and parentheses";
  EXPECT_EQ(fs.startTime(43), std::nullopt);
  EXPECT_EQ(fs.executable(40), "/usr/bin/web (content) 1");
  EXPECT_EQ(fs.flatpakAppID(41), "org.example.Player");
  EXPECT_EQ(fs.snapName(42), "firefox");
  EXPECT_EQ(fs.hostPID(2, "org.example.Player"), 41);
  EXPECT_EQ(fs.hostPID(2, "org.other.App"), std::nullopt);
}

TEST(PipeWireProcessIdentity, PidRuleForEachKindOfClient) {
  ProcFixture proc;
  proc.process(500, 1, "sandboxed", "\t7", "org.example.Player");
  const ProcFs fs(proc.root());
  struct Case {
    const char* what;
    Properties node;
    Properties client;
    int32_t pid;
  };
  const Case cases[] = {
      {"native: the server's peer credentials, not the self-report",
       {},
       {{"pipewire.sec.pid", "300"}, {"application.process.id", "301"}},
       300},
      {"pulse protocol: the library's report on the node",
       {{"client.api", "pipewire-pulse"}, {"application.process.id", "310"}},
       {{"client.api", "pipewire-pulse"}, {"pipewire.sec.pid", "200"}},
       310},
      {"pulse protocol: the client's report when the node has none",
       {},
       {{"client.api", "pipewire-pulse"},
        {"application.process.id", "311"},
        {"pipewire.sec.pid", "200"}},
       311},
      {"flatpak via pulse: the sandbox pid translated to the host",
       {{"application.process.id", "7"}},
       {{"client.api", "pipewire-pulse"}, {"pipewire.access.portal.app_id", "org.example.Player"}},
       500},
      {"flatpak via pulse with no matching host process",
       {{"application.process.id", "8"}},
       {{"client.api", "pipewire-pulse"}, {"pipewire.access.portal.app_id", "org.example.Player"}},
       0},
      {"no pid at all (a network client)", {{"client.api", "pipewire-pulse"}}, {}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(streamOwnerPID(c.node, c.client, fs), c.pid) << c.what;
}

TEST(PipeWireProcessIdentity, BundleIDPrefersFlatpakThenApplicationIDThenSnap) {
  ProcFixture proc;
  proc.process(60, 1, "a", "\t3", "org.example.Flat");
  proc.process(61, 1, "b", "", "", "0::/snap.spotify.spotify-1.scope\n");
  proc.process(62, 1, "c");
  const ProcFs fs(proc.root());
  EXPECT_EQ(bundleID({}, {{"pipewire.access.portal.app_id", "org.portal.App"}}, 62, fs),
            "org.portal.App");
  EXPECT_EQ(bundleID({{"application.id", "org.gnome.Totem"}}, {}, 60, fs), "org.example.Flat");
  EXPECT_EQ(bundleID({{"application.id", "org.gnome.Totem"}}, {{"application.id", "x"}}, 61, fs),
            "org.gnome.Totem");
  EXPECT_EQ(bundleID({}, {{"application.id", "org.client.Id"}}, 61, fs), "org.client.Id");
  EXPECT_EQ(bundleID({}, {}, 61, fs), "spotify");
  EXPECT_EQ(bundleID({}, {}, 62, fs), "");
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

Properties sink(const std::string& name) {
  return {{"node.name", name}, {"media.class", "Audio/Sink"}, {"audio.position", "[ FL FR ]"}};
}

void addStream(Mirror& mirror, uint32_t global, uint32_t client, int pid) {
  mirror.addClient(client, {{"pipewire.sec.pid", std::to_string(pid)}});
  mirror.addNode(global, global + 1000,
                 {{"media.class", "Stream/Output/Audio"}, {"client.id", std::to_string(client)}});
}

TEST(PipeWireIds, AReusedServerIdOrSerialNeverYieldsAnOldId) {
  Mirror mirror;
  mirror.addNode(58, 62, sink("a"));
  const AudioObjectID first = list(mirror, kAudioHardwarePropertyDevices).at(0);
  mirror.remove(58);
  EXPECT_TRUE(list(mirror, kAudioHardwarePropertyDevices).empty());
  mirror.addNode(58, 63, sink("a"));  // the server hands the freed global id out again
  const AudioObjectID second = list(mirror, kAudioHardwarePropertyDevices).at(0);
  EXPECT_NE(second, first);
  mirror.clear();  // a restarted server counts serials from the start again
  mirror.addNode(58, 62, sink("a"));
  const AudioObjectID third = list(mirror, kAudioHardwarePropertyDevices).at(0);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
}

TEST(PipeWireIds, AProcessKeepsItsIdWhileItLivesAndAReusedPidIsANewProcess) {
  ProcFixture proc;
  proc.process(900, 1000);
  Mirror mirror{ProcFs(proc.root())};
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
  Properties node = sink("alsa_output.pci.hdmi-stereo");
  node["device.id"] = "10";
  node["card.profile.device"] = "3";
  mirror.addNode(20, 30, node);
  mirror.setNodeVolume(20, {{1.0f, 1.0f}, false});  // the node's own soft volume
  mirror.setRoute(10, Route{5, 3, "hdmi-output-0", {{0.125f, 0.125f}, true}});
  const AudioObjectID device = list(mirror, kAudioHardwarePropertyDevices).at(0);

  std::vector<uint8_t> bytes;
  ASSERT_EQ(
      mirror.read(device, {kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 0},
                  &bytes),
      0);
  float volume = 0;
  std::memcpy(&volume, bytes.data(), sizeof volume);
  EXPECT_NEAR(volume, 0.5f, 1e-6f);
  ASSERT_EQ(
      mirror.read(device, {kAudioDevicePropertyTransportType, kAudioObjectPropertyScopeGlobal, 0},
                  &bytes),
      0);
  uint32_t transport = 0;
  std::memcpy(&transport, bytes.data(), sizeof transport);
  EXPECT_EQ(transport, uint32_t(kAudioDeviceTransportTypeHDMI));

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
