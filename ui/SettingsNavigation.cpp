#include "ui/SettingsNavigation.h"

namespace velmora::ui {

QString title(SettingsSection section) {
  switch (section) {
    case SettingsSection::general:
      return QStringLiteral("通用");
    case SettingsSection::devices:
      return QStringLiteral("设备");
    case SettingsSection::scenes:
      return QStringLiteral("场景");
  }
  return {};
}

QString title(DeviceSettingsTab tab) {
  switch (tab) {
    case DeviceSettingsTab::favorites:
      return QStringLiteral("显示的设备");
    case DeviceSettingsTab::automatic:
      return QStringLiteral("自动切换");
    case DeviceSettingsTab::multi:
      return QStringLiteral("多输出");
  }
  return {};
}

void SettingsNavigation::setSection(SettingsSection section) {
  if (section == section_) return;
  section_ = section;
  emit sectionChanged(section);
  emit changed();
}

void SettingsNavigation::setDeviceTab(DeviceSettingsTab tab) {
  if (tab == deviceTab_) return;
  deviceTab_ = tab;
  emit changed();
}

void SettingsNavigation::setSceneID(std::optional<std::string> sceneID) {
  if (sceneID == sceneID_) return;
  sceneID_ = std::move(sceneID);
  emit changed();
}

}  // namespace velmora::ui
