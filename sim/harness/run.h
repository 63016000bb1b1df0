// The one run sequence of the simulated handheld: the device's folders, the
// trace, the user's script, the program's first thread, the end of the run.
// The single run (main.cpp) and every explorer child go through it, so a
// world the explorer prints replays with --scenario exactly as it ran.
#pragma once
#include <cstdint>
#include <string>

namespace sim {

struct RunSetup {
  std::string root;       // the device's file system (made if missing)
  std::string tracePath;  // the request trace; empty: none
  // A trace that cannot be written refuses the run (the command line), or
  // the run goes on without it (an explorer child: the parent finds the
  // trace missing and reports the run).
  bool traceRequired = true;
  double pace = 0;  // real seconds added per simulated second
};

struct RunOutcome {
  bool ran = false;          // false: the device's folders or the trace could not be made
  std::string setupError;    // why not, with the host's reason
  int exitCode = 0;          // the program's; 3 (deadlock), 71 or 74 (host), 128 + signal
  bool deadlock = false;     // every thread waited and nothing was scheduled
  bool hostFailure = false;  // the host refused a thread, memory or a write: see hostReason
  std::string hostReason;
  bool interrupted = false;  // SIGINT or SIGTERM
  uint64_t endedAt = 0;      // virtual ms when the run ended
  std::string threads;       // the threads' states, for a deadlock
  std::string traceError;    // the trace could not be written whole: the host's reason
};

// Runs the program once on sim::world as the scenario loader left it, with
// the device's root at setup.root (the caller sets whether sim::host
// echoes). The trace is closed, with its
// end-of-run record, when this returns. Called once per process.
RunOutcome runOnce(const RunSetup& setup);

}  // namespace sim
