// The velmora program. For now it serves the read-only diagnostic report; the tray program
// comes with the desktop shell.
#include <cstring>
#include <iostream>

#include "platform/sim/ScenarioFile.h"
#include "shell/AudioSystem.h"
#include "shell/DiagnosticReport.h"

int main(int argc, char** argv) {
  bool diagnose = false;
  for (int i = 1; i < argc; ++i) diagnose = diagnose || std::strcmp(argv[i], "--diagnose") == 0;
  if (!diagnose) {
    std::cerr << "velmora: the tray program is not built yet; run `velmora --diagnose` for the "
                 "device and application report.\n";
    return 2;
  }
  try {
    auto audio = velmora::shell::installAudioSystem();
    if (!audio->waitUntilConnected(2000)) std::cerr << "velmora: 未连接到 PipeWire，正在重试…\n";
    std::cout << velmora::shell::diagnosticReport() << std::flush;
  } catch (const velmora::platform::sim::ScenarioError& error) {
    std::cerr << "velmora: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
