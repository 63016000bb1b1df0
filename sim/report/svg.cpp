// Drawing the timeline: one lane per part of the run on a common axis of
// device time; each sweep again on an axis of its own, where its probes,
// a millisecond apart, can be told apart.
#include <algorithm>
#include <cstdio>

#include "report/timeline.h"

namespace sim::report {
namespace {

constexpr int WIDTH = 1160, LEFT = 170, RIGHT = 20, TOP = 28, LANE = 34;
constexpr int VERDICT_ROWS = 3;
// A character of a mark label (10 px sans-serif): about its advance, digits
// and capitals a little more, which the gap between labels takes up.
constexpr double LABEL_CHAR_WIDTH = 6.0;
const char* const LANE_NAMES[LANES] = {
    "scan",  "association",          "addressing", "release & renewal",
    "sweep", "internet & DNS tests", "verdicts"};

std::string num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f", v);
  return b;
}

// 1, 2 or 5 times a power of ten, giving about `ticks` steps over `span`.
uint64_t tickStep(uint64_t span, int ticks) {
  uint64_t step = 1;
  while (step * 10 * uint64_t(ticks) <= span) step *= 10;
  if (step * 5 * uint64_t(ticks) <= span) return step * 5;
  if (step * 2 * uint64_t(ticks) <= span) return step * 2;
  return step;
}

struct Axis {
  uint64_t from = 0, to = 1;
  double x(uint64_t t) const {
    double span = double(to > from ? to - from : 1);
    return LEFT + (double(t < from ? 0 : t - from) / span) * (WIDTH - LEFT - RIGHT);
  }
};

// Ticks in seconds of the run, or (`relative`) in ms from the axis' start.
std::string axisSvg(const Axis& a, int y, int height, bool relative = false) {
  std::string s;
  uint64_t step = tickStep(a.to - a.from, relative ? 8 : 10);
  uint64_t first = relative ? a.from : (a.from + step - 1) / step * step;
  for (uint64_t t = first; t <= a.to; t += step) {
    std::string x = num(a.x(t));
    s += "<line class=\"grid\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + std::to_string(y) +
         "\" y2=\"" + std::to_string(y + height) + "\"/>";
    std::string label = relative                        ? "+" + std::to_string(t - a.from) + " ms"
                        : step >= 1000 && t % 1000 == 0 ? std::to_string(t / 1000) + " s"
                                                        : std::to_string(t) + " ms";
    s += "<text class=\"tick\" x=\"" + x + "\" y=\"" + std::to_string(y - 6) + "\">" + label +
         "</text>";
  }
  return s;
}

std::string markSvg(const Mark& m, const Axis& a, int y, int h, const MarkRef& ref,
                    const char* extraClass, double minWidth = 3) {
  double x = a.x(m.t), w = m.end > m.t ? a.x(m.end) - x : 0;
  if (w < minWidth) {
    x -= minWidth / 2;
    w = minWidth;
  }
  std::string s = "<rect class=\"mark " + std::string(extraClass) + m.kind + "\" data-r=\"" +
                  std::to_string(ref(m)) + "\" x=\"" + num(x) + "\" y=\"" + std::to_string(y) +
                  "\" width=\"" + num(w) + "\" height=\"" + std::to_string(h) + "\"/>";
  return s;
}

}  // namespace

std::string escapeHtml(const std::string& in) {
  std::string s;
  for (char c : in) {
    switch (c) {
      case '<':
        s += "&lt;";
        break;
      case '>':
        s += "&gt;";
        break;
      case '&':
        s += "&amp;";
        break;
      case '"':
        s += "&quot;";
        break;
      default:
        s.push_back(c);
    }
  }
  return s;
}

std::string timelineSvg(const Timeline& tl, const MarkRef& ref) {
  Axis a{0, tl.end ? tl.end : 1};
  int lanesHeight = LANE * (LANES - 1) + LANE * VERDICT_ROWS / 2 + 20;
  int height = TOP + lanesHeight + 10;
  std::string s = "<svg id=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                  std::to_string(WIDTH) + "\" height=\"" + std::to_string(height) + "\">";
  for (int l = 0; l < LANES; l++) {
    int y = TOP + LANE * l;
    s += "<text class=\"lane\" x=\"8\" y=\"" + std::to_string(y + 21) + "\">" + LANE_NAMES[l] +
         "</text>";
    s += "<line class=\"lane-line\" x1=\"" + std::to_string(LEFT) + "\" x2=\"" +
         std::to_string(WIDTH - RIGHT) + "\" y1=\"" + std::to_string(y + 16) + "\" y2=\"" +
         std::to_string(y + 16) + "\"/>";
  }
  s += axisSvg(a, TOP, lanesHeight);
  int verdicts = 0;
  double labelEnd[LANES] = {};  // where each lane's last label ends
  for (const Mark& m : tl.marks) {
    int y = TOP + LANE * m.lane;
    if (m.lane == VERDICTS) {
      std::string x = num(a.x(m.t));
      int row = verdicts++ % VERDICT_ROWS;
      int ty = y + 12 + row * 15;
      s += "<line class=\"verdict-line " + m.kind + "\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" +
           std::to_string(TOP) + "\" y2=\"" + std::to_string(ty) + "\"/>";
      int r = ref(m);
      // Labels of late verdicts end at their line, so they stay on the page.
      bool late = a.x(m.t) > WIDTH - 330;
      s += "<text class=\"verdict-label " + m.kind + "\" data-r=\"" + std::to_string(r) +
           "\" x=\"" + num(a.x(m.t) + (late ? -3 : 3)) + "\" y=\"" + std::to_string(ty + 4) + "\"" +
           (late ? " text-anchor=\"end\"" : "") + ">" + escapeHtml(m.label) + "</text>";
      continue;
    }
    s += markSvg(m, a, y + 8, 16, ref, "");
    if (!m.label.empty() && (m.lane == ASSOCIATION || m.lane == TESTS || m.lane == SCAN ||
                             m.lane == SWEEP || m.label == "renew")) {
      // A label that would run into the one before it moves up to its end;
      // one that would then run off the page ends at its edge instead, and
      // one that has no room left there either is left out (its mark still
      // shows the record).
      const double width = LABEL_CHAR_WIDTH * double(m.label.size());
      double x = std::max(a.x(m.t) + 2, labelEnd[m.lane] + 4);
      if (x + width > WIDTH - 2) {
        x = WIDTH - 2 - width;
        if (x < labelEnd[m.lane] + 4 || x < LEFT) continue;
      }
      labelEnd[m.lane] = x + width;
      s += "<text class=\"mark-label\" x=\"" + num(x) + "\" y=\"" + std::to_string(y + 6) + "\">" +
           escapeHtml(m.label) + "</text>";
    }
  }
  s += "</svg>";
  return s;
}

std::string sweepSvg(const Sweep& sw, size_t number, const MarkRef& ref) {
  // The axis ends a little after the last probe was sent: the settle time
  // after it would squeeze the probes into a corner.
  uint64_t last = sw.start;
  for (const Mark& m : sw.probes) last = std::max(last, m.t);
  Axis a{sw.start, last + 1 + (last - sw.start) / 50};
  double perMs = (WIDTH - LEFT - RIGHT) / double(a.to - a.from);
  int height = TOP + 70;
  std::string s = "<svg class=\"sweep\" id=\"sweep-" + std::to_string(number) +
                  "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(WIDTH) +
                  "\" height=\"" + std::to_string(height) + "\">";
  s += "<text class=\"lane\" x=\"8\" y=\"" + std::to_string(TOP + 26) + "\">sweep " +
       std::to_string(number) + "</text>";
  s += axisSvg(a, TOP, 50, true);
  for (const Mark& m : sw.probes) {
    bool found = m.kind == "answered" || m.kind == "error";
    // What answered stands out: taller than the marks around it.
    s += markSvg(m, a, found ? TOP + 4 : TOP + 14, found ? 40 : 20, ref, "probe ",
                 std::max(1.0, std::min(3.0, perMs)));
  }
  s += "</svg>";
  return s;
}

}  // namespace sim::report
