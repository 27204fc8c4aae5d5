// Bluetooth audio devices: the paired ones, and the bridge between live audio devices, paired
// devices and the bookmarks of the user's device list. Stateless.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/AudioDevice.h"
#include "audio/PairedAudioDevice.h"
#include "platform/audio/AudioTypes.h"
#include "settings/AudioDirection.h"
#include "settings/DeviceBookmark.h"

namespace velmora::audio::BluetoothAudio {

// The paired audio devices (headsets, headphones, speakers) in the system's order. Asks the
// Bluetooth service, which may take a while: call it off the main thread.
std::vector<PairedAudioDevice> paired();

// Opens the Bluetooth link to a paired device and blocks until it is up (page time-out about
// 10 s). Returns at once when the device is already connected. Throws AudioFailure with the
// message to show after the device's name. Threading: the model's Bluetooth queue only.
void connect(const std::string& address);

// Upper case with "-" separators, the one form addresses are stored and compared in.
std::string normalizedAddress(std::string_view address);

// The first Bluetooth address written inside a device UID, normalised.
std::optional<std::string> addressInUID(std::string_view uid);

bool isBluetoothTransport(uint32_t transport);

// The bookmark that stands for a live device. Virtual and aggregate devices are shown only while
// they are the default in that direction.
settings::DeviceBookmark bookmark(const AudioDevice& device,
                                  const std::vector<PairedAudioDevice>& paired,
                                  AudioObjectID currentInput, AudioObjectID currentOutput);

// The bookmark of a paired device that may have no audio device now; hidden until the user shows
// it.
settings::DeviceBookmark bookmark(const PairedAudioDevice& device);

// The live device `bookmark` stands for in one direction, if it is present.
std::optional<AudioDevice> resolve(const settings::DeviceBookmark& bookmark,
                                   settings::AudioDirection direction,
                                   const std::vector<AudioDevice>& devices);

}  // namespace velmora::audio::BluetoothAudio
