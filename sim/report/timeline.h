// The run's timeline: what each trace record and verdict line becomes on
// the page's lanes, and the SVG drawn from it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "report/capture.h"
#include "report/records.h"

namespace sim::report {

enum Lane { SCAN, ASSOCIATION, ADDRESSING, RENEWAL, SWEEP, TESTS, VERDICTS, LANES };

// One mark: a record (`record` >= 0, an index into the trace) or a console
// line (`line` >= 0). `end` > `t` draws a bar (a wait, a round trip).
struct Mark {
  Lane lane = SCAN;
  uint64_t t = 0, end = 0;
  std::string kind;  // CSS class: ok, fail, answered, error, noanswer, unprobed, ...
  std::string label;
  int record = -1, line = -1;
};

// One sweep of the usual AP subnets: its window and one mark per probe.
struct Sweep {
  uint64_t start = 0, end = 0;
  std::vector<Mark> probes;
};

struct Timeline {
  uint64_t end = 0;  // the last record's time
  std::vector<Mark> marks;
  std::vector<Sweep> sweeps;
};

Timeline buildTimeline(const std::vector<Record>& trace, const std::vector<ConsoleLine>& console);
// The SVG of the whole run and of one sweep; `ref` answers the index of a
// mark's record in the page's record list (data-r of its element).
using MarkRef = std::function<int(const Mark&)>;
std::string timelineSvg(const Timeline& t, const MarkRef& ref);
std::string sweepSvg(const Sweep& s, size_t number, const MarkRef& ref);
std::string escapeHtml(const std::string& s);

}  // namespace sim::report
