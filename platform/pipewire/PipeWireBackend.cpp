// Threading: everything named on_* runs on the loop thread ("velmora-pw") with the loop lock
// held; every AudioBackend call takes that lock itself, so the Mirror and the bound proxies are
// only ever touched under it. Writes wait on the loop's condition, which releases the lock while
// the loop thread applies the server's echo.
#include "platform/pipewire/PipeWireBackend.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/raw.h>
#include <spa/param/props.h>
#include <spa/param/route.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/pipewire/Mirror.h"

namespace velmora::platform::pipewire {
namespace {

Properties propertiesOf(const spa_dict* dict) {
  Properties props;
  if (dict == nullptr) return props;
  const spa_dict_item* item;
  spa_dict_for_each(item, dict) props[item->key] = item->value != nullptr ? item->value : "";
  return props;
}

// channelVolumes and mute of a Props object (a node's, or a route's "props").
VolumeState volumeIn(const spa_pod* pod) {
  VolumeState volume;
  if (pod == nullptr || !spa_pod_is_object(pod)) return volume;
  const spa_pod_prop* prop;
  SPA_POD_OBJECT_FOREACH(reinterpret_cast<const spa_pod_object*>(pod), prop) {
    if (prop->key == SPA_PROP_channelVolumes) {
      float gains[SPA_AUDIO_MAX_CHANNELS];
      const uint32_t count =
          spa_pod_copy_array(&prop->value, SPA_TYPE_Float, gains, SPA_AUDIO_MAX_CHANNELS);
      volume.gains.assign(gains, gains + count);
    } else if (prop->key == SPA_PROP_mute) {
      bool mute = false;
      if (spa_pod_get_bool(&prop->value, &mute) == 0) volume.mute = mute;
    }
  }
  return volume;
}

std::optional<Route> routeIn(const spa_pod* pod) {
  if (pod == nullptr || !spa_pod_is_object(pod)) return std::nullopt;
  Route route;
  const spa_pod_prop* prop;
  SPA_POD_OBJECT_FOREACH(reinterpret_cast<const spa_pod_object*>(pod), prop) {
    switch (prop->key) {
      case SPA_PARAM_ROUTE_index:
        spa_pod_get_int(&prop->value, &route.index);
        break;
      case SPA_PARAM_ROUTE_device:
        spa_pod_get_int(&prop->value, &route.device);
        break;
      case SPA_PARAM_ROUTE_name: {
        const char* name = nullptr;
        if (spa_pod_get_string(&prop->value, &name) == 0 && name != nullptr) route.name = name;
        break;
      }
      case SPA_PARAM_ROUTE_props:
        route.volume = volumeIn(&prop->value);
        break;
      default:
        break;
    }
  }
  if (route.index < 0 || route.device < 0) return std::nullopt;
  return route;
}

NodeState stateOf(pw_node_state state) {
  switch (state) {
    case PW_NODE_STATE_ERROR:
      return NodeState::error;
    case PW_NODE_STATE_CREATING:
      return NodeState::creating;
    case PW_NODE_STATE_SUSPENDED:
      return NodeState::suspended;
    case PW_NODE_STATE_IDLE:
      return NodeState::idle;
    case PW_NODE_STATE_RUNNING:
      return NodeState::running;
  }
  return NodeState::error;
}

void addVolumeProps(spa_pod_builder* builder, const VolumeState& state) {
  spa_pod_builder_prop(builder, SPA_PROP_channelVolumes, 0);
  spa_pod_builder_array(builder, sizeof(float), SPA_TYPE_Float, uint32_t(state.gains.size()),
                        state.gains.data());
  if (state.mute) {
    spa_pod_builder_prop(builder, SPA_PROP_mute, 0);
    spa_pod_builder_bool(builder, *state.mute);
  }
}

}  // namespace

struct PipeWireBackend::Connection {
  enum class Kind { node, device, client, metadata };
  struct Bound {
    Connection* connection = nullptr;
    uint32_t global = 0;
    Kind kind = Kind::node;
    pw_proxy* proxy = nullptr;
    spa_hook listener{};
  };

  Options options;
  Mirror mirror;
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_registry* registry = nullptr;
  spa_hook coreListener{};
  spa_hook registryListener{};
  spa_source* retryTimer = nullptr;
  int retryMs = 0;
  std::map<uint32_t, std::unique_ptr<Bound>> bound;
  pw_metadata* defaults = nullptr;
  bool ready = false;
  // The two round trips after connecting, after which the picture is complete.
  int startupSync = -1;
  bool secondSync = false;
  int lastDone = 0;

  explicit Connection(Options chosen)
      : options(std::move(chosen)),
        mirror(ProcFs(options.procRoot)),
        retryMs(options.firstRetryMs) {
    pw_init(nullptr, nullptr);
    loop = pw_thread_loop_new("velmora-pw", nullptr);
    context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
    retryTimer = pw_loop_add_timer(pw_thread_loop_get_loop(loop), &Connection::on_retry, this);
    pw_thread_loop_lock(loop);
    pw_thread_loop_start(loop);
    connect();
    pw_thread_loop_unlock(loop);
  }

  ~Connection() {
    pw_thread_loop_lock(loop);
    pw_loop_destroy_source(pw_thread_loop_get_loop(loop), retryTimer);
    disconnect();
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    pw_context_destroy(context);
    pw_thread_loop_destroy(loop);
  }

  // Loop thread or under the lock.
  void connect() {
    core = pw_context_connect(context, nullptr, 0);
    if (core == nullptr) {
      scheduleRetry();
      return;
    }
    static const pw_core_events coreEvents = [] {
      pw_core_events e{};  // the events we do not handle stay null
      e.version = PW_VERSION_CORE_EVENTS;
      e.done = &Connection::on_done;
      e.error = &Connection::on_error;
      return e;
    }();
    pw_core_add_listener(core, &coreListener, &coreEvents, this);
    registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
    static const pw_registry_events registryEvents = [] {
      pw_registry_events e{};  // the events we do not handle stay null
      e.version = PW_VERSION_REGISTRY_EVENTS;
      e.global = &Connection::on_global;
      e.global_remove = &Connection::on_global_remove;
      return e;
    }();
    pw_registry_add_listener(registry, &registryListener, &registryEvents, this);
    secondSync = false;
    startupSync = pw_core_sync(core, PW_ID_CORE, 0);
  }

  void disconnect() {
    ready = false;
    for (auto& [global, object] : bound) {
      spa_hook_remove(&object->listener);
      pw_proxy_destroy(object->proxy);
    }
    bound.clear();
    defaults = nullptr;
    if (registry != nullptr) {
      spa_hook_remove(&registryListener);
      pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
      registry = nullptr;
    }
    if (core != nullptr) {
      spa_hook_remove(&coreListener);
      pw_core_disconnect(core);
      core = nullptr;
    }
    mirror.clear();
  }

  void scheduleRetry() {
    timespec delay{retryMs / 1000, long(retryMs % 1000) * 1000000L};
    pw_loop_update_timer(pw_thread_loop_get_loop(loop), retryTimer, &delay, nullptr, false);
    retryMs = std::min(retryMs * 2, options.longestRetryMs);
    pw_thread_loop_signal(loop, false);
  }

  // Under the lock, on a calling thread: waits until `done` holds, the connection is lost, or
  // the time is up. The wait releases the lock, so the loop thread keeps applying events.
  template <class Done>
  bool waitFor(Done done, int timeoutMs, bool needReady = true) {
    timespec deadline;
    pw_thread_loop_get_time(loop, &deadline, int64_t(timeoutMs) * SPA_NSEC_PER_MSEC);
    while (!done()) {
      if (needReady && !ready) return false;
      if (pw_thread_loop_timed_wait_full(loop, &deadline) == -ETIMEDOUT) return done();
    }
    return true;
  }

  bool roundTrip(int timeoutMs) {
    if (!ready) return false;
    const int seq = pw_core_sync(core, PW_ID_CORE, 0);
    return waitFor([&] { return lastDone - seq >= 0; }, timeoutMs);
  }

  static void on_retry(void* data, uint64_t) {
    auto* self = static_cast<Connection*>(data);
    self->disconnect();
    self->connect();
  }

  static void on_done(void* data, uint32_t id, int seq) {
    auto* self = static_cast<Connection*>(data);
    if (id != PW_ID_CORE) return;
    self->lastDone = seq;
    if (!self->ready && seq == self->startupSync) {
      if (!self->secondSync) {
        // The globals are in and the binds they caused were sent: one more round trip brings
        // their properties, states and volumes.
        self->secondSync = true;
        self->startupSync = pw_core_sync(self->core, PW_ID_CORE, 0);
      } else {
        self->secondSync = false;
        self->ready = true;
        self->retryMs = self->options.firstRetryMs;
      }
    }
    pw_thread_loop_signal(self->loop, false);
  }

  static void on_error(void* data, uint32_t id, int, int res, const char*) {
    auto* self = static_cast<Connection*>(data);
    if (id != PW_ID_CORE || res != -EPIPE) return;
    // The server is gone. Its objects go now; the proxies are freed by the retry, outside this
    // event of the core they belong to.
    self->ready = false;
    self->secondSync = false;
    self->mirror.clear();
    self->scheduleRetry();
  }

  static void on_global(void* data, uint32_t id, uint32_t, const char* type, uint32_t,
                        const spa_dict* dict) {
    auto* self = static_cast<Connection*>(data);
    const Properties props = propertiesOf(dict);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
      const bool device = deviceDirection(props) != NodeDirection::none;
      if (!device && property(props, "media.class") != "Stream/Output/Audio") return;
      self->mirror.addNode(id, std::strtoull(property(props, "object.serial").c_str(), nullptr, 10),
                           props);
      self->bind(id, type, PW_VERSION_NODE, Kind::node);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Device) == 0) {
      if (property(props, "media.class") != "Audio/Device") return;
      self->mirror.addDevice(id, props);
      self->bind(id, type, PW_VERSION_DEVICE, Kind::device);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Client) == 0) {
      self->mirror.addClient(id, props);
      self->bind(id, type, PW_VERSION_CLIENT, Kind::client);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
      if (property(props, "metadata.name") != "default" || self->defaults != nullptr) return;
      self->bind(id, type, PW_VERSION_METADATA, Kind::metadata);
    }
    pw_thread_loop_signal(self->loop, false);
  }

  static void on_global_remove(void* data, uint32_t id) {
    auto* self = static_cast<Connection*>(data);
    if (const auto found = self->bound.find(id); found != self->bound.end()) {
      if (found->second->kind == Kind::metadata) self->defaults = nullptr;
      spa_hook_remove(&found->second->listener);
      pw_proxy_destroy(found->second->proxy);
      self->bound.erase(found);
    }
    self->mirror.remove(id);
    pw_thread_loop_signal(self->loop, false);
  }

  void bind(uint32_t id, const char* type, uint32_t version, Kind kind) {
    auto object = std::make_unique<Bound>();
    object->connection = this;
    object->global = id;
    object->kind = kind;
    object->proxy = static_cast<pw_proxy*>(pw_registry_bind(registry, id, type, version, 0));
    if (object->proxy == nullptr) return;
    switch (kind) {
      case Kind::node: {
        static const pw_node_events events = [] {
          pw_node_events e{};  // the events we do not handle stay null
          e.version = PW_VERSION_NODE_EVENTS;
          e.info = &on_node_info;
          e.param = &on_node_param;
          return e;
        }();
        auto* node = reinterpret_cast<pw_node*>(object->proxy);
        pw_node_add_listener(node, &object->listener, &events, object.get());
        if (mirror.isDeviceNode(id)) {
          uint32_t params[] = {SPA_PARAM_Props};
          pw_node_subscribe_params(node, params, 1);
        }
        break;
      }
      case Kind::device: {
        static const pw_device_events events = [] {
          pw_device_events e{};  // the events we do not handle stay null
          e.version = PW_VERSION_DEVICE_EVENTS;
          e.info = &on_device_info;
          e.param = &on_device_param;
          return e;
        }();
        auto* device = reinterpret_cast<pw_device*>(object->proxy);
        pw_device_add_listener(device, &object->listener, &events, object.get());
        uint32_t params[] = {SPA_PARAM_Route};
        pw_device_subscribe_params(device, params, 1);
        break;
      }
      case Kind::client: {
        static const pw_client_events events = [] {
          pw_client_events e{};  // the events we do not handle stay null
          e.version = PW_VERSION_CLIENT_EVENTS;
          e.info = &on_client_info;
          return e;
        }();
        pw_client_add_listener(reinterpret_cast<pw_client*>(object->proxy), &object->listener,
                               &events, object.get());
        break;
      }
      case Kind::metadata: {
        static const pw_metadata_events events = [] {
          pw_metadata_events e{};  // the events we do not handle stay null
          e.version = PW_VERSION_METADATA_EVENTS;
          e.property = &on_metadata_property;
          return e;
        }();
        defaults = reinterpret_cast<pw_metadata*>(object->proxy);
        pw_metadata_add_listener(defaults, &object->listener, &events, object.get());
        break;
      }
    }
    bound[id] = std::move(object);
  }

  static void on_node_info(void* data, const pw_node_info* info) {
    auto* object = static_cast<Bound*>(data);
    Connection* self = object->connection;
    if (info->change_mask & PW_NODE_CHANGE_MASK_PROPS)
      self->mirror.setNodeProperties(object->global, propertiesOf(info->props));
    if (info->change_mask & PW_NODE_CHANGE_MASK_STATE)
      self->mirror.setNodeState(object->global, stateOf(info->state));
    pw_thread_loop_signal(self->loop, false);
  }

  static void on_node_param(void* data, int, uint32_t id, uint32_t, uint32_t,
                            const spa_pod* param) {
    auto* object = static_cast<Bound*>(data);
    if (id != SPA_PARAM_Props) return;
    object->connection->mirror.setNodeVolume(object->global, volumeIn(param));
    pw_thread_loop_signal(object->connection->loop, false);
  }

  static void on_device_info(void* data, const pw_device_info* info) {
    auto* object = static_cast<Bound*>(data);
    if (info->change_mask & PW_DEVICE_CHANGE_MASK_PROPS)
      object->connection->mirror.addDevice(object->global, propertiesOf(info->props));
    pw_thread_loop_signal(object->connection->loop, false);
  }

  static void on_device_param(void* data, int, uint32_t id, uint32_t, uint32_t,
                              const spa_pod* param) {
    auto* object = static_cast<Bound*>(data);
    if (id != SPA_PARAM_Route) return;
    if (const auto route = routeIn(param))
      object->connection->mirror.setRoute(object->global, *route);
    pw_thread_loop_signal(object->connection->loop, false);
  }

  static void on_client_info(void* data, const pw_client_info* info) {
    auto* object = static_cast<Bound*>(data);
    if (info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS)
      object->connection->mirror.addClient(object->global, propertiesOf(info->props));
    pw_thread_loop_signal(object->connection->loop, false);
  }

  static int on_metadata_property(void* data, uint32_t subject, const char* key, const char*,
                                  const char* value) {
    auto* object = static_cast<Bound*>(data);
    if (subject == PW_ID_CORE && key != nullptr)
      object->connection->mirror.setDefault(key, value != nullptr ? value : "");
    pw_thread_loop_signal(object->connection->loop, false);
    return 0;
  }

  // Under the lock.
  OSStatus send(const VolumeWrite& write) {
    const auto target = bound.find(write.global);
    if (target == bound.end()) return kAudioHardwareBadObjectError;
    uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_pod_frame outer, inner;
    if (write.route) {
      spa_pod_builder_push_object(&builder, &outer, SPA_TYPE_OBJECT_ParamRoute, SPA_PARAM_Route);
      spa_pod_builder_prop(&builder, SPA_PARAM_ROUTE_index, 0);
      spa_pod_builder_int(&builder, write.routeIndex);
      spa_pod_builder_prop(&builder, SPA_PARAM_ROUTE_device, 0);
      spa_pod_builder_int(&builder, write.routeDevice);
      spa_pod_builder_prop(&builder, SPA_PARAM_ROUTE_props, 0);
      spa_pod_builder_push_object(&builder, &inner, SPA_TYPE_OBJECT_Props, SPA_PARAM_Route);
      addVolumeProps(&builder, write.state);
      spa_pod_builder_pop(&builder, &inner);
      // Saved, as the desktop's own settings save a route's volume per port.
      spa_pod_builder_prop(&builder, SPA_PARAM_ROUTE_save, 0);
      spa_pod_builder_bool(&builder, true);
      auto* pod = static_cast<spa_pod*>(spa_pod_builder_pop(&builder, &outer));
      pw_device_set_param(reinterpret_cast<pw_device*>(target->second->proxy), SPA_PARAM_Route, 0,
                          pod);
    } else {
      spa_pod_builder_push_object(&builder, &outer, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
      addVolumeProps(&builder, write.state);
      auto* pod = static_cast<spa_pod*>(spa_pod_builder_pop(&builder, &outer));
      pw_node_set_param(reinterpret_cast<pw_node*>(target->second->proxy), SPA_PARAM_Props, 0, pod);
    }
    return waitFor([&] { return mirror.isVisible(write); }, kWriteTimeoutMs)
               ? kAudioHardwareNoError
               : (ready ? kAudioHardwareUnspecifiedError : kAudioHardwareNotRunningError);
  }

  OSStatus send(const DefaultWrite& write) {
    // Without the session manager nobody turns the configured default into the effective one.
    if (defaults == nullptr) return kAudioHardwareNotRunningError;
    const std::string value = "{ \"name\": \"" + write.name + "\" }";
    pw_metadata_set_property(defaults, PW_ID_CORE, write.key.c_str(), "Spa:String:JSON",
                             value.c_str());
    return waitFor([&] { return mirror.isVisible(write); }, kWriteTimeoutMs)
               ? kAudioHardwareNoError
               : (ready ? kAudioHardwareUnspecifiedError : kAudioHardwareNotRunningError);
  }
};

namespace {

// The loop lock for one backend call.
class Locked {
 public:
  explicit Locked(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
  ~Locked() { pw_thread_loop_unlock(loop_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  pw_thread_loop* loop_;
};

bool isList(AudioObjectPropertySelector selector) {
  return selector == kAudioHardwarePropertyDevices ||
         selector == kAudioHardwarePropertyProcessObjectList ||
         selector == kAudioDevicePropertyStreams;
}

}  // namespace

PipeWireBackend::PipeWireBackend() : PipeWireBackend(Options()) {}

PipeWireBackend::PipeWireBackend(Options options)
    : connection_(std::make_unique<Connection>(std::move(options))) {}

PipeWireBackend::~PipeWireBackend() = default;

bool PipeWireBackend::connected() const {
  Locked lock(connection_->loop);
  return connection_->ready;
}

bool PipeWireBackend::waitUntilConnected(int timeoutMs) {
  Locked lock(connection_->loop);
  return connection_->waitFor([&] { return connection_->ready; }, timeoutMs, false);
}

bool PipeWireBackend::sync(int timeoutMs) {
  Locked lock(connection_->loop);
  return connection_->roundTrip(timeoutMs);
}

uint32_t PipeWireBackend::serverID(AudioObjectID device) const {
  Locked lock(connection_->loop);
  return connection_->mirror.globalOfDevice(device);
}

bool PipeWireBackend::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
  Locked lock(connection_->loop);
  return connection_->ready && connection_->mirror.hasProperty(object, address);
}

OSStatus PipeWireBackend::isPropertySettable(AudioObjectID object,
                                             const AudioObjectPropertyAddress& address,
                                             bool* settable) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  return connection_->mirror.isPropertySettable(object, address, settable);
}

OSStatus PipeWireBackend::getPropertyDataSize(AudioObjectID object,
                                              const AudioObjectPropertyAddress& address,
                                              uint32_t* size) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  std::vector<uint8_t> bytes;
  const OSStatus status = connection_->mirror.read(object, address, &bytes);
  if (status == kAudioHardwareNoError) *size = uint32_t(bytes.size());
  return status;
}

OSStatus PipeWireBackend::getPropertyData(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address, uint32_t* size,
                                          void* data) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  std::vector<uint8_t> bytes;
  const OSStatus status = connection_->mirror.read(object, address, &bytes);
  if (status != kAudioHardwareNoError) return status;
  if (*size < bytes.size()) {
    // Lists hand out what fits; a fixed-size value that does not fit is refused.
    if (!isList(address.selector)) return kAudioHardwareBadPropertySizeError;
    bytes.resize(*size / sizeof(AudioObjectID) * sizeof(AudioObjectID));
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = uint32_t(bytes.size());
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::setPropertyData(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address, uint32_t,
                                          const void*, uint32_t dataSize, const void* data) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  std::optional<VolumeWrite> volume;
  std::optional<DefaultWrite> defaults;
  const OSStatus status =
      connection_->mirror.planWrite(object, address, dataSize, data, &volume, &defaults);
  if (status != kAudioHardwareNoError) return status;
  return volume ? connection_->send(*volume) : connection_->send(*defaults);
}

OSStatus PipeWireBackend::getPropertyString(AudioObjectID object,
                                            const AudioObjectPropertyAddress& address,
                                            std::string* value) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  return connection_->mirror.readString(object, address, value);
}

OSStatus PipeWireBackend::getPropertyStrings(AudioObjectID object,
                                             const AudioObjectPropertyAddress& address,
                                             std::vector<std::string>*) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  // The only list of text is an aggregate's sub-devices, and no aggregates exist here yet.
  std::vector<uint8_t> ignored;
  const OSStatus status = connection_->mirror.read(object, address, &ignored);
  return status == kAudioHardwareBadObjectError ? status : kAudioHardwareUnknownPropertyError;
}

// Per-application processing comes with the capture and playback streams of its own; until
// then the calls refuse, and the program shows its failure text instead of processing.
OSStatus PipeWireBackend::createProcessTap(const TapDescription&, AudioObjectID*) {
  return connected() ? kAudioHardwareIllegalOperationError : kAudioHardwareNotRunningError;
}
OSStatus PipeWireBackend::destroyProcessTap(AudioObjectID) { return kAudioHardwareBadObjectError; }
OSStatus PipeWireBackend::createAggregateDevice(const AggregateDeviceDescription&, AudioObjectID*) {
  return connected() ? kAudioHardwareIllegalOperationError : kAudioHardwareNotRunningError;
}
OSStatus PipeWireBackend::destroyAggregateDevice(AudioObjectID) {
  return kAudioHardwareBadObjectError;
}
OSStatus PipeWireBackend::createIOProcID(AudioObjectID, AudioDeviceIOProc, void*,
                                         AudioDeviceIOProcID*) {
  return kAudioHardwareIllegalOperationError;
}
OSStatus PipeWireBackend::destroyIOProcID(AudioObjectID, AudioDeviceIOProcID) {
  return kAudioHardwareBadObjectError;
}
OSStatus PipeWireBackend::startDevice(AudioObjectID, AudioDeviceIOProcID) {
  return kAudioHardwareIllegalOperationError;
}
OSStatus PipeWireBackend::stopDevice(AudioObjectID, AudioDeviceIOProcID) {
  return kAudioHardwareBadObjectError;
}

std::optional<std::string> PipeWireBackend::processPath(int32_t pid) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return std::nullopt;
  return connection_->mirror.processPath(pid);
}

std::map<int32_t, AudioClientApplication> PipeWireBackend::clientApplications() {
  Locked lock(connection_->loop);
  if (!connection_->ready) return {};
  return connection_->mirror.clientApplications();
}

}  // namespace velmora::platform::pipewire
