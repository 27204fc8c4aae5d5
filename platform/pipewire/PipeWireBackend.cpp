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
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/pipewire/AggregateStreams.h"
#include "platform/pipewire/Mirror.h"
#include "platform/pipewire/PropertyBytes.h"

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

constexpr uint32_t kTapChannels = 2;
// How long a start waits for the capture node and then for the applications to be moved in. Only
// a busy server or session manager takes this long; refusals are known before the wait.
constexpr int kStartTimeoutMs = 5000;
// Written next to our target on every moved stream, so that whoever starts next can undo what a
// killed program left behind: {"owner": pid, "started": start time, "serial": our capture,
// "prev": {"target.object": {"type": ..., "value": ...}, "target.node": ...}}.
constexpr const char* kMarkerKey = "com.local.Ombrel.tap";
constexpr const char* kTargetObject = "target.object";
constexpr const char* kTargetNode = "target.node";

std::vector<uint8_t> bufferList(const std::vector<uint32_t>& channels) {
  std::vector<uint8_t> bytes(AudioBufferListSize(uint32_t(channels.size())), 0);
  auto* list = reinterpret_cast<AudioBufferList*>(bytes.data());
  list->numberBuffers = uint32_t(channels.size());
  for (size_t i = 0; i < channels.size(); ++i) list->buffers[i] = {channels[i], 0, nullptr};
  return bytes;
}

uint64_t number(const char* text) { return std::strtoull(text, nullptr, 10); }

}  // namespace

struct PipeWireBackend::Connection {
  // One default-metadata entry on a node.
  struct Entry {
    std::string type;
    std::string value;
    bool operator==(const Entry&) const = default;
  };
  // What a moved stream's metadata held before we moved it.
  struct Saved {
    std::optional<Entry> object;
    std::optional<Entry> node;
  };
  struct Tap {
    std::vector<AudioObjectID> processes;
    std::string uid;
  };
  struct Aggregate {
    std::string uid;
    std::string name;
    std::vector<AudioObjectID> processes;
    std::vector<std::string> members;  // the sub-devices found at creation, in order
    std::vector<uint32_t> channels;
    std::vector<AudioObjectID> outputStreams;
    AudioObjectID inputStream = 0;
    std::unique_ptr<AggregateStreams> streams;
    AudioDeviceIOProcID proc = nullptr;
    bool started = false;
    std::string captureSerial;
    std::map<uint32_t, Saved> moved;  // stream node -> what to put back
  };

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
  ProcFs proc;
  // Every node's serial and every link, which processing waits on.
  std::map<uint32_t, uint64_t> serials;
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> links;  // link -> (output node, input node)
  std::map<std::pair<uint32_t, std::string>, Entry> nodeMetadata;
  std::map<AudioObjectID, Tap> taps;
  std::map<AudioObjectID, Aggregate> aggregates;
  uintptr_t lastProc = 0;
  int tapCounter = 0;

  explicit Connection(Options chosen)
      : options(std::move(chosen)),
        mirror(ProcFs(options.procRoot)),
        retryMs(options.firstRetryMs),
        proc(options.procRoot) {
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
    // Applications still moved into us go back before we leave.
    bool restored = false;
    for (auto& [id, aggregate] : aggregates) {
      if (!aggregate.started) continue;
      stop(aggregate);
      restored = true;
    }
    if (restored) roundTrip(kWriteTimeoutMs);
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
    // Our streams belong to the core: they go first. The server gives their applications back.
    for (auto& [id, aggregate] : aggregates) {
      aggregate.streams.reset();
      aggregate.started = false;
      aggregate.moved.clear();
    }
    serials.clear();
    links.clear();
    nodeMetadata.clear();
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
        self->cleanUpAfterOthers();
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
      const uint64_t serial = number(property(props, "object.serial").c_str());
      self->serials[id] = serial;
      pw_thread_loop_signal(self->loop, false);
      // Processing streams, ours or another instance's, are neither devices nor applications.
      if (property(props, "node.name").starts_with(kAggregateNodePrefix)) return;
      const bool device = deviceDirection(props) != NodeDirection::none;
      if (!device && property(props, "media.class") != "Stream/Output/Audio") return;
      self->mirror.addNode(id, serial, props);
      self->bind(id, type, PW_VERSION_NODE, Kind::node);
      self->followTappedStreams();
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Link) == 0) {
      self->links[id] = {uint32_t(number(property(props, "link.output.node").c_str())),
                         uint32_t(number(property(props, "link.input.node").c_str()))};
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Device) == 0) {
      if (property(props, "media.class") != "Audio/Device") return;
      self->mirror.addDevice(id, props);
      self->bind(id, type, PW_VERSION_DEVICE, Kind::device);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Client) == 0) {
      self->mirror.addClient(id, props);
      self->bind(id, type, PW_VERSION_CLIENT, Kind::client);
      self->followTappedStreams();
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
    self->links.erase(id);
    if (self->serials.erase(id) > 0) {
      // The server hands this id to the next object at once: nothing of the old node may stay.
      for (auto& [aggregateID, aggregate] : self->aggregates) aggregate.moved.erase(id);
      std::erase_if(self->nodeMetadata,
                    [id](const auto& entry) { return entry.first.first == id; });
    }
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
    if (info->change_mask & PW_NODE_CHANGE_MASK_PROPS) {
      self->mirror.setNodeProperties(object->global, propertiesOf(info->props));
      self->followTappedStreams();
    }
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
    if (info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS) {
      object->connection->mirror.addClient(object->global, propertiesOf(info->props));
      object->connection->followTappedStreams();
    }
    pw_thread_loop_signal(object->connection->loop, false);
  }

  static int on_metadata_property(void* data, uint32_t subject, const char* key, const char* type,
                                  const char* value) {
    auto* object = static_cast<Bound*>(data);
    Connection* self = object->connection;
    if (subject == PW_ID_CORE && key != nullptr) {
      self->mirror.setDefault(key, value != nullptr ? value : "");
    } else if (key == nullptr) {
      std::erase_if(self->nodeMetadata,
                    [subject](const auto& entry) { return entry.first.first == subject; });
    } else if (value == nullptr) {
      self->nodeMetadata.erase({subject, key});
    } else {
      self->nodeMetadata[{subject, key}] = Entry{type != nullptr ? type : "", value};
    }
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

  // Processing. Everything below runs under the lock, on a calling thread or the loop thread.

  std::optional<Entry> entry(uint32_t node, const char* key) const {
    const auto found = nodeMetadata.find({node, key});
    if (found == nodeMetadata.end()) return std::nullopt;
    return found->second;
  }

  void setEntry(uint32_t node, const char* key, const std::optional<Entry>& value) {
    if (defaults == nullptr) return;
    pw_metadata_set_property(defaults, node, key, value ? value->type.c_str() : nullptr,
                             value ? value->value.c_str() : nullptr);
  }

  bool linked(uint32_t from, uint32_t to) const {
    return std::any_of(links.begin(), links.end(), [&](const auto& link) {
      return link.second.first == from && (to == SPA_ID_INVALID || link.second.second == to);
    });
  }

  // Every playback stream of the aggregate is linked to its device.
  bool outputsLinked(const Aggregate& aggregate) const {
    if (!aggregate.streams) return false;
    for (size_t i = 0; i < aggregate.streams->outputCount(); ++i) {
      const uint32_t node = aggregate.streams->outputNode(i);
      if (node == SPA_ID_INVALID || !linked(node, SPA_ID_INVALID)) return false;
    }
    return true;
  }

  static nlohmann::json entryJSON(const std::optional<Entry>& entry) {
    if (!entry) return nullptr;
    return {{"type", entry->type}, {"value", entry->value}};
  }
  static std::optional<Entry> entryFromJSON(const nlohmann::json& json) {
    if (!json.is_object() || !json.contains("type") || !json.contains("value") ||
        !json["type"].is_string() || !json["value"].is_string())
      return std::nullopt;
    return Entry{json["type"].get<std::string>(), json["value"].get<std::string>()};
  }

  // Moves one stream into the started aggregate's capture, remembering what to put back.
  void move(Aggregate& aggregate, uint32_t node) {
    if (aggregate.moved.count(node) || defaults == nullptr) return;
    Saved saved{entry(node, kTargetObject), entry(node, kTargetNode)};
    aggregate.moved[node] = saved;
    const nlohmann::json marker = {
        {"owner", getpid()},
        {"started", proc.startTime(getpid()).value_or(0)},
        {"serial", aggregate.captureSerial},
        {"prev", {{kTargetObject, entryJSON(saved.object)}, {kTargetNode, entryJSON(saved.node)}}}};
    // The marker first: a program killed between the two writes leaves nothing unexplained.
    setEntry(node, kMarkerKey, Entry{"Spa:String:JSON", marker.dump()});
    setEntry(node, kTargetObject, Entry{"Spa:Id", aggregate.captureSerial});
  }

  // Puts back what the stream's metadata held before. A target someone else set meanwhile is
  // the user's choice now and stays.
  void restore(uint32_t node, const std::string& ourSerial, const Saved& saved) {
    if (!serials.count(node)) return;
    const auto current = entry(node, kTargetObject);
    if (current && current->value == ourSerial) setEntry(node, kTargetObject, saved.object);
    // Set again, so that a session manager that remembers targets remembers this one.
    if (saved.node) setEntry(node, kTargetNode, saved.node);
    setEntry(node, kMarkerKey, std::nullopt);
  }

  // New streams of a tapped application follow the tap.
  void followTappedStreams() {
    for (auto& [id, aggregate] : aggregates) {
      if (!aggregate.started) continue;
      for (uint32_t node : mirror.streamNodes(aggregate.processes)) move(aggregate, node);
    }
  }

  // Markers of a program that is gone (killed, or us before a lost connection): its targets
  // point at nodes that no longer exist, so the applications' earlier choices come back.
  void cleanUpAfterOthers() {
    std::vector<std::pair<uint32_t, std::string>> markers;
    for (const auto& [key, value] : nodeMetadata) {
      if (key.second == kMarkerKey) markers.emplace_back(key.first, value.value);
    }
    for (const auto& [node, text] : markers) {
      const auto json = nlohmann::json::parse(text, nullptr, false);
      if (!json.is_object()) continue;
      const auto owner = json.value("owner", int32_t(0));
      const auto started = json.value("started", uint64_t(0));
      if (owner != getpid() && owner > 0 && proc.startTime(owner) == started) continue;
      Saved saved;
      if (json.contains("prev") && json["prev"].is_object()) {
        saved.object = entryFromJSON(json["prev"].value(kTargetObject, nlohmann::json()));
        saved.node = entryFromJSON(json["prev"].value(kTargetNode, nlohmann::json()));
      }
      restore(node, json.value("serial", std::string()), saved);
    }
  }

  Aggregate* findAggregate(AudioObjectID id) {
    const auto found = aggregates.find(id);
    return found == aggregates.end() ? nullptr : &found->second;
  }

  // The aggregate whose registered proc is `proc`, or null.
  Aggregate* aggregateWithProc(AudioObjectID id, AudioDeviceIOProcID proc) {
    Aggregate* aggregate = findAggregate(id);
    return aggregate != nullptr && proc != nullptr && aggregate->proc == proc ? aggregate : nullptr;
  }

  OSStatus start(Aggregate& aggregate) {
    if (aggregate.started) return kAudioHardwareNoError;
    // Without the session manager's metadata nothing can be moved: nothing would be processed.
    if (!ready || !aggregate.streams || defaults == nullptr) return kAudioHardwareNotRunningError;
    // Applications that ask never to be moved stay where they are: refuse before touching them.
    const std::vector<uint32_t> tapped = mirror.streamNodes(aggregate.processes);
    if (std::any_of(tapped.begin(), tapped.end(),
                    [&](uint32_t node) { return mirror.refusesMoves(node); }))
      return kAudioHardwareIllegalOperationError;
    AggregateStreams& streams = *aggregate.streams;
    if (!waitFor([&] { return serials.count(streams.captureNode()) > 0; }, kStartTimeoutMs))
      return ready ? kAudioHardwareUnspecifiedError : kAudioHardwareNotRunningError;
    const uint32_t capture = streams.captureNode();
    aggregate.captureSerial = std::to_string(serials.at(capture));
    streams.start();
    aggregate.started = true;
    followTappedStreams();
    // A session manager that moved nothing in time: nothing of ours is left.
    const bool moved = waitFor(
        [&] {
          return std::all_of(aggregate.moved.begin(), aggregate.moved.end(),
                             [&](const auto& node) { return linked(node.first, capture); });
        },
        kStartTimeoutMs);
    if (moved) return kAudioHardwareNoError;
    stop(aggregate);
    return ready ? kAudioHardwareIllegalOperationError : kAudioHardwareNotRunningError;
  }

  void stop(Aggregate& aggregate) {
    if (!aggregate.started) return;
    if (aggregate.streams) aggregate.streams->stop();
    aggregate.started = false;
    for (const auto& [node, saved] : aggregate.moved) restore(node, aggregate.captureSerial, saved);
    aggregate.moved.clear();
  }

  // The properties of our own taps, aggregates and aggregate streams; none for other objects.
  std::optional<OSStatus> readOwn(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                  std::vector<uint8_t>* bytes) const {
    const AudioObjectPropertySelector selector = address.selector;
    if (taps.count(object)) {
      if (selector != kAudioTapPropertyFormat) return kAudioHardwareUnknownPropertyError;
      *bytes = bytesOf(floatFormat(kTapChannels));
      return kAudioHardwareNoError;
    }
    if (const auto found = aggregates.find(object); found != aggregates.end()) {
      const Aggregate& aggregate = found->second;
      const bool input = address.scope == kAudioObjectPropertyScopeInput;
      const bool output = address.scope == kAudioObjectPropertyScopeOutput;
      switch (selector) {
        case kAudioDevicePropertyDeviceIsAlive:
          *bytes = bytesOf(uint32_t(aggregate.streams ? 1 : 0));
          return kAudioHardwareNoError;
        case kAudioDevicePropertyTransportType:
          *bytes = bytesOf(uint32_t(kAudioDeviceTransportTypeAggregate));
          return kAudioHardwareNoError;
        case kAudioDevicePropertyNominalSampleRate:
          *bytes = bytesOf(kGraphRate);
          return kAudioHardwareNoError;
        case kAudioDevicePropertyStreams: {
          std::vector<AudioObjectID> ids;
          // The outputs show once every one of them is linked to its device.
          if (!input && outputsLinked(aggregate)) ids = aggregate.outputStreams;
          if (!output) ids.push_back(aggregate.inputStream);
          bytes->assign(ids.size() * sizeof(AudioObjectID), 0);
          if (!ids.empty()) std::memcpy(bytes->data(), ids.data(), bytes->size());
          return kAudioHardwareNoError;
        }
        case kAudioDevicePropertyStreamConfiguration:
          if (!input && !output) return kAudioHardwareUnknownPropertyError;
          *bytes = bufferList(input ? std::vector<uint32_t>{kTapChannels} : aggregate.channels);
          return kAudioHardwareNoError;
        default:
          return kAudioHardwareUnknownPropertyError;
      }
    }
    for (const auto& [id, aggregate] : aggregates) {
      const auto stream =
          std::find(aggregate.outputStreams.begin(), aggregate.outputStreams.end(), object);
      if (stream == aggregate.outputStreams.end() && object != aggregate.inputStream) continue;
      if (selector != kAudioStreamPropertyVirtualFormat) return kAudioHardwareUnknownPropertyError;
      const uint32_t channels = stream == aggregate.outputStreams.end()
                                    ? kTapChannels
                                    : aggregate.channels[stream - aggregate.outputStreams.begin()];
      *bytes = bytesOf(floatFormat(channels));
      return kAudioHardwareNoError;
    }
    return std::nullopt;
  }

  OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& address,
                std::vector<uint8_t>* bytes) {
    if (const auto own = readOwn(object, address, bytes)) return *own;
    return mirror.read(object, address, bytes);
  }

  std::optional<OSStatus> readOwnString(AudioObjectID object,
                                        const AudioObjectPropertyAddress& address,
                                        std::string* value) const {
    if (const auto tap = taps.find(object); tap != taps.end()) {
      if (address.selector != kAudioTapPropertyUID) return kAudioHardwareUnknownPropertyError;
      *value = tap->second.uid;
      return kAudioHardwareNoError;
    }
    const auto found = aggregates.find(object);
    if (found == aggregates.end()) return std::nullopt;
    if (address.selector == kAudioDevicePropertyDeviceUID) {
      *value = found->second.uid;
    } else if (address.selector == kAudioObjectPropertyName) {
      *value = found->second.name;
    } else {
      return kAudioHardwareUnknownPropertyError;
    }
    return kAudioHardwareNoError;
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
  if (!connection_->ready) return false;
  std::vector<uint8_t> bytes;
  std::string text;
  if (const auto own = connection_->readOwn(object, address, &bytes))
    return *own == kAudioHardwareNoError ||
           connection_->readOwnString(object, address, &text) == kAudioHardwareNoError;
  return connection_->mirror.hasProperty(object, address);
}

OSStatus PipeWireBackend::isPropertySettable(AudioObjectID object,
                                             const AudioObjectPropertyAddress& address,
                                             bool* settable) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  if (connection_->findAggregate(object) != nullptr || connection_->taps.count(object)) {
    *settable = address.selector == kAudioDevicePropertyIOProcStreamUsage &&
                connection_->findAggregate(object) != nullptr;
    return kAudioHardwareNoError;
  }
  return connection_->mirror.isPropertySettable(object, address, settable);
}

OSStatus PipeWireBackend::getPropertyDataSize(AudioObjectID object,
                                              const AudioObjectPropertyAddress& address,
                                              uint32_t* size) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  std::vector<uint8_t> bytes;
  const OSStatus status = connection_->read(object, address, &bytes);
  if (status == kAudioHardwareNoError) *size = uint32_t(bytes.size());
  return status;
}

OSStatus PipeWireBackend::getPropertyData(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address, uint32_t* size,
                                          void* data) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  std::vector<uint8_t> bytes;
  const OSStatus status = connection_->read(object, address, &bytes);
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
  if (connection_->taps.count(object)) return kAudioHardwareUnknownPropertyError;
  if (const Connection::Aggregate* aggregate = connection_->findAggregate(object)) {
    // The one input stream is the tap's: a usage record can only switch it on.
    if (address.selector != kAudioDevicePropertyIOProcStreamUsage)
      return kAudioHardwareUnknownPropertyError;
    if (address.scope != kAudioObjectPropertyScopeInput) return kAudioHardwareIllegalOperationError;
    const size_t header = AudioHardwareIOProcStreamUsageSize(0);
    if (data == nullptr || dataSize < header) return kAudioHardwareBadPropertySizeError;
    AudioHardwareIOProcStreamUsage usage{};
    std::memcpy(&usage, data, header);
    if (dataSize != AudioHardwareIOProcStreamUsageSize(usage.numberStreams) ||
        usage.numberStreams != 1)
      return kAudioHardwareBadPropertySizeError;
    return usage.ioProc != nullptr && usage.ioProc == aggregate->proc
               ? kAudioHardwareNoError
               : kAudioHardwareBadObjectError;
  }
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
  if (const auto own = connection_->readOwnString(object, address, value)) return *own;
  return connection_->mirror.readString(object, address, value);
}

OSStatus PipeWireBackend::getPropertyStrings(AudioObjectID object,
                                             const AudioObjectPropertyAddress& address,
                                             std::vector<std::string>* value) {
  Locked lock(connection_->loop);
  if (!connection_->ready) return kAudioHardwareNotRunningError;
  // The only list of text is an aggregate's sub-devices.
  if (const Connection::Aggregate* aggregate = connection_->findAggregate(object)) {
    if (address.selector != kAudioAggregateDevicePropertyFullSubDeviceList)
      return kAudioHardwareUnknownPropertyError;
    *value = aggregate->members;
    return kAudioHardwareNoError;
  }
  std::vector<uint8_t> ignored;
  const OSStatus status = connection_->mirror.read(object, address, &ignored);
  return status == kAudioHardwareBadObjectError ? status : kAudioHardwareUnknownPropertyError;
}

OSStatus PipeWireBackend::createProcessTap(const TapDescription& description, AudioObjectID* tap) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  if (!c.ready) return kAudioHardwareNotRunningError;
  // The capture always silences the application's own output: it is moved, not copied.
  if (description.processes.empty() ||
      description.muteBehavior != TapMuteBehavior::mutedWhenTapped) {
    return kAudioHardwareIllegalOperationError;
  }
  std::vector<uint8_t> ignored;
  for (AudioObjectID process : description.processes) {
    if (c.mirror.read(process, {kAudioProcessPropertyPID, kAudioObjectPropertyScopeGlobal, 0},
                      &ignored) != kAudioHardwareNoError) {
      return kAudioHardwareBadObjectError;
    }
  }
  *tap = c.mirror.newID();
  c.taps[*tap] = {description.processes, "pw-tap-" + std::to_string(++c.tapCounter)};
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::destroyProcessTap(AudioObjectID tap) {
  Locked lock(connection_->loop);
  return connection_->taps.erase(tap) > 0 ? kAudioHardwareNoError : kAudioHardwareBadObjectError;
}

OSStatus PipeWireBackend::createAggregateDevice(const AggregateDeviceDescription& description,
                                                AudioObjectID* device) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  if (!c.ready) return kAudioHardwareNotRunningError;
  const bool taken = std::any_of(c.aggregates.begin(), c.aggregates.end(), [&](const auto& entry) {
    return entry.second.uid == description.uid;
  });
  if (description.uid.empty() || taken || description.taps.size() != 1)
    return kAudioHardwareIllegalOperationError;
  const auto tap = std::find_if(c.taps.begin(), c.taps.end(), [&](const auto& entry) {
    return entry.second.uid == description.taps[0].uid;
  });
  if (tap == c.taps.end()) return kAudioHardwareBadObjectError;

  Connection::Aggregate aggregate;
  aggregate.uid = description.uid;
  aggregate.name = description.name;
  aggregate.processes = tap->second.processes;
  std::vector<OutputTarget> targets;
  // Sub-devices that are not there are left out; the caller's checks see it.
  for (const auto& member : description.subDevices) {
    const auto found = c.mirror.outputDevice(member.uid);
    if (!found) continue;
    aggregate.members.push_back(member.uid);
    aggregate.channels.push_back(found->channels);
    aggregate.outputStreams.push_back(c.mirror.newID());
    targets.push_back({found->nodeName, found->channels});
  }
  aggregate.inputStream = c.mirror.newID();
  const std::string node = description.uid.starts_with(kAggregateNodePrefix)
                               ? description.uid
                               : kAggregateNodePrefix + description.uid;
  aggregate.streams = std::make_unique<AggregateStreams>(c.core, c.context, node, description.name,
                                                         targets, c.options.triggerOutputs);
  *device = c.mirror.newID();
  c.aggregates.emplace(*device, std::move(aggregate));
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::destroyAggregateDevice(AudioObjectID device) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  Connection::Aggregate* aggregate = c.findAggregate(device);
  if (aggregate == nullptr) return kAudioHardwareBadObjectError;
  c.stop(*aggregate);
  c.aggregates.erase(device);
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::createIOProcID(AudioObjectID device, AudioDeviceIOProc proc,
                                         void* clientData, AudioDeviceIOProcID* outID) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  Connection::Aggregate* aggregate = c.findAggregate(device);
  if (aggregate == nullptr)
    return c.mirror.globalOfDevice(device) != 0 ? kAudioHardwareIllegalOperationError
                                                : kAudioHardwareBadObjectError;
  // One proc per aggregate: the program registers one.
  if (proc == nullptr || aggregate->proc != nullptr) return kAudioHardwareIllegalOperationError;
  if (!aggregate->streams) return kAudioHardwareNotRunningError;
  aggregate->streams->setProc(device, proc, clientData);
  aggregate->proc = reinterpret_cast<AudioDeviceIOProcID>(++c.lastProc);
  *outID = aggregate->proc;
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  Connection::Aggregate* aggregate = c.aggregateWithProc(device, id);
  if (aggregate == nullptr) return kAudioHardwareBadObjectError;
  c.stop(*aggregate);
  if (aggregate->streams) aggregate->streams->setProc(device, nullptr, nullptr);
  aggregate->proc = nullptr;
  return kAudioHardwareNoError;
}

OSStatus PipeWireBackend::startDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  Connection::Aggregate* aggregate = c.aggregateWithProc(device, id);
  if (aggregate == nullptr) return kAudioHardwareBadObjectError;
  return c.start(*aggregate);
}

OSStatus PipeWireBackend::stopDevice(AudioObjectID device, AudioDeviceIOProcID id) {
  Locked lock(connection_->loop);
  Connection& c = *connection_;
  Connection::Aggregate* aggregate = c.aggregateWithProc(device, id);
  if (aggregate == nullptr) return kAudioHardwareBadObjectError;
  c.stop(*aggregate);
  return kAudioHardwareNoError;
}

std::vector<uint32_t> PipeWireBackend::serverStreams(int32_t pid) const {
  Locked lock(connection_->loop);
  return connection_->mirror.streamNodesOfPID(pid);
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
