// Where the panel asks the settings window to open: a section and, for devices, a tab.
#pragma once

#include <functional>

namespace velmora::ui {

enum class SettingsSection { general, devices, scenes };
enum class DeviceSettingsTab { favorites, automatic, multi };

using OpenSettings = std::function<void(SettingsSection, DeviceSettingsTab)>;

}  // namespace velmora::ui
