// The user at the simulated handheld: the scenario's [ui] steps, the tap
// that closes an idle program, and the picture of the screen.
#include <algorithm>
#include <cstdio>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "scenario/world.h"
#include "screen/png_file.h"
#include "screen/winsys.h"
#include "screen/winsys_state.h"

namespace sim {
namespace {

constexpr plat::WPARAM MK_LBUTTON = 0x0001;

struct Script {
  std::function<int()> startProgram;
  size_t next = 0;              // the step to come
  bool waitingForText = false;  // step `next` is due but its text has not shown
  bool idleTapped = false;
  bool toldStuck = false;
};

Script script;

plat::LPARAM pointParam(uint32_t x, uint32_t y) {
  return plat::LPARAM(uintptr_t((x & 0xFFFF) | ((y & 0xFFFF) << 16)));
}

void stylus(const char* call, plat::UINT message, plat::WPARAM keys, uint32_t x, uint32_t y) {
  ws::Window* w = ws::screenWindow();
  trace(call, {{"x", x}, {"y", y}, {"window", w != nullptr}});
  if (w) ws::postInput(*w, message, keys, pointParam(x, y));
}

void postToScreen(plat::UINT message, plat::WPARAM wParam, std::initializer_list<TraceField> f) {
  ws::Window* w = ws::screenWindow();
  trace("PostMessage", f);
  if (w) ws::post(*w, message, wParam, 0);
}

void perform(const UiEvent& e) {
  switch (e.action) {
    case UiEvent::Press:
      stylus("StylusDown", plat::WM_LBUTTONDOWN, MK_LBUTTON, e.x, e.y);
      break;
    case UiEvent::Release:
      host.userEnding = "a tap of the script";
      stylus("StylusUp", plat::WM_LBUTTONUP, 0, e.x, e.y);
      break;
    case UiEvent::Tap:
      host.userEnding = "a tap of the script";
      stylus("StylusDown", plat::WM_LBUTTONDOWN, MK_LBUTTON, e.x, e.y);
      stylus("StylusUp", plat::WM_LBUTTONUP, 0, e.x, e.y);
      break;
    case UiEvent::Close:
      host.userEnding = "WM_CLOSE";
      postToScreen(plat::WM_CLOSE, 0,
                   {{"msg", "WM_CLOSE"}, {"window", ws::screenWindow() != nullptr}});
      break;
    case UiEvent::Timer:
      postToScreen(
          plat::WM_TIMER, e.timerId,
          {{"msg", "WM_TIMER"}, {"id", e.timerId}, {"window", ws::screenWindow() != nullptr}});
      break;
    case UiEvent::Uncover: {
      // A window that lay over ours goes away: the system marks ours for
      // painting and it gets a WM_PAINT when nothing else waits.
      ws::Window* w = ws::screenWindow();
      trace("Uncover", {{"window", w != nullptr}});
      if (w) {
        w->invalid = true;
        w->erase = true;
        wakeAll(&ws::queueOf(w->thread));
      }
      break;
    }
    case UiEvent::MessageError: {
      // The window's thread gets -1 from its next GetMessage.
      ws::Window* w = ws::screenWindow();
      trace("MessageError", {{"window", w != nullptr}});
      host.userEnding = "a failed GetMessage";
      if (w) {
        ws::Queue& q = ws::queueOf(w->thread);
        q.failNext = true;
        wakeAll(&q);
      }
      break;
    }
    case UiEvent::Start: {
      trace("SecondStart", {});
      std::function<int()> start = script.startProgram;
      schedSpawn(
          "second start",
          [start] {
            int code = start ? start() : 0;
            trace("InstanceExit", {{"code", code}});
          },
          0);
      break;
    }
  }
}

bool shows(const std::u16string& text) {
  return ws::state().lastFrameText.find(text) != std::u16string::npos;
}

void armNext();

void fire() {
  script.waitingForText = false;
  perform(world.ui.events[script.next]);
  script.next++;
  armNext();
}

void due() {
  const UiEvent& e = world.ui.events[script.next];
  if (e.shown.empty() || shows(e.shown)) {
    fire();
  } else {
    script.waitingForText = true;
  }
}

void armNext() {
  if (script.next >= world.ui.events.size()) return;
  const UiEvent& e = world.ui.events[script.next];
  // A step that waits for text watches every paint from now on; a timed
  // event would only come once the run gives way.
  if (!e.shown.empty() && e.at <= now()) {
    due();
  } else {
    at(std::max<Ms>(e.at, now()), due);
  }
}

}  // namespace

namespace ws {

void framePainted(Window&) {
  if (script.waitingForText && shows(world.ui.events[script.next].shown)) fire();
}

}  // namespace ws

void scheduleUiScript(std::function<int()> startProgram) {
  script = Script{};
  script.startProgram = std::move(startProgram);
  armNext();
}

bool uiIdle() {
  if (script.waitingForText) {
    if (!script.toldStuck) {
      script.toldStuck = true;
      const UiEvent& e = world.ui.events[script.next];
      std::fprintf(stderr,
                   "quorvelta-sim: %s:%d: the [ui] step waits for \"%s\", which never showed\n",
                   world.file.c_str(), e.line, utf8(e.shown).c_str());
    }
    return false;
  }
  if (script.idleTapped) return false;
  // The run has ended only when every thread left waits for a message; a
  // thread stuck anywhere else is a deadlock to report, not to tap away.
  int waiting = 0;
  for (auto& [thread, q] : ws::state().queues) waiting += q.waiting;
  if (waiting == 0 || waiting != liveThreads()) return false;
  ws::Window* w = ws::screenWindow();
  if (!w || !w->visible) return false;
  script.idleTapped = true;
  uint32_t x = uint32_t(w->width / 2), y = uint32_t(w->height / 2);
  trace("IdleTap", {{"x", x}, {"y", y}});
  host.userEnding = "the exit tap";
  ws::postInput(*w, plat::WM_LBUTTONDOWN, MK_LBUTTON, pointParam(x, y));
  ws::postInput(*w, plat::WM_LBUTTONUP, 0, pointParam(x, y));
  return true;
}

bool writeScreenshot(const std::string& path, std::string& error) {
  Frame f;
  if (!lastFrame(f)) {
    error = "no window was painted";
    return false;
  }
  return writePng(path, f.width, f.height, f.rgb, error);
}

}  // namespace sim
