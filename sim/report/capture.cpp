#include "report/capture.h"

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/text.h"
#include "report/lines.h"
#include "report/report.h"
#include "screen/png_file.h"
#include "screen/winsys.h"

namespace sim {
namespace report {

Capture& capture() {
  static Capture c;
  return c;
}

namespace {

void endLine() {
  Capture& c = capture();
  ConsoleLine l;
  l.t = now();
  l.thread = currentThread();
  l.text = utf8(c.open);
  l.verdict = isVerdict(l.text);
  if (l.verdict) {
    // The screen after the verdict: the first paint that shows it. A
    // verdict that no paint showed before the next one keeps no frame.
    c.pendingFrame = int(c.lines.size());
    c.pendingText = c.open;
  }
  c.lines.push_back(std::move(l));
  c.open.clear();
}

// The console sends text and line ends ("\r\n") as separate pieces.
void onDebugText(const char16_t* text) {
  Capture& c = capture();
  for (const char16_t* p = text; *p; p++) {
    if (*p == u'\n') {
      endLine();
    } else if (*p != u'\r') {
      c.open.push_back(*p);
    }
  }
}

void onPaint(const std::u16string& text) {
  Capture& c = capture();
  if (c.pendingFrame < 0 || text.find(c.pendingText) == std::u16string::npos) return;
  Frame f;
  if (!lastFrame(f)) return;
  encodePng(f.width, f.height, f.rgb, c.lines[size_t(c.pendingFrame)].png);
  c.pendingFrame = -1;
}

}  // namespace
}  // namespace report

void reportCapture() {
  report::capture() = report::Capture{};
  host.debugTap = report::onDebugText;
  setPaintTap(report::onPaint);
}

}  // namespace sim
