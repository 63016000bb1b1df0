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
    require(scenario.empty() && (error.rfind("line ", 0) == 0 || error == "the log is empty"));
    return 0;
  }
  require(error.empty() && !summary.empty());
  // What the writer makes of it must still load, or be refused with a
  // message (addresses are not yet checked by the reader): never a crash.
  sim::World world;
  std::string refused;
  if (!sim::loadScenario(scenario, "from-log.toml", world, refused)) require(!refused.empty());
  return 0;
}
