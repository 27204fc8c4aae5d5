// The panel on a busy machine (40 applications, 8 devices), offscreen: building it, and applying
// one model publish in which one application's volume changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <filesystem>

#include "model/AppModel.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "ui/MainPanel.h"
#include "ui/ModelBridge.h"

namespace {

using namespace velmora;

platform::sim::Scenario panelMachine() {
  platform::sim::Scenario s;
  for (int d = 0; d < 8; ++d) {
    platform::sim::ScenarioDevice device;
    device.uid = "device-" + std::to_string(d);
    device.name = "设备 " + std::to_string(d);
    device.output.streams = {2};
    device.output.volume = {{0, 0.5f, true}};
    if (d % 2 == 0) device.input.streams = {1};
    s.devices.push_back(device);
  }
  s.defaultOutputUID = "device-0";
  s.defaultInputUID = "device-0";
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

struct Stage {
  Stage() : machine(panelMachine()), queue(clock) {
    std::filesystem::remove_all(folder);
    model = std::make_unique<model::AppModel>(true,
                                              settings::PreferencesStore(folder / "settings.json"),
                                              model::AppModel::Services{queue, [](double) {}});
    queue.advance(1.0);
    for (const settings::DeviceBookmark& b : model->bookmarks()) {
      model->setDeviceVisible(b, model::AudioDirection::output, true);
    }
    model->setProcessing(true);
    queue.advance(1.0);
    model->engine().queue().sync([] {});
    queue.runPending();
    bridge = std::make_unique<ui::ModelBridge>(*model);
  }
  ~Stage() {
    bridge.reset();
    model.reset();
    std::filesystem::remove_all(folder);
  }
  platform::sim::SimulatedMachine machine;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-panel-benchmark";
  platform::ManualClock clock;
  platform::ManualScheduler queue;
  std::unique_ptr<model::AppModel> model;
  std::unique_ptr<ui::ModelBridge> bridge;
};

void buildPanel(benchmark::State& state) {
  Stage stage;
  for (auto _ : state) {
    ui::MainPanel panel(*stage.bridge, {});
    panel.adjustSize();
    benchmark::DoNotOptimize(&panel);
  }
}

void publishOneVolume(benchmark::State& state) {
  Stage stage;
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
