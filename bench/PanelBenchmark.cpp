// The panel on a busy machine (40 applications, 8 devices), offscreen: building it, and applying
// one model publish in which one application's volume changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <filesystem>

#include "bench/ViewStage.h"
#include "ui/MainPanel.h"

namespace {

using namespace velmora;

platform::sim::Scenario panelMachine() {
  platform::sim::Scenario s = bench::machineWithDevices(8, 2);
  for (int a = 0; a < 40; ++a) {
    const std::string id = "com.example.app" + std::to_string(a);
    const std::string path = "/Applications/App " + std::to_string(a) + ".app";
    s.bundles.push_back(
        {path, id, {{"CFBundleName", std::string("应用 ") + std::to_string(a)}}, {}, {}, true});
    platform::sim::ScenarioProcess process;
    process.pid = 1000 + a;
    process.bundleID = id;
    process.executable = path + "/Contents/MacOS/app";
    process.tones = {{440.0, 0.1f}};
    process.application = platform::RunningApplication{path, id, "App", {}};
    s.processes.push_back(process);
  }
  return s;
}

bench::ViewStage panelStage() {
  return bench::ViewStage(panelMachine(), "velmora-panel-benchmark", [](model::AppModel& model) {
    for (const settings::DeviceBookmark& b : model.bookmarks()) {
      model.setDeviceVisible(b, model::AudioDirection::output, true);
    }
    model.setProcessing(true);
  });
}

void buildPanel(benchmark::State& state) {
  bench::ViewStage stage(panelStage());
  for (auto _ : state) {
    ui::MainPanel panel(*stage.bridge, {});
    panel.adjustSize();
    benchmark::DoNotOptimize(&panel);
  }
}

void publishOneVolume(benchmark::State& state) {
  bench::ViewStage stage(panelStage());
  ui::MainPanel panel(*stage.bridge, {});
  panel.show();
  QCoreApplication::processEvents();
  const std::string app = stage.model->visibleApps().at(7).id;
  float volume = 0.3f;
  for (auto _ : state) {
    volume = volume > 0.5f ? 0.3f : 0.7f;
    stage.model->setAppVolume(app, volume);  // the model's own work is not the views'
    const auto start = std::chrono::steady_clock::now();
    QCoreApplication::sendPostedEvents();  // the bridge's delivery: the views update
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    stage.model->engine().queue().sync([] {});
    stage.queue.runPending();
    QCoreApplication::processEvents();
  }
}

BENCHMARK(buildPanel)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(publishOneVolume)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime()
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
