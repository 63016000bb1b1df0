// What the harness writes on the host around a run: the device's folder
// (checked and emptied before the run), the outputs checked against the
// inputs, the watch for SIGINT and SIGTERM, and the end-of-run summary.
#pragma once
#include <string>
#include <vector>

#include "harness/run.h"

namespace sim {

// The file that marks a folder as a simulated device's, made by the
// harness: such a folder is emptied before the next run in it.
inline constexpr const char* ROOT_MARKER = ".quorvelta-sim-device";

// Makes `root` ready for a run: made if missing, emptied if it holds an
// earlier run's device (its marker), refused if it holds anything else
// unless `reuse` (then every file stays as it is, the device's store as
// found; the summary tells an earlier log from this run's). Answers 0, or
// the exit code with a message naming the folder and the host's reason.
int prepareRoot(const std::string& root, bool reuse, std::string& error);

// Removes a partly written output, if it is a regular file (never a
// device such as /dev/full, nor what a link points to).
void removePartial(const std::string& path);

// Whether two paths name one file (or would, once made).
bool sameFile(const std::string& a, const std::string& b);

// Blocks SIGINT and SIGTERM in this thread and every thread made after it,
// and waits for them on a thread of its own: the first asks the run to
// stop (requestInterrupt), a second ends the process at once. Call before
// the run makes any thread. SIGPIPE and SIGXFSZ are ignored, so that a
// closed pipe or a file size limit shows as a failed write.
void watchSignals();

// The lines the harness prints on standard error at the end of a run.
struct RunReport {
  const RunOutcome* outcome = nullptr;
  std::vector<std::string> written;  // "log: PATH", "trace: PATH", ...
  std::string echoNote;              // what else the user should know (the echo stopped, ...)
};
std::string summary(const RunReport& r);

}  // namespace sim
