#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audio/AppAudioStatus.h"
#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "settings/AudioScene.h"
#include "settings/Preferences.h"

namespace velmora::model {

// Everything the views may show, as one value: the model publishes it whenever it changes.
struct ModelState {
  std::vector<audio::AudioDevice> devices;
  std::vector<audio::AudioApp> apps;
  AudioObjectID outputID = 0;
  AudioObjectID inputID = 0;
  float systemVolume = 1.0f;
  bool volumeSupported = false;
  bool systemMuted = false;
  bool muteSupported = false;
  settings::Preferences preferences;
  std::map<std::string, audio::AppAudioStatus> statuses;
  std::optional<std::string> errorMessage;
  std::vector<std::string> shortcutErrors;
  bool loginEnabled = false;
  bool loginNeedsApproval = false;
  std::optional<float> inputVolume;
  bool inputMuted = false;
  bool inputMuteSupported = false;
  std::map<std::string, std::string> connectionLabels;
  bool scanningBluetooth = false;
  std::optional<std::string> soloAppID;
  std::optional<std::string> applyingSceneID;
  std::optional<std::string> activeSceneID;
  std::optional<settings::AudioScene> activeSceneReference;

  bool operator==(const ModelState&) const = default;
};

}  // namespace velmora::model
