// One model refresh when nothing changes, as the 1.5 s timer runs it on the main thread.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "BusyMachine.h"
#include "model/AppModel.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

void refresh(benchmark::State& state) {
  using namespace velmora;
  platform::sim::SimulatedMachine machine(bench::busyMachine());
  platform::ManualClock clock;
  platform::ManualScheduler mainQueue(clock);
  const auto folder = std::filesystem::temp_directory_path() / "velmora-refresh-benchmark";
  std::filesystem::remove_all(folder);
  model::AppModel model(true, settings::PreferencesStore(folder / "settings.json"),
                        model::AppModel::Services{mainQueue, [](double) {}});
  mainQueue.advance(1.0);  // the first save
  for (auto _ : state) {
    model.refresh(true);
    state.PauseTiming();
    model.engine().queue().sync([] {});
    mainQueue.runPending();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
}

BENCHMARK(refresh)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
