// A stand-in BlueZ daemon: a private bus and python3-dbusmock's bluez5 template on it, started and
// stopped by the test, driven with gdbus. The template's Connect leaves the Connected property
// alone; tests set it as the real daemon would. Both end with the test, even one that aborts
// (a sanitizer's report): children left behind would hold the test's output open.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/ChildProcess.h"

#define VELMORA_REQUIRE_BLUEZ_STAND_IN() \
  VELMORA_REQUIRE_TOOLS(                 \
      "command -v dbus-daemon && command -v gdbus && /usr/bin/python3 -c 'import dbusmock'")

namespace velmora::test {

class BluezStandIn {
 public:
  // Starts the bus and points this process's (and its children's) system bus at it.
  bool startBus() {
    bus_ = dbus_.startAndReadLine(
        {"setpriv", "--pdeathsig", "TERM", "dbus-daemon", "--session", "--nofork"},
        "--print-address=");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    return !bus_.empty();
  }
  // The daemon with adapter hci0 unless `adapter` is false.
  bool startDaemon(bool adapter = true) {
    if (!daemon_.start({"setpriv", "--pdeathsig", "TERM", "/usr/bin/python3", "-m", "dbusmock",
                        "--template", "bluez5", "-l", "/dev/null"}) ||
        !eventually([&] { return call("/", "org.freedesktop.DBus.Peer.Ping").empty(); }))
      return false;
    if (adapter) call("/org/bluez", "org.bluez.Mock.AddAdapter", "hci0 velmora-test");
    return true;
  }
  const std::string& bus() const { return bus_; }

  // The reply of a method call, "" for an empty one.
  std::string call(const std::string& path, const std::string& method,
                   const std::string& arguments = "") {
    const std::string reply = commandOutput("gdbus call --system -d org.bluez -o " + path + " -m " +
                                            method + " " + arguments + " 2>&1");
    return reply == "()\n" ? std::string() : reply;
  }
  // Sets a property of org.bluez.Device1 ("Adapter1" for the adapter's) from gdbus's text form.
  void set(const std::string& address, const std::string& name, const std::string& value) {
    std::string path = "/org/bluez/hci0";
    if (!address.empty()) {
      path += "/dev_" + address;
      for (char& c : path) c = c == ':' ? '_' : c;
    }
    const std::string interface = address.empty() ? "org.bluez.Adapter1" : "org.bluez.Device1";
    EXPECT_EQ(call(path, "org.freedesktop.DBus.Properties.Set",
                   interface + " " + name + " \"" + value + "\""),
              "")
        << path << " " << name;
  }
  // A device with its 16-bit service classes ("110b,111e") and class of device; paired unless
  // told otherwise.
  void addDevice(const std::string& address, const std::string& name, const std::string& services,
                 uint32_t deviceClass, bool paired = true) {
    call("/org/bluez", "org.bluez.Mock.AddDevice", "hci0 " + address + " '" + name + "'");
    if (paired) call("/org/bluez", "org.bluez.Mock.PairDevice", "hci0 " + address + " 0");
    std::string uuids;
    for (size_t at = 0; at < services.size(); at += 5)
      uuids += (at ? ",'0000" : "'0000") + services.substr(at, 4) + "-0000-1000-8000-00805f9b34fb'";
    set(address, "UUIDs", "<[" + uuids + "]>");
    set(address, "Class", "<uint32 " + std::to_string(deviceClass) + ">");
  }

 private:
  std::string bus_;
  ChildProcess dbus_, daemon_;  // ended in reverse: the daemon first
};

}  // namespace velmora::test
