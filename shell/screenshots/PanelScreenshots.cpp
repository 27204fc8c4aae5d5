// Renders the panel on the simulated machine in a few telling states, light and dark, and writes
// one PNG per state and appearance into the folder given as the only argument. Run it on an X
// server (scripts/screenshots.sh starts a virtual one): the pictures are what the screen shows.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <iostream>

#include "bench/ViewStage.h"
#include "platform/sim/ScenarioFile.h"
#include "shell/screenshots/Photograph.h"
#include "ui/MainPanel.h"
#include "ui/MixerView.h"
#include "ui/PanelTheme.h"
#include "ui/SceneViews.h"
#include "ui/SettingsWindow.h"
#include "ui/ShortcutRecorder.h"

using namespace velmora;

namespace {

const std::string kTunes = "com.example.tunes";
const std::string kMeet = "com.example.meet";
const std::string kBrowser = "org.example.browser";

void shoot(QWidget& panel, const QString& folder, const QString& name) {
  screenshots::photograph(panel, folder, name);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: velmora_panel_screenshots FOLDER\n";
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  try {
    bench::ViewStage stage(platform::sim::builtInScenario(),
                           "velmora-screenshots-" + std::to_string(::getpid()));
    stage.advance(0.0);
    ui::ModelBridge bridge(*stage.model);
    ui::MainPanel panel(bridge, {});
    panel.setWindowTitle("Velmora");
    panel.show();
    if (!QTest::qWaitForWindowExposed(&panel)) throw std::runtime_error("the panel never showed");

    // The mixer: one application turned down, one muted, one soloed.
    stage.model->setAppVolume(kTunes, 0.62f);
    stage.model->toggleAppMute(kMeet);
    stage.advance(0.0);
    stage.machine.audio().render(2);
    stage.advance(1.5);
    shoot(panel, folder, "mixer");

    stage.model->updateAdvanced(
        [](settings::AdvancedPreferences& a) { a.interface.compact = true; });
    stage.advance(0.0);
    shoot(panel, folder, "mixer-compact");
    stage.model->updateAdvanced(
        [](settings::AdvancedPreferences& a) { a.interface.compact = false; });

    // A paired speaker shown in the list and chosen: it connects first.
    const settings::DeviceBookmark speaker = stage.bookmark("bluetooth:F0-2B-7C-11-09-5A");
    stage.model->setDeviceVisible(speaker, model::AudioDirection::output, true);
    stage.machine.bluetooth().holdConnections(true);
    stage.model->selectBookmark(stage.bookmark(speaker.id), model::AudioDirection::output);
    stage.advance(0.0);
    shoot(panel, folder, "device-connecting");
    stage.model->cancelConnection(model::AudioDirection::output);
    stage.machine.bluetooth().holdConnections(false);
    stage.model->bluetoothQueue().sync([] {});
    stage.advance(0.0);

    // Tunes sent to the USB DAC, which is then unplugged.
    stage.model->setAppOutput(kTunes, "audio:usb-dac-0d8c-0014");
    stage.advance(0.0);
    stage.machine.audio().removeDevice("usb-dac-0d8c-0014");
    stage.advance(1.5);
    // The row with the notice is further down the list: scroll to it as a user would.
    QCoreApplication::processEvents();
    if (auto* scroll = panel.findChild<QScrollArea*>()) {
      scroll->ensureWidgetVisible(panel.mixer()->row(kTunes));
    }
    shoot(panel, folder, "offline-route");
    if (auto* scroll = panel.findChild<QScrollArea*>()) scroll->ensureVisible(0, 0);
    stage.model->setAppOutput(kTunes, std::nullopt);

    // Processing cannot start for the browser: its detail page says so.
    stage.machine.audio().failCall(velmora::platform::sim::SimulatedCall::createProcessTap, -50);
    stage.model->setAppVolume(kBrowser, 0.8f);
    stage.advance(0.0);
    stage.advance(1.5);
    panel.setDestination(ui::PanelDestination{ui::PanelDestination::Kind::app, kBrowser});
    stage.advance(0.0);
    shoot(panel, folder, "app-detail-error");
    stage.model->clearError();

    // The built-in speakers' equaliser: on with a shape of the user's own, then switched off with
    // processing paused; the unplugged DAC's stored settings.
    const std::string speakers = "audio:BuiltInSpeakerDevice";
    stage.model->setEQ(speakers, settings::DeviceEQ{true, {4.5f, 2.0f, -1.0f, 1.5f, 3.0f}});
    panel.setDestination(ui::PanelDestination{ui::PanelDestination::Kind::outputEffects, speakers});
    stage.advance(0.0);
    shoot(panel, folder, "effects-on");
    stage.model->setEQ(speakers, settings::DeviceEQ{false, {4.5f, 2.0f, -1.0f, 1.5f, 3.0f}});
    stage.model->setProcessing(false);
    stage.advance(0.0);
    shoot(panel, folder, "effects-off");
    stage.model->setProcessing(true);
    stage.model->setEQ("audio:usb-dac-0d8c-0014", settings::DeviceEQ{true, {-2, -1, 3, 2, 0}});
    panel.setDestination(
        ui::PanelDestination{ui::PanelDestination::Kind::outputEffects, "audio:usb-dac-0d8c-0014"});
    stage.advance(0.0);
    shoot(panel, folder, "effects-offline");
    panel.setDestination(std::nullopt);

    // Scenes: the current configuration saved, and a scene for the living-room speaker being
    // applied while the speaker still connects; then that scene's page.
    stage.model->saveScene("日常", std::nullopt);
    stage.model->saveScene("客厅", std::nullopt);
    stage.model->updateAdvanced([](settings::AdvancedPreferences& a) {
      settings::AudioScene& scene = a.scenes.back();
      scene.outputDeviceID = "bluetooth:F0-2B-7C-11-09-5A";
      scene.systemVolume = 0.4f;
      scene.multiOutput = {true, {"audio:BuiltInSpeakerDevice", "audio:usb-dac-0d8c-0014"}, {}};
    });
    stage.model->saveScene("日常", stage.model->state().preferences.advanced->scenes[0].id);
    stage.machine.bluetooth().holdConnections(true);
    stage.model->applyScene(stage.model->state().preferences.advanced->scenes[1]);
    stage.advance(0.0);
    stage.model->clearError();
    ui::SettingsWindow window(bridge,
                              QString::fromStdString((stage.folder / "shell.conf").string()));
    window.setScenesSection(new ui::ScenesSection(bridge, window.navigation()));
    window.open(ui::SettingsSection::scenes, ui::DeviceSettingsTab::favorites);
    if (!QTest::qWaitForWindowExposed(&window)) throw std::runtime_error("no settings window");
    shoot(window, folder, "scenes-list");
    window.navigation().setSceneID(stage.model->state().preferences.advanced->scenes[1].id);
    shoot(window, folder, "scene-detail");
    stage.model->stopApplyingScene();
    stage.machine.bluetooth().holdConnections(false);
    stage.model->bluetoothQueue().sync([] {});
    stage.advance(0.0);
    window.hide();

    // The shortcut recorder: unset, bound, and recording.
    QWidget recorders;
    recorders.setWindowTitle("Velmora");
    auto* layout = new QFormLayout(&recorders);
    auto* unset = new ui::ShortcutRecorder({}, {});
    auto* bound = new ui::ShortcutRecorder({}, {});
    bound->setShortcut(settings::Shortcut{46, 0x900, "M"});
    auto* recording = new ui::ShortcutRecorder({}, {});
    layout->addRow(QString::fromUtf8("提高系统音量"), unset);
    layout->addRow(QString::fromUtf8("打开 / 关闭面板"), bound);
    layout->addRow(QString::fromUtf8("切换下一个输出设备"), recording);
    recorders.resize(360, 130);
    recorders.show();
    QCoreApplication::processEvents();
    recording->begin();
    QCoreApplication::processEvents();
    QPixmap picture = recorders.screen()->grabWindow(recorders.winId());
    if (picture.isNull()) picture = recorders.grab();
    recording->finish();
    if (!picture.save(folder + "/shortcut-recorder.png"))
      throw std::runtime_error("cannot write the recorder's picture");
  } catch (const std::exception& error) {
    std::cerr << "velmora_panel_screenshots: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
