// The field-log reader on any bytes: it may refuse, with one message that
// names a line of the input, but it must never crash or hang; what it
// accepts it turns into a scenario the loader reads without crashing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fromlog/fromlog.h"
#include "scenario/scenario.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string log(reinterpret_cast<const char*>(data), size);
  std::string scenario, summary, error;
  if (!sim::fromlog::scenarioFromLog(log, scenario, summary, error)) {
    require(scenario.empty() && (error.rfind("line ", 0) == 0 || error == "the log is empty" ||
                                 error.rfind("the log's values make no world: ", 0) == 0));
    return 0;
  }
  require(error.empty() && !summary.empty());
  // What it accepts, the loader takes.
  sim::World world;
  std::string refused;
  require(sim::loadScenario(scenario, "from-log.toml", world, refused));
  return 0;
}
