// The velmora program. For now it serves the read-only diagnostic report; the tray program
// comes with the desktop shell.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedMachine.h"
#include "shell/DiagnosticReport.h"

namespace {

// No desktop audio backend exists yet: the program runs on the simulated system, with the
// built-in scenario or the one VELMORA_SCENARIO names.
std::unique_ptr<velmora::platform::sim::SimulatedMachine> startSimulatedMachine() {
  using namespace velmora::platform::sim;
  const char* path = std::getenv("VELMORA_SCENARIO");
  Scenario scenario = path != nullptr && *path != '\0' ? loadScenarioFile(path) : builtInScenario();
  std::cerr << "velmora: no desktop audio server backend; showing the simulated system ("
            << (path != nullptr && *path != '\0' ? path : "built-in scenario")
            << "). These devices and applications are not your machine's.\n";
  return std::make_unique<SimulatedMachine>(scenario);
}

}  // namespace

int main(int argc, char** argv) {
  bool diagnose = false;
  for (int i = 1; i < argc; ++i) diagnose = diagnose || std::strcmp(argv[i], "--diagnose") == 0;
  if (!diagnose) {
    std::cerr << "velmora: the tray program is not built yet; run `velmora --diagnose` for the "
                 "device and application report.\n";
    return 2;
  }
  try {
    auto machine = startSimulatedMachine();
    std::cout << velmora::shell::diagnosticReport() << std::flush;
  } catch (const velmora::platform::sim::ScenarioError& error) {
    std::cerr << "velmora: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
