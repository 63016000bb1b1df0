// The screen-and-stylus part of the world: what the user does, and the
// window system's own failures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One step of the user's script. Steps happen in order: each at `at` or
// later, never before the step above it, and, with `shown`, only once a
// painted screen shows that text.
struct UiEvent {
  enum Action { Press, Release, Tap, Close, Timer, Start, MessageError, Uncover } action = Tap;
  uint64_t at = 0;        // virtual ms
  std::u16string shown;   // empty: no text to wait for
  uint32_t x = 0, y = 0;  // Press, Release, Tap: the window's client coordinates
  uint32_t timerId = 0;   // Timer: the id WM_TIMER carries
  int line = 0;           // in the scenario file, for messages
};

// RegisterClass and CreateWindowEx failures are faults (fault.h).
struct UiWorld {
  std::vector<UiEvent> events;
  // Virtual ms every EndPaint takes before it returns: a slow display, and
  // a window thread that falls behind its queue meanwhile. 0: none.
  uint32_t paintMs = 0;
};

}  // namespace sim
