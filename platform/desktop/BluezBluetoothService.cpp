#include "platform/desktop/BluezBluetoothService.h"

#include <gio/gio.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string_view>

namespace velmora::platform {
namespace {

constexpr const char* kService = "org.bluez";
constexpr const char* kDeviceInterface = "org.bluez.Device1";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kSystemBus = "unix:path=/var/run/dbus/system_bus_socket";
// Listing the devices is a local table read in the daemon; a daemon that hangs must not hold the
// scan for long.
constexpr int kListTimeoutMs = 5000;
// The status of a page to a device the stack does not know (shared with the simulated stack).
constexpr int32_t kStatusNotFound = -536870208;
// Bluetooth's base UUID: a 16-bit service class sits in the first group, "0000xxxx".
constexpr std::string_view kBaseUUIDTail = "-0000-1000-8000-00805f9b34fb";

struct VariantDeleter {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using Variant = std::unique_ptr<GVariant, VariantDeleter>;

struct ErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorDeleter>;

// `format` is "&s" for a string, "&o" for an object path.
std::optional<std::string> stringProperty(GVariant* properties, const char* name,
                                          const char* format = "&s") {
  const char* value = nullptr;
  if (!g_variant_lookup(properties, name, format, &value)) return std::nullopt;
  return std::string(value);
}

bool boolProperty(GVariant* properties, const char* name) {
  gboolean value = FALSE;
  return g_variant_lookup(properties, name, "b", &value) && value;
}

std::optional<uint16_t> shortServiceClass(std::string_view uuid) {
  if (uuid.size() != 36 || !uuid.starts_with("0000")) return std::nullopt;
  if (g_ascii_strcasecmp(std::string(uuid.substr(8)).c_str(), std::string(kBaseUUIDTail).c_str()))
    return std::nullopt;
  const std::string digits(uuid.substr(4, 4));
  char* end = nullptr;
  const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
  if (end != digits.c_str() + 4) return std::nullopt;
  return uint16_t(value);
}

PairedBluetoothDevice record(GVariant* properties) {
  PairedBluetoothDevice device;
  device.address = stringProperty(properties, "Address");
  // Alias is the user's name for the device, or its own name; without either the daemon makes
  // one from the address, which is no name.
  device.name = stringProperty(properties, "Alias");
  if (device.name && device.address) {
    std::string fromAddress = *device.address;
    for (char& c : fromAddress) c = c == ':' ? '-' : c;
    if (g_ascii_strcasecmp(device.name->c_str(), fromAddress.c_str()) == 0) device.name.reset();
  }
  if (!device.name) device.name = stringProperty(properties, "Name");
  const char* uuid = nullptr;
  GVariantIter* uuids = nullptr;
  if (g_variant_lookup(properties, "UUIDs", "as", &uuids)) {
    while (g_variant_iter_next(uuids, "&s", &uuid)) {
      if (const auto service = shortServiceClass(uuid)) device.services.push_back(*service);
    }
    g_variant_iter_free(uuids);
  }
  guint32 deviceClass = 0;
  if (g_variant_lookup(properties, "Class", "u", &deviceClass)) {
    device.majorDeviceClass = (deviceClass >> 8) & 0x1F;
  }
  device.connected = boolProperty(properties, "Connected");
  return device;
}

}  // namespace

struct BluezBluetoothService::Bus {
  explicit Bus(GDBusConnection* c) : connection(c) {}
  ~Bus() { g_object_unref(connection); }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;
  GDBusConnection* connection;
};

struct BluezBluetoothService::Found {
  std::string path;
  PairedBluetoothDevice device;
};

BluezBluetoothService::BluezBluetoothService(std::string busAddress, int pageTimeoutMs)
    : address_(std::move(busAddress)), pageTimeoutMs_(pageTimeoutMs) {
  if (address_.empty()) {
    const char* system = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    address_ = system != nullptr && *system != '\0' ? system : kSystemBus;
  }
}

BluezBluetoothService::~BluezBluetoothService() = default;

std::shared_ptr<BluezBluetoothService::Bus> BluezBluetoothService::bus() {
  std::lock_guard lock(mutex_);
  if (bus_ && !g_dbus_connection_is_closed(bus_->connection)) return bus_;
  bus_.reset();
  // A connection of our own: the shared system-bus singleton ends the process when the bus goes.
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address_.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (connection != nullptr) bus_ = std::make_shared<Bus>(connection);
  return bus_;
}

std::vector<BluezBluetoothService::Found> BluezBluetoothService::scan(int timeoutMs) {
  const std::shared_ptr<Bus> connection = bus();
  if (!connection) return {};
  const Variant reply(g_dbus_connection_call_sync(
      connection->connection, kService, "/", "org.freedesktop.DBus.ObjectManager",
      "GetManagedObjects", nullptr, G_VARIANT_TYPE("(a{oa{sa{sv}}})"), G_DBUS_CALL_FLAGS_NONE,
      timeoutMs, nullptr, nullptr));
  if (!reply) return {};  // no daemon: no devices, and nothing to tell the user

  const Variant objects(g_variant_get_child_value(reply.get(), 0));
  std::map<std::string, bool> poweredAdapters;
  GVariantIter iter;
  const char* path = nullptr;
  GVariant* interfaces = nullptr;
  g_variant_iter_init(&iter, objects.get());
  while (g_variant_iter_next(&iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
    const Variant owned(interfaces);
    if (const Variant adapter{g_variant_lookup_value(interfaces, kAdapterInterface, nullptr)}) {
      poweredAdapters[path] = boolProperty(adapter.get(), "Powered");
    }
  }
  std::vector<Found> found;
  g_variant_iter_init(&iter, objects.get());
  while (g_variant_iter_next(&iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
    const Variant owned(interfaces);
    const Variant device{g_variant_lookup_value(interfaces, kDeviceInterface, nullptr)};
    if (!device || !boolProperty(device.get(), "Paired")) continue;
    const auto adapterPath = stringProperty(device.get(), "Adapter", "&o");
    if (!adapterPath) continue;
    const auto adapter = poweredAdapters.find(*adapterPath);
    if (adapter == poweredAdapters.end() || !adapter->second) continue;  // the stack is off
    found.push_back(Found{path, record(device.get())});
  }
  return found;
}

std::vector<PairedBluetoothDevice> BluezBluetoothService::pairedDevices() {
  std::vector<PairedBluetoothDevice> devices;
  for (Found& entry : scan(kListTimeoutMs)) devices.push_back(std::move(entry.device));
  return devices;
}

std::optional<PairedBluetoothDevice> BluezBluetoothService::pairedDevice(
    const std::string& address) {
  const std::string wanted = comparableBluetoothAddress(address);
  for (Found& entry : scan(kListTimeoutMs)) {
    if (entry.device.address && comparableBluetoothAddress(*entry.device.address) == wanted)
      return std::move(entry.device);
  }
  return std::nullopt;
}

int32_t BluezBluetoothService::connect(const std::string& address) {
  const std::string wanted = comparableBluetoothAddress(address);
  // Finding the device and paging it share the page time-out.
  const auto start = std::chrono::steady_clock::now();
  std::string path;
  for (const Found& entry : scan(pageTimeoutMs_)) {
    if (entry.device.address && comparableBluetoothAddress(*entry.device.address) == wanted)
      path = entry.path;
  }
  const std::shared_ptr<Bus> connection = bus();
  if (path.empty() || !connection) return kStatusNotFound;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
  if (spent >= pageTimeoutMs_) return kBluetoothStatusPageTimeout;
  GError* raw = nullptr;
  const Variant reply(g_dbus_connection_call_sync(
      connection->connection, kService, path.c_str(), kDeviceInterface, "Connect", nullptr, nullptr,
      G_DBUS_CALL_FLAGS_NONE, int(pageTimeoutMs_ - spent), nullptr, &raw));
  const Error error(raw);
  if (reply) return 0;
  if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
    return kBluetoothStatusPageTimeout;
  char* name = g_dbus_error_get_remote_error(error.get());
  const std::string errorName = name != nullptr ? name : "";
  g_free(name);
  if (errorName == "org.bluez.Error.AlreadyConnected") return 0;
  // The daemon words a page time-out "br-connection-page-timeout", "Page Timeout" or, from the
  // kernel's errno, "Host is down".
  char* lower = g_ascii_strdown(error->message != nullptr ? error->message : "", -1);
  const std::string message = lower;
  g_free(lower);
  if (errorName == "org.freedesktop.DBus.Error.NoReply" ||
      message.find("page-timeout") != std::string::npos ||
      message.find("page timeout") != std::string::npos ||
      message.find("host is down") != std::string::npos) {
    return kBluetoothStatusPageTimeout;
  }
  if (errorName == "org.bluez.Error.DoesNotExist" ||
      errorName == "org.freedesktop.DBus.Error.UnknownObject") {
    return kStatusNotFound;
  }
  return kBluetoothStatusFailed;
}

}  // namespace velmora::platform
