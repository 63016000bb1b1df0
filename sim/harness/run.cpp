#include "harness/run.h"

#include <sys/stat.h>

#include <sstream>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "ip/ipstack.h"
#include "platform/core.h"
#include "platform/window.h"
#include "scenario/fault.h"
#include "scenario/world.h"
#include "screen/winsys.h"

namespace sim {
namespace {

// Every folder of `path` that is missing; one that cannot be made shows
// later, when the program's file opens fail.
void makeDirs(const std::string& path) {
  std::string p;
  std::stringstream ss(path);
  std::string part;
  if (!path.empty() && path[0] == '/') p.push_back('/');
  while (std::getline(ss, part, '/')) {
    if (part.empty()) continue;
    p += part;
    p += '/';
    mkdir(p.c_str(), 0755);
  }
}

char16_t emptyCommandLine[1] = {0};

int startProgram() { return programEntry(nullptr, nullptr, emptyCommandLine, 1); }

}  // namespace

RunOutcome runOnce(const RunSetup& setup) {
  RunOutcome out;
  host.root = setup.root;
  makeDirs(setup.root);
  if (world.system.tempExists) makeDirs(setup.root + "/Temp");
  if (!setup.tracePath.empty() && !traceOpen(setup.tracePath) && setup.traceRequired) return out;
  out.ran = true;

  schedConfigure(setup.pace);
  // The user: the scenario's [ui] steps (a second start runs the program
  // again beside the first), and the tap that closes an idle program.
  scheduleUiScript(startProgram);
  setIdleHook(uiIdle);
  RunResult r = schedRun("ui", [] { plat::exitProcess(plat::UINT(startProgram())); });

  out.deadlock = r.reason == EndReason::Deadlock;
  out.exitCode = out.deadlock ? 3 : r.exitCode;
  out.endedAt = now();
  out.threads = r.report;
  // The end-of-run record: what the run left behind, and the faults the
  // scenario switched on that never fired.
  trace("sim.end", {{"default_routes", defaultRoutesLeft()},
                    {"threads_peak", peakThreads()},
                    {"unreached", unreachedFaults()}});
  traceClose();
  return out;
}

}  // namespace sim
