// A stand-in BlueZ daemon for tests: a private bus and python3-dbusmock's bluez5 template on it,
// both started and stopped by the test, driven with gdbus. The template's Connect does not set
// the Connected property; tests set it as the real daemon would.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/ChildProcess.h"

namespace velmora::test {

inline std::string commandOutput(const std::string& command) {
  std::string text;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  ::pclose(pipe);
  return text;
}

// "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01" for "aa:bb:cc:dd:ee:01".
inline std::string bluezDevicePath(std::string address) {
  for (char& c : address) c = c == ':' ? '_' : char(std::toupper(static_cast<unsigned char>(c)));
  return "/org/bluez/hci0/dev_" + address;
}

// A 16-bit service class as the daemon's full UUID, quoted for gdbus.
inline std::string bluezUUID(const char* shortClass) {
  return std::string("'0000") + shortClass + "-0000-1000-8000-00805f9b34fb'";
}

class BluezStandIn {
 public:
  // Why the stand-in cannot run here ("" when it can).
  static std::string unavailableReason() {
    if (commandOutput("/usr/bin/python3 -c 'import dbusmock' && echo yes").find("yes") ==
        std::string::npos)
      return "python3-dbusmock missing";
    for (const char* tool : {"dbus-daemon", "gdbus"}) {
      if (commandOutput(std::string("command -v ") + tool).empty())
        return std::string(tool) + " missing";
    }
    return {};
  }

  // Starts the bus and points this process's (and its children's) system bus at it.
  bool startBus() {
    bus_ = dbus_.startAndReadLine({"dbus-daemon", "--session", "--nofork"}, "--print-address=");
    // No other thread reads the environment meanwhile.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    return !bus_.empty();
  }
  bool startDaemon() {
    return daemon_.start(
               {"/usr/bin/python3", "-m", "dbusmock", "--template", "bluez5", "-l", "/dev/null"}) &&
           eventually([&] { return call("/", "org.freedesktop.DBus.Peer.Ping").empty(); });
  }
  ~BluezStandIn() {
    daemon_.stop();
    dbus_.stop();
  }

  const std::string& bus() const { return bus_; }

  // The reply of a method call, "" for an empty reply.
  std::string call(const std::string& path, const std::string& method,
                   const std::string& arguments = "") {
    const std::string reply = commandOutput("gdbus call --system -d org.bluez -o " + path + " -m " +
                                            method + " " + arguments);
    return reply == "()\n" ? std::string() : reply;
  }
  void set(const std::string& path, const std::string& interface, const std::string& name,
           const std::string& value) {
    EXPECT_EQ(call(path, "org.freedesktop.DBus.Properties.Set",
                   interface + " " + name + " \"" + value + "\""),
              "")
        << path << " " << name;
  }
  void addAdapter() { call("/org/bluez", "org.bluez.Mock.AddAdapter", "hci0 velmora-test"); }
  // A device the adapter has seen, with its service UUIDs (comma-separated, from bluezUUID) and
  // its class of device; paired unless told otherwise.
  void addDevice(const std::string& address, const std::string& name, const std::string& uuids,
                 uint32_t deviceClass, bool paired = true) {
    call("/org/bluez", "org.bluez.Mock.AddDevice", "hci0 " + address + " '" + name + "'");
    if (paired) call("/org/bluez", "org.bluez.Mock.PairDevice", "hci0 " + address + " 0");
    set(bluezDevicePath(address), "org.bluez.Device1", "UUIDs", "<[" + uuids + "]>");
    set(bluezDevicePath(address), "org.bluez.Device1", "Class",
        "<uint32 " + std::to_string(deviceClass) + ">");
  }
  void setConnected(const std::string& address, bool connected) {
    set(bluezDevicePath(address), "org.bluez.Device1", "Connected",
        connected ? "<true>" : "<false>");
  }

 private:
  std::string bus_;
  ChildProcess dbus_, daemon_;
};

// Skips the calling test without the stand-in, or fails when VELMORA_REQUIRE_INTEGRATION=1.
#define VELMORA_REQUIRE_BLUEZ_STAND_IN()                                           \
  do {                                                                             \
    const std::string reason = ::velmora::test::BluezStandIn::unavailableReason(); \
    if (!reason.empty()) {                                                         \
      const char* required = std::getenv("VELMORA_REQUIRE_INTEGRATION");           \
      if (required != nullptr && std::string(required) == "1") FAIL() << reason;   \
      GTEST_SKIP() << reason;                                                      \
    }                                                                              \
  } while (0)

}  // namespace velmora::test
