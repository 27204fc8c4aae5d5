#include "shell/DiagnosticReport.h"

#include <sstream>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/DecimalText.h"
#include "audio/HAL.h"

namespace velmora::shell {

std::string diagnosticReport() {
  std::ostringstream report;
  report << "Velmora diagnostics (read-only)\n";
  for (const audio::AudioDevice& device : audio::AudioDevice::all()) {
    std::string volume = "unsupported";
    // The volume of the output scope, whatever the device's direction.
    if (const auto value = audio::HAL::volume(device.id, settings::AudioDirection::output))
      volume = audio::decimalText(*value);
    report << "device=" << device.id << " name=" << device.name << " input=" << device.inputs
           << " output=" << device.outputs << " volume=" << volume << "\n";
  }
  for (const audio::AudioApp& app : audio::AudioApp::all()) {
    report << "app=" << app.name << " id=" << app.id << " processes=[";
    for (size_t i = 0; i < app.processes.size(); ++i) report << (i ? ", " : "") << app.processes[i];
    report << "] playing=" << (app.audible ? "true" : "false") << "\n";
  }
  return report.str();
}

}  // namespace velmora::shell
