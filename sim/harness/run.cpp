#include "harness/run.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
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
#include "system/switch_point.h"

namespace sim {
namespace {

// Every folder of `path` that is missing; false with the host's reason
// when one cannot be made.
bool makeDirs(const std::string& path, std::string& error) {
  std::string p;
  std::stringstream ss(path);
  std::string part;
  if (!path.empty() && path[0] == '/') p.push_back('/');
  while (std::getline(ss, part, '/')) {
    if (part.empty()) continue;
    p += part;
    p += '/';
    struct stat st;
    if (mkdir(p.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot make the folder " + p + ": " + std::strerror(errno);
      return false;
    }
    if (stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = "cannot make the folder " + p + ": " + std::strerror(ENOTDIR);
      return false;
    }
  }
  return true;
}

char16_t emptyCommandLine[1] = {0};

int startProgram() { return programEntry(nullptr, nullptr, emptyCommandLine, 1); }

}  // namespace

RunOutcome runOnce(const RunSetup& setup) {
  RunOutcome out;
  host.root = setup.root;
  if (!makeDirs(setup.root, out.setupError)) return out;
  if (world.system.tempExists && !makeDirs(setup.root + "/Temp", out.setupError)) return out;
  if (!setup.tracePath.empty() && !traceOpen(setup.tracePath) && setup.traceRequired) {
    traceClose(out.setupError);
    out.setupError = "cannot write " + setup.tracePath + ": " + out.setupError;
    return out;
  }
  out.ran = true;

  schedConfigure(setup.pace);
  // The user: the scenario's [ui] steps (a second start runs the program
  // again beside the first), and the tap that closes an idle program.
  scheduleUiScript(startProgram);
  setIdleHook(uiIdle);
  RunResult r = schedRun("ui", [] { plat::exitProcess(plat::UINT(startProgram())); });

  out.deadlock = r.reason == EndReason::Deadlock;
  out.hostFailure = r.reason == EndReason::HostLimit;
  out.interrupted = r.reason == EndReason::Interrupted;
  out.exitCode = out.deadlock ? 3 : r.exitCode;
  if (out.hostFailure) out.hostReason = r.report;
  out.endedAt = now();
  out.threads = out.deadlock ? r.report : "";
  // The end-of-run record: what the run left behind, and the faults the
  // scenario switched on that never fired. An interrupted run's trace ends
  // with the record saying so instead.
  if (!out.interrupted && !out.hostFailure && world.system.switchPercent)
    trace("sim.switches", {{"made", switchesMade()}});
  if (!out.interrupted && !out.hostFailure)
    trace("sim.end", {{"default_routes", defaultRoutesLeft()},
                      {"threads_peak", peakThreads()},
                      {"unreached", unreachedFaults()}});
  if (!traceClose(out.traceError) && !setup.tracePath.empty())
    out.traceError = "cannot write " + setup.tracePath + ": " + out.traceError;
  return out;
}

}  // namespace sim
