// Choosing a device from the user's list, including Bluetooth devices that must connect first,
// and editing that list. Main thread, except the connection attempts on the Bluetooth queue.
#include <algorithm>
#include <cstdio>
#include <random>

#include "audio/AudioFailure.h"
#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "model/AppModel.h"
#include "platform/dispatch/Clock.h"
#include "settings/UTF8.h"

namespace velmora::model {
namespace {

using settings::DeviceBookmark;

constexpr double kPendingSelectionTimeout = 25.0;
constexpr size_t kAliasCharacters = 48;
constexpr const char* kConnecting = "正在连接…";
constexpr const char* kWaitingForAudio = "等待音频就绪…";

std::string connectionKey(bool input, const std::string& bookmarkID) {
  return (input ? "true:" : "false:") + bookmarkID;
}

// A random (version 4) UUID: the identity of one connection attempt.
std::string newToken() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  const uint64_t high = (generator() & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;
  const uint64_t low = (generator() & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
  char text[37];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", unsigned(high >> 32),
                unsigned(high >> 16 & 0xFFFF), unsigned(high & 0xFFFF), unsigned(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace

void AppModel::selectBookmark(const DeviceBookmark& bookmark, bool input) {
  beginManualChoice(input);
  if (const auto device = audio::BluetoothAudio::resolve(bookmark, input, state_.devices)) {
    selectDevice(device->id, input);
    return;
  }
  if (!bookmark.bluetoothAddress) {
    setError(bookmark.name + " 当前不可用，请先连接设备。");
    publish();
    return;
  }
  const std::string token = newToken();
  pending_[input] = PendingSelection{token, bookmark, services_.mainQueue.clock().now(), false};
  state_.connectionLabels[connectionKey(input, bookmark.id)] = kConnecting;
  std::weak_ptr<AppModel*> weak = self_;
  platform::MainQueue& mainQueue = services_.mainQueue;
  // Bluetooth queue: the connection blocks for up to the page time-out.
  bluetoothQueue_->async([weak, &mainQueue, address = *bookmark.bluetoothAddress, token, input] {
    std::optional<std::string> failure;
    try {
      audio::BluetoothAudio::connect(address);
    } catch (const audio::AudioFailure& error) {
      failure = error.message;
    }
    mainQueue.post([weak, token, input, failure] {
      if (const auto alive = weak.lock(); alive && *alive != nullptr)
        (*alive)->finishConnection(input, token, failure);
    });
  });
  publish();
}

void AppModel::finishConnection(bool input, const std::string& token,
                                const std::optional<std::string>& failure) {
  const auto found = pending_.find(input);
  // Cancelled, or superseded by a newer choice: this attempt no longer counts.
  if (found == pending_.end() || found->second.token != token) return;
  if (failure) {
    const std::string name = found->second.bookmark.name;
    cancelConnection(input);
    setError(name + "：" + *failure);
    publish();
    return;
  }
  found->second.waitingForAudio = true;
  state_.connectionLabels[connectionKey(input, found->second.bookmark.id)] = kWaitingForAudio;
  refresh(true);
}

void AppModel::resolvePendingSelections() {
  const double now = services_.mainQueue.clock().now();
  const std::map<bool, PendingSelection> snapshot = pending_;
  for (const auto& [input, selection] : snapshot) {
    if (now - selection.started > kPendingSelectionTimeout) {
      cancelConnection(input);
      setError(selection.bookmark.name +
               " 的音频通道尚未就绪。请确认设备已开机，并在蓝牙设置中检查连接后重试。");
      continue;
    }
    if (!selection.waitingForAudio) continue;
    const auto device = audio::BluetoothAudio::resolve(selection.bookmark, input, state_.devices);
    if (!device) continue;
    cancelConnection(input);
    // No session may render into the device that stops being the default; the refresh's
    // reconciliation rebuilds them.
    if (!input) engine_->stopAll(true);
    const AudioObjectPropertyAddress address{input ? kAudioHardwarePropertyDefaultInputDevice
                                                   : kAudioHardwarePropertyDefaultOutputDevice,
                                             kAudioObjectPropertyScopeGlobal,
                                             kAudioObjectPropertyElementMain};
    const AudioObjectID id = device->id;
    const OSStatus status =
        AudioObjectSetPropertyData(kAudioObjectSystemObject, &address, 0, nullptr, sizeof id, &id);
    if (status != 0) {
      setError("设置音频属性失败（Core Audio " + std::to_string(status) + "）");
      continue;
    }
    const auto current =
        audio::HAL::value<AudioObjectID>(kAudioObjectSystemObject, address.selector);
    if (current != id) {
      setError("系统尚未切换到该设备，请重试。");
      continue;
    }
    (input ? state_.inputID : state_.outputID) = id;
  }
}

void AppModel::renameDevice(const std::string& id, const std::string& name) {
  if (!state_.preferences.deviceList) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto entry = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == id; });
  if (entry == devices.end()) return;
  std::string alias(
      settings::firstCharacters(settings::trimWhitespaceAndNewlines(name), kAliasCharacters));
  entry->alias = alias.empty() ? std::nullopt : std::optional(std::move(alias));
  save();
  publish();
}

void AppModel::moveDevice(const std::string& id, const std::string& before) {
  if (!state_.preferences.deviceList || id == before) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto moved = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == id; });
  if (moved == devices.end()) return;
  std::vector<DeviceBookmark> shortened = devices;
  shortened.erase(shortened.begin() + (moved - devices.begin()));
  const auto target = std::find_if(shortened.begin(), shortened.end(),
                                   [&](const DeviceBookmark& b) { return b.id == before; });
  if (target == shortened.end()) return;
  shortened.insert(target, *moved);
  devices = std::move(shortened);
  save();
  publish();
}

void AppModel::moveDevice(const std::string& id, int offset) {
  if (!state_.preferences.deviceList) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto moved = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == id; });
  if (moved == devices.end()) return;
  const long from = moved - devices.begin();
  const long to = std::clamp(from + long(offset), 0L, long(devices.size()) - 1);
  if (to == from) return;
  DeviceBookmark entry = std::move(*moved);
  devices.erase(moved);
  devices.insert(devices.begin() + to, std::move(entry));
  save();
  publish();
}

void AppModel::setDeviceVisible(const DeviceBookmark& bookmark, bool input, bool visible) {
  if (!state_.preferences.deviceList) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto entry = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == bookmark.id; });
  if (entry == devices.end()) return;
  (input ? entry->showInput : entry->showOutput) = visible;
  save();
  publish();
}

}  // namespace velmora::model
