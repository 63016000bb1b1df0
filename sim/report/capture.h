// What the run report records while the run goes: the console's whole
// lines on device time and the frame painted after each verdict line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim::report {

struct ConsoleLine {
  uint64_t t = 0;    // virtual ms when the line was ended
  int thread = 0;    // the thread that ended it
  std::string text;  // UTF-8, without the line end
  bool verdict = false;
  std::string png;  // verdicts: the frame painted next that shows the line
};

struct Capture {
  std::vector<ConsoleLine> lines;
  std::u16string open;    // the line being written
  int pendingFrame = -1;  // the verdict line still waiting for its paint
  std::u16string pendingText;
};

Capture& capture();

}  // namespace sim::report
