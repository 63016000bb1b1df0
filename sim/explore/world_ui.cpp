// The explorer's worlds: [ui], what the user does.
#include "explore/world.h"

namespace sim::worlds {

namespace {

void slowDisplay(Draft& d) {
  // A slow display now and then, drawn from the stream of later additions:
  // the window thread falls behind its queue, so input, paints and due
  // timers meet there; in a sweep world every probe's line waits for its
  // paint, so the probes outlast the sweep's fixed settle time.
  if (d.more.percent(12)) d.t.num("paint_ms", d.more.range(1, 400));
}

// The user's script: a few steps, each at a later time, ending early at an
// exit (a tap outside the boxes, WM_CLOSE, a failed GetMessage).
void uiScript(Draft& d, bool windowFails) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool workerMayFail = d.workerMayFail;
  if (r.percent(45)) {
    int64_t at = 0;
    bool first = true;
    for (int k = int(r.range(1, 5)); k > 0; k--) {
      at += r.range(0, 25000);
      int64_t x = 0, y = 0;
      auto inBox = [&] {
        x = r.range(210, 219);
        y = r.percent(50) ? r.range(0, 9) : r.range(229, 238);
      };
      auto outside = [&] {
        do {
          x = r.range(0, 230);
          y = r.range(0, 250);
        } while (x >= 210 && x < 220 && (y < 10 || (y >= 229 && y < 239)));
      };
      // A press at (x, y) now, and its release up to `hold` ms later; the
      // caller then sets where the release lands.
      auto pressThenRelease = [&](int64_t hold) {
        t.str("action", "press");
        t.num("x", x);
        t.num("y", y);
        t.array("ui.event");
        at += r.range(0, hold);
        t.num("at", at);
        t.str("action", "release");
      };
      t.array("ui.event");
      if (first && !windowFails && !workerMayFail && r.percent(8)) {
        // Wait for text every run prints first: the step happens inside a paint.
        t.str("shown", r.pick({"Olvash Quorvelta V0.18",
                               "======================", "-Searching for NDIS WLAN NIC"}));
        at = 0;
      }
      first = false;
      t.num("at", at);
      int64_t roll = r.range(0, 99);
      bool ends = false;
      if (roll < 40) {  // scroll by a tap on a box
        inBox();
        t.str("action", "tap");
      } else if (roll < 60) {  // hold a box, then lift inside it or elsewhere
        inBox();
        pressThenRelease(3000);
        if (r.percent(25)) {
          outside();
          ends = true;
        }
      } else if (roll < 66) {  // press elsewhere, lift on a box: no exit
        outside();
        pressThenRelease(500);
        inBox();
      } else if (roll < 74) {
        t.str("action", "timer");
        t.num("id", r.percent(70) ? 746 : r.range(0, 1000));
      } else if (roll < 84) {
        t.str("action", "start");
      } else if (roll < 90) {
        t.str("action", "close");
        ends = true;
      } else if (roll < 92) {
        t.str("action", "message_error");  // the message loop ends at once
        ends = true;
      } else {
        outside();
        t.str("action", "tap");
        ends = true;
      }
      if (roll < 66 || roll >= 92) {
        t.num("x", x);
        t.num("y", y);
      }
      if (d.more.percent(8)) {
        // Another window over ours goes away meanwhile: a WM_PAINT waits
        // until nothing else does.
        t.array("ui.event");
        t.num("at", at + d.more.range(0, 400));
        t.str("action", "uncover");
      }
      if (ends) break;
    }
  }
}

}  // namespace

void uiSection(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  t.table("ui");
  bool windowFails = false;
  if (r.percent(2)) {
    d.everyCall(FaultCall::RegisterClass);
    windowFails = true;
  } else if (r.percent(2)) {
    d.everyCall(FaultCall::CreateWindow);
    windowFails = true;
  }
  slowDisplay(d);
  uiScript(d, windowFails);
}

}  // namespace sim::worlds
