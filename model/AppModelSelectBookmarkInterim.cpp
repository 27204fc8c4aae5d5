// Interim selectBookmark for present (non-Bluetooth) devices only, replaced by the full device selection.
#include "audio/BluetoothAudio.h"
#include "model/AppModel.h"

namespace velmora::model {

void AppModel::selectBookmark(const settings::DeviceBookmark& bookmark, bool input) {
  if (const auto device = audio::BluetoothAudio::resolve(bookmark, input, state_.devices)) {
    selectDevice(device->id, input);
  }
}

}  // namespace velmora::model
