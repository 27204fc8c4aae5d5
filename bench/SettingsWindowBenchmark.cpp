// The settings window on a machine with 30 devices and 5 saved scenes, offscreen: opening it for
// the first time, from nothing to its first frame drawn, at the general section (the panel's
// settings button) and at the device list (its longest page).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>

#include "bench/ViewStage.h"
#include "ui/SettingsWindow.h"

namespace {

using namespace velmora;

bench::ViewStage settingsStage() {
  return bench::ViewStage(
      bench::machineWithDevices(30, 3), "velmora-settings-benchmark", [](model::AppModel& model) {
        const auto bookmarks = model.bookmarks();
        for (size_t i = 0; i < bookmarks.size(); ++i) {
          model.setDeviceVisible(bookmarks[i], model::AudioDirection::output, true);
          if (i < 4) model.setMultiDevice(bookmarks[i].id, true);
        }
        for (int n = 0; n < 5; ++n) model.saveScene("场景 " + std::to_string(n), std::nullopt);
      });
}

void openFirstTime(benchmark::State& state) {
  bench::ViewStage stage(settingsStage());
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
