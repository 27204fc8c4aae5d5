// Choosing a device from the user's list, including Bluetooth devices that must connect first,
// and editing that list. Main thread, except the connection attempts on the Bluetooth queue.
#include <algorithm>

#include "audio/AudioFailure.h"
#include "audio/BluetoothAudio.h"
#include "audio/HAL.h"
#include "model/AppModel.h"
#include "platform/dispatch/Clock.h"
#include "platform/identity/RandomUUID.h"
#include "settings/UTF8.h"

namespace velmora::model {
namespace {

using settings::DeviceBookmark;

constexpr double kPendingSelectionTimeout = 25.0;
constexpr size_t kAliasCharacters = 48;
constexpr const char* kConnecting = "正在连接…";
constexpr const char* kWaitingForAudio = "等待音频就绪…";

}  // namespace

void AppModel::selectBookmark(const DeviceBookmark& bookmark, AudioDirection direction) {
  checkMainQueue();
  beginManualChoice(direction);
  if (const auto device = presentDevice(bookmark, direction)) {
    selectDevice(device->id, direction);
    return;
  }
  if (!bookmark.bluetoothAddress) {
    setError(bookmark.name + " 当前不可用，请先连接设备。");
    publish();
    return;
  }
  const std::string token = platform::randomUUID();
  pending_[direction] = PendingSelection{token, bookmark, services_.mainQueue.clock().now(), false};
  state_.connectionLabels[connectionKey(direction, bookmark.id)] = kConnecting;
  std::weak_ptr<AppModel*> weak = self_;
  platform::MainQueue& mainQueue = services_.mainQueue;
  // Bluetooth queue: the connection blocks for up to the page time-out.
  bluetoothQueue_->async(
      [weak, &mainQueue, address = *bookmark.bluetoothAddress, token, direction] {
        std::optional<std::string> failure;
        try {
          audio::BluetoothAudio::connect(address);
        } catch (const audio::AudioFailure& error) {
          failure = error.message;
        }
        mainQueue.post([weak, token, direction, failure] {
          if (const auto alive = weak.lock(); alive && *alive != nullptr)
            (*alive)->finishConnection(direction, token, failure);
        });
      });
  publish();
}

void AppModel::finishConnection(AudioDirection direction, const std::string& token,
                                const std::optional<std::string>& failure) {
  const auto found = pending_.find(direction);
  // Cancelled, or superseded by a newer choice: this attempt no longer counts.
  if (found == pending_.end() || found->second.token != token) return;
  if (failure) {
    const std::string name = found->second.bookmark.name;
    endPendingSelection(direction);
    setError(name + "：" + *failure);
    publish();
    return;
  }
  found->second.waitingForAudio = true;
  state_.connectionLabels[connectionKey(direction, found->second.bookmark.id)] = kWaitingForAudio;
  refresh(true);
}

void AppModel::resolvePendingSelections() {
  checkMainQueue();
  const double now = services_.mainQueue.clock().now();
  const std::map<AudioDirection, PendingSelection> snapshot = pending_;
  for (const auto& [direction, selection] : snapshot) {
    if (now - selection.started > kPendingSelectionTimeout) {
      endPendingSelection(direction);
      setError(selection.bookmark.name +
               " 的音频通道尚未就绪。请确认设备已开机，并在蓝牙设置中检查连接后重试。");
      continue;
    }
    if (!selection.waitingForAudio) continue;
    // The list entry, not the copy taken at the choice: a headset known only by name learns its
    // UID from the catalogue once its audio device appears.
    const std::vector<DeviceBookmark> list = bookmarks();
    const std::string& wanted = selection.bookmark.id;  // a binding no lambda may capture
    const auto entry = std::find_if(list.begin(), list.end(),
                                    [&](const DeviceBookmark& b) { return b.id == wanted; });
    const auto device = presentDevice(entry != list.end() ? *entry : selection.bookmark, direction);
    if (!device) continue;
    endPendingSelection(direction);
    // No session may render into the device that stops being the default; the refresh's
    // reconciliation rebuilds them.
    if (!isInput(direction)) engine_->stopAll(true);
    if (const OSStatus status = writeDefaultDevice(direction, device->id); status != 0) {
      setError(audio::HAL::writeFailure(status));
      continue;
    }
    const auto current = audio::HAL::value<AudioObjectID>(
        kAudioObjectSystemObject, isInput(direction) ? kAudioHardwarePropertyDefaultInputDevice
                                                     : kAudioHardwarePropertyDefaultOutputDevice);
    if (current != device->id) {
      setError("系统尚未切换到该设备，请重试。");
      continue;
    }
    (isInput(direction) ? state_.inputID : state_.outputID) = device->id;
    // The completed choice holds against the automatic rules like a choice of a present device:
    // the topology that now includes the device is the accepted one.
    if (!sceneToApply_) acceptedRuleTopology_ = currentRuleTopology();
  }
}

void AppModel::renameDevice(const std::string& id, const std::string& name) {
  checkMainQueue();
  if (!state_.preferences.deviceList) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto entry = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == id; });
  if (entry == devices.end()) return;
  const std::string valid = settings::replacingInvalidUTF8(name);
  std::string alias(
      settings::firstCharacters(settings::trimWhitespaceAndNewlines(valid), kAliasCharacters));
  entry->alias = alias.empty() ? std::nullopt : std::optional(std::move(alias));
  save();
  publish();
}

void AppModel::moveDevice(const std::string& id, const std::string& before) {
  checkMainQueue();
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
  checkMainQueue();
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

void AppModel::setDeviceVisible(const DeviceBookmark& bookmark, AudioDirection direction,
                                bool visible) {
  checkMainQueue();
  if (!state_.preferences.deviceList) return;
  auto& devices = state_.preferences.deviceList->devices;
  const auto entry = std::find_if(devices.begin(), devices.end(),
                                  [&](const DeviceBookmark& b) { return b.id == bookmark.id; });
  if (entry == devices.end()) return;
  (isInput(direction) ? entry->showInput : entry->showOutput) = visible;
  save();
  publish();
}

}  // namespace velmora::model
