// Renders the settings window on the simulated machine, every section and device tab, light and
// dark, and writes one PNG per page and appearance into the folder given as the only argument.
// Run it on an X server (scripts/screenshots.sh starts a virtual one).
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <iostream>

#include "bench/ViewStage.h"
#include "platform/sim/ScenarioFile.h"
#include "shell/screenshots/Photograph.h"
#include "ui/PanelTheme.h"
#include "ui/SceneViews.h"
#include "ui/SettingsWindow.h"

using namespace velmora;

namespace {

// The scroll area of the page on show, scrolled to its end or its top.
void scrollTo(QWidget& window, bool end) {
  for (auto* scroll : window.findChildren<QScrollArea*>()) {
    if (!scroll->isVisible()) continue;
    QScrollBar* bar = scroll->verticalScrollBar();
    bar->setValue(end ? bar->maximum() : bar->minimum());
  }
}

void shoot(QWidget& window, const QString& folder, const QString& name, bool end = false) {
  screenshots::photograph(window, folder, name, [&window, end] { scrollTo(window, end); });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: velmora_settings_screenshots FOLDER\n";
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  try {
    bench::ViewStage stage(platform::sim::builtInScenario(),
                           "velmora-settings-screenshots-" + std::to_string(::getpid()));
    stage.advance(0.0);
    stage.advance(1.5);
    ui::ModelBridge bridge(*stage.model);
    ui::SettingsWindow window(bridge,
                              QString::fromStdString((stage.folder / "shell.conf").string()));
    window.open(ui::SettingsSection::general, ui::DeviceSettingsTab::favorites);
    window.move(20, 20);
    if (!QTest::qWaitForWindowExposed(&window)) throw std::runtime_error("the window never showed");

    shoot(window, folder, "settings-general");
    shoot(window, folder, "settings-general-hotkeys", true);

    // The device list: the DAC renamed, a paired speaker not connected, the HDMI display hidden.
    stage.model->renameDevice("audio:usb-dac-0d8c-0014", "书房 DAC");
    window.open(ui::SettingsSection::devices, ui::DeviceSettingsTab::favorites);
    stage.advance(0.0);
    shoot(window, folder, "settings-devices");

    stage.model->setAutomatic(model::AudioDirection::output, true);
    stage.model->setAutomaticDevice("audio:usb-dac-0d8c-0014", model::AudioDirection::output, true);
    stage.advance(0.0);
    window.open(ui::SettingsSection::devices, ui::DeviceSettingsTab::automatic);
    stage.advance(0.0);
    shoot(window, folder, "settings-automatic");

    for (const auto* id :
         {"audio:BuiltInSpeakerDevice", "audio:usb-dac-0d8c-0014", "audio:hdmi-display-1"}) {
      stage.model->setMultiDevice(id, true);
    }
    stage.model->setMultiLevel("audio:hdmi-display-1", 0.55f);
    stage.model->setMultiEnabled(true);
    stage.model->setMultiDevice("bluetooth:A4-C3-F0-85-1E-22", true);
    stage.model->canIncludeMultiDevice();  // a fifth is refused, and the banner says why
    window.open(ui::SettingsSection::devices, ui::DeviceSettingsTab::multi);
    stage.advance(0.0);
    shoot(window, folder, "settings-multi-output");
    stage.model->clearError();

    // No scene saved yet: the scenes section's empty list.
    window.setScenesSection(new ui::ScenesSection(bridge, window.navigation()));
    window.open(ui::SettingsSection::scenes, ui::DeviceSettingsTab::favorites);
    stage.advance(0.0);
    shoot(window, folder, "settings-scenes");
  } catch (const std::exception& error) {
    std::cerr << "velmora_settings_screenshots: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
