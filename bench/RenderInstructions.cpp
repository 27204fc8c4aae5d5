// Renders a fixed number of callbacks of one scenario, for counting instructions under
// callgrind (bench/callgrind.sh): a figure that does not wander with the machine's load.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RenderScenarios.h"

int main(int argc, char** argv) {
  using velmora::bench::Scenario;
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: %s one_stereo_route_eq_off|four_stereo_routes_eq_on|"
                 "mono_tap_four_routes_eq_off CALLBACKS\n",
                 argv[0]);
    return 2;
  }
  Scenario scenario = Scenario::oneStereoRoute;
  for (Scenario s :
       {Scenario::oneStereoRoute, Scenario::fourRoutesEQ, Scenario::monoTapFourRoutes}) {
    if (std::strcmp(argv[1], velmora::bench::scenarioName(s)) == 0) scenario = s;
  }
  velmora::bench::RenderSetup setup(scenario);
  const long callbacks = std::strtol(argv[2], nullptr, 10);
  for (long i = 0; i < callbacks; ++i) setup.render();
  std::printf("%s: %ld callbacks, output peak %.3f\n", argv[1], callbacks, setup.outputPeak());
  return 0;
}
