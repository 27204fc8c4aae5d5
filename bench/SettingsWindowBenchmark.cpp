// The settings window on a machine with 30 devices and 5 saved scenes, offscreen: opening it for
// the first time, from nothing to its first frame drawn, at the general section (the panel's
// settings button) and at the device list (its longest page).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>

#include "model/AppModel.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "ui/ModelBridge.h"
#include "ui/SettingsWindow.h"

namespace {

using namespace velmora;

platform::sim::Scenario busyMachine() {
  platform::sim::Scenario s;
  for (int d = 0; d < 30; ++d) {
    platform::sim::ScenarioDevice device;
    device.uid = "device-" + std::to_string(d);
    device.name = "设备 " + std::to_string(d);
    device.output.streams = {2};
    device.output.volume = {{0, 0.5f, true}};
    if (d % 3 == 0) device.input.streams = {1};
    s.devices.push_back(device);
  }
  s.defaultOutputUID = "device-0";
  s.defaultInputUID = "device-0";
  return s;
}

struct Stage {
  Stage() : machine(busyMachine()), queue(clock) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    model = std::make_unique<model::AppModel>(true,
                                              settings::PreferencesStore(folder / "settings.json"),
                                              model::AppModel::Services{queue, [](double) {}});
    queue.advance(1.0);
    const auto bookmarks = model->bookmarks();
    for (size_t i = 0; i < bookmarks.size(); ++i) {
      model->setDeviceVisible(bookmarks[i], model::AudioDirection::output, true);
      if (i < 4) model->setMultiDevice(bookmarks[i].id, true);
    }
    for (int n = 0; n < 5; ++n) model->saveScene("场景 " + std::to_string(n), std::nullopt);
    queue.advance(1.0);
    model->utilityQueue().sync([] {});
    queue.runPending();
    bridge = std::make_unique<ui::ModelBridge>(*model);
  }
  ~Stage() {
    bridge.reset();
    model.reset();
    std::filesystem::remove_all(folder);
  }
  platform::sim::SimulatedMachine machine;
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "velmora-settings-benchmark";
  platform::ManualClock clock;
  platform::ManualScheduler queue;
  std::unique_ptr<model::AppModel> model;
  std::unique_ptr<ui::ModelBridge> bridge;
};

void openFirstTime(benchmark::State& state) {
  Stage stage;
  const auto section = ui::SettingsSection(state.range(0));
  const QString frameFile = QString::fromStdString((stage.folder / "shell.conf").string());
  for (auto _ : state) {
    ui::SettingsWindow window(*stage.bridge, frameFile);
    window.open(section, ui::DeviceSettingsTab::favorites);
    // Laid out and drawn once, as the screen would show it.
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.grab());
    state.PauseTiming();
    window.hide();
    stage.model->utilityQueue().sync([] {});
    stage.queue.runPending();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

BENCHMARK(openFirstTime)
    ->Arg(int(ui::SettingsSection::general))
    ->Arg(int(ui::SettingsSection::devices))
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
