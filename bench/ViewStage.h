// What the view benchmarks measure and the screenshot programs photograph: a simulated machine, a
// model on virtual time with its settings in a folder of its own, and the bridge the views bind to.
#pragma once

#include <QCoreApplication>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "model/AppModel.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "ui/ModelBridge.h"

namespace velmora::bench {

// `count` stereo outputs named "设备 n"; every `inputEvery`-th one also records.
inline platform::sim::Scenario machineWithDevices(int count, int inputEvery) {
  platform::sim::Scenario s;
  for (int d = 0; d < count; ++d) {
    platform::sim::ScenarioDevice device;
    device.uid = "device-" + std::to_string(d);
    device.name = "设备 " + std::to_string(d);
    device.output.streams = {2};
    device.output.volume = {{0, 0.5f, true}};
    if (d % inputEvery == 0) device.input.streams = {1};
    s.devices.push_back(device);
  }
  s.defaultOutputUID = "device-0";
  s.defaultInputUID = "device-0";
  return s;
}

struct ViewStage {
  // The model has not looked at the machine yet, and there is no bridge.
  ViewStage(platform::sim::Scenario scenario, const std::string& name)
      : machine(std::move(scenario)),
        folder(std::filesystem::temp_directory_path() / name),
        queue(clock) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    model = std::make_unique<model::AppModel>(true,
                                              settings::PreferencesStore(folder / "settings.json"),
                                              model::AppModel::Services{queue, [](double) {}});
  }
  // `prepare` runs once the model has seen the machine; the bridge is made after its changes have
  // been refreshed and published.
  ViewStage(platform::sim::Scenario scenario, const std::string& name,
            const std::function<void(model::AppModel&)>& prepare)
      : ViewStage(std::move(scenario), name) {
    advance(1.0);
    prepare(*model);
    advance(1.0);
    bridge = std::make_unique<ui::ModelBridge>(*model);
  }
  ~ViewStage() {
    machine.bluetooth().holdConnections(false);  // a held connection would block the model's end
    bridge.reset();
    model.reset();
    std::filesystem::remove_all(folder);
  }
  ViewStage(const ViewStage&) = delete;
  ViewStage& operator=(const ViewStage&) = delete;

  // Virtual time passes; the engine and the scans finish; the views catch up.
  void advance(double seconds) {
    queue.advance(seconds);
    model->utilityQueue().sync([] {});
    model->engine().queue().sync([] {});
    queue.runPending();
    QCoreApplication::processEvents();
  }
  settings::DeviceBookmark bookmark(const std::string& id) const {
    for (const settings::DeviceBookmark& b : model->bookmarks()) {
      if (b.id == id) return b;
    }
    throw std::runtime_error("no bookmark " + id);
  }

  platform::sim::SimulatedMachine machine;
  std::filesystem::path folder;
  platform::ManualClock clock;
  platform::ManualScheduler queue;
  std::unique_ptr<model::AppModel> model;
  std::unique_ptr<ui::ModelBridge> bridge;
};

}  // namespace velmora::bench
