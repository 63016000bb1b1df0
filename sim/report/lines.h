// The console lines a report marks: a verdict says how a node pass or the
// run ended; its causes are the "Check:" list printed under it.
#pragma once
#include <string>
#include <vector>

namespace sim::report {

enum class LineKind { Plain, Verdict, Cause };

bool isVerdict(const std::string& line);
// The kind of each line, in order (a cause only directly under a verdict or
// another cause).
std::vector<LineKind> classifyLines(const std::vector<std::string>& lines);

}  // namespace sim::report
