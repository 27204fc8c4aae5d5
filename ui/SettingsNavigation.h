// Where the settings window stands: its section, the device tab and the scene open in the scenes
// section. The panel asks the window to open at a section and tab; the window's views read and
// set this one object, and follow its `changed` signal.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace velmora::ui {

enum class SettingsSection { general, devices, scenes };
enum class DeviceSettingsTab { favorites, automatic, multi };

using OpenSettings = std::function<void(SettingsSection, DeviceSettingsTab)>;

// The title shown for a section or a tab.
QString title(SettingsSection section);
QString title(DeviceSettingsTab tab);

class SettingsNavigation : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  SettingsSection section() const { return section_; }
  DeviceSettingsTab deviceTab() const { return deviceTab_; }
  // The scene whose detail page the scenes section shows; none shows the list.
  const std::optional<std::string>& sceneID() const { return sceneID_; }

  void setSection(SettingsSection section);
  void setDeviceTab(DeviceSettingsTab tab);
  void setSceneID(std::optional<std::string> sceneID);

 signals:
  // Any of the three values changed; emitted once per setter call that changed something.
  void changed();
  // Emitted before `changed` when the section itself changed.
  void sectionChanged(SettingsSection section);

 private:
  SettingsSection section_ = SettingsSection::general;
  DeviceSettingsTab deviceTab_ = DeviceSettingsTab::favorites;
  std::optional<std::string> sceneID_;
};

}  // namespace velmora::ui
