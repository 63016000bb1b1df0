// The run report: one self-contained HTML page of a run (its timeline on
// device time from the trace, the screen at each verdict and at the end, the
// log with its verdict and cause lines marked), for a support engineer.
#pragma once
#include <string>

namespace sim {

// Starts recording what the report needs besides the trace: the console on
// device time and the frame painted after each verdict. Call before the run.
void reportCapture();

// Writes the page to `path` from the trace the run wrote (`tracePath`) and
// the log it left (`logPath`; a missing log is said on the page). False with
// a reason when a file cannot be read or written.
bool writeReport(const std::string& path, const std::string& tracePath, const std::string& logPath,
                 std::string& error);

}  // namespace sim
