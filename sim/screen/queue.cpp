// Message queues, repainting and window timers of the headless window
// system. Each thread that creates a window has a queue; GetMessage blocks
// in the scheduler, and anything that gives the thread work wakes it.
//
// GetMessage takes, in this order: paints that another thread's
// UpdateWindow is waiting for (delivered as sent messages, never returned),
// posted messages (stylus, timers, WM_CLOSE) first in first out, the quit
// message, and last WM_PAINT for a window that needs painting.
#include <algorithm>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "screen/winsys_state.h"
#include "system/switch_point.h"

namespace sim {
namespace ws {

namespace {

Window* windowNeedingPaint(int thread) {
  for (auto& w : state().windows)
    if (!w->destroyed && w->thread == thread && w->visible && w->invalid) return w.get();
  return nullptr;
}

// Paints every window that another thread's UpdateWindow waits for, and
// lets the senders go on.
void deliverSent(Queue& q) {
  while (!q.sent.empty()) {
    SentPaint* p = q.sent.front();
    q.sent.pop_front();
    if (Window* w = windowOf(p->window)) paintNow(*w);
    p->done = true;
    wakeAll(p);
  }
}

bool timerPending(const Queue& q, plat::HWND window, uintptr_t id) {
  for (const plat::MSG& m : q.posted)
    if (m.hwnd == window && m.message == plat::WM_TIMER && m.wParam == id) return true;
  return false;
}

void scheduleTick(const Timer& t);

void tick(plat::HWND window, uintptr_t id, uint64_t generation) {
  State& s = state();
  auto it = std::find_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) {
    return t.window == window && t.id == id && t.generation == generation;
  });
  if (it == s.timers.end()) return;  // killed or restarted since
  Window* w = windowOf(window);
  if (!w) return;
  // Like the device, a timer that is not being served does not pile up
  // messages: one WM_TIMER waits at most.
  if (!timerPending(queueOf(w->thread), window, id)) post(*w, plat::WM_TIMER, id, 0);
  scheduleTick(*it);
}

void scheduleTick(const Timer& t) {
  plat::HWND window = t.window;
  uintptr_t id = t.id;
  uint64_t generation = t.generation;
  at(now() + t.elapse, [window, id, generation] { tick(window, id, generation); });
}

}  // namespace

void post(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  plat::MSG m{};
  m.hwnd = handleOf(w);
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = plat::DWORD(now());
  Queue& q = queueOf(w.thread);
  q.posted.push_back(m);
  wakeAll(&q);
}

void paintNow(Window& w) {
  if (!w.visible || !w.invalid) return;
  w.proc(handleOf(w), plat::WM_PAINT, 0, 0);
}

void killTimers(plat::HWND window) {
  auto& t = state().timers;
  t.erase(
      std::remove_if(t.begin(), t.end(), [window](const Timer& x) { return x.window == window; }),
      t.end());
}

const char* messageName(plat::UINT message) {
  switch (message) {
    case plat::WM_DESTROY:
      return "WM_DESTROY";
    case plat::WM_PAINT:
      return "WM_PAINT";
    case plat::WM_CLOSE:
      return "WM_CLOSE";
    case plat::WM_QUIT:
      return "WM_QUIT";
    case plat::WM_TIMER:
      return "WM_TIMER";
    case plat::WM_LBUTTONDOWN:
      return "WM_LBUTTONDOWN";
    case plat::WM_LBUTTONUP:
      return "WM_LBUTTONUP";
    default:
      return "other";
  }
}

}  // namespace ws
}  // namespace sim

namespace plat {

using namespace sim;
using namespace sim::ws;

// The window and message-range filters are not modelled: the program asks
// for every message of its thread.
BOOL getMessage(MSG* msg, HWND, UINT, UINT) {
  sim::switchPoint();
  int thread = currentThread();
  Queue& q = queueOf(thread);
  for (;;) {
    if (q.failNext) {
      q.failNext = false;
      trace("GetMessage", {{"answer", -1}});
      setLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
      return -1;
    }
    deliverSent(q);
    if (!q.posted.empty()) {
      *msg = q.posted.front();
      q.posted.pop_front();
      return 1;
    }
    if (q.quit) {
      q.quit = false;
      *msg = MSG{};
      msg->message = WM_QUIT;
      msg->wParam = WPARAM(q.quitCode);
      msg->time = DWORD(now());
      return 0;
    }
    if (Window* w = windowNeedingPaint(thread)) {
      *msg = MSG{};
      msg->hwnd = handleOf(*w);
      msg->message = WM_PAINT;
      msg->time = DWORD(now());
      return 1;
    }
    q.waiting++;
    waitOn(&q, NEVER, "GetMessage");
    q.waiting--;
  }
}

BOOL translateMessage(const MSG*) { return 0; }  // no keyboard on this device

LRESULT dispatchMessage(const MSG* msg) {
  sim::switchPoint();
  sim::switchPoint();
  Window* w = windowOf(msg->hwnd);
  if (msg->message != WM_PAINT) {
    if (msg->message == WM_LBUTTONDOWN || msg->message == WM_LBUTTONUP) {
      trace("DispatchMessage", {{"msg", messageName(msg->message)},
                                {"x", int64_t(msg->lParam & 0xFFFF)},
                                {"y", int64_t((msg->lParam >> 16) & 0xFFFF)}});
    } else if (msg->message == WM_TIMER) {
      trace("DispatchMessage", {{"msg", "WM_TIMER"}, {"id", uint64_t(msg->wParam)}});
    } else {
      trace("DispatchMessage", {{"msg", messageName(msg->message)}, {"number", msg->message}});
    }
  }
  if (!w) return 0;
  return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void postQuitMessage(int exitCode) {
  sim::switchPoint();
  trace("PostQuitMessage", {{"code", exitCode}});
  Queue& q = queueOf(currentThread());
  q.quit = true;
  q.quitCode = exitCode;
}

// The whole window is marked, whatever the rectangle: the program repaints
// all of it anyway.
BOOL invalidateRect(HWND window, const RECT*, BOOL erase) {
  sim::switchPoint();
  Window* w = windowOf(window);
  if (!w) return 0;
  w->invalid = true;
  if (erase) w->erase = true;
  wakeAll(&queueOf(w->thread));  // its GetMessage now has a WM_PAINT to give
  return 1;
}

BOOL updateWindow(HWND window) {
  sim::switchPoint();
  Window* w = windowOf(window);
  if (!w) return 0;
  if (!w->visible || !w->invalid) return 1;
  bool cross = w->thread != currentThread();
  trace("UpdateWindow", {{"cross", cross}});
  if (!cross) {
    paintNow(*w);
    return 1;
  }
  // A send to another thread: it paints the next time it looks at its
  // queue, and this thread waits for that.
  SentPaint p;
  p.window = window;
  Queue& q = queueOf(w->thread);
  q.sent.push_back(&p);
  wakeAll(&q);
  while (!p.done) waitOn(&p, NEVER, "UpdateWindow");
  return 1;
}

uintptr_t setTimer(HWND window, uintptr_t id, UINT elapse, void* timerProc) {
  sim::switchPoint();
  Window* w = windowOf(window);
  trace(
      "SetTimer",
      {{"id", uint64_t(id)}, {"ms", elapse}, {"proc", timerProc != nullptr}, {"ok", w != nullptr}});
  // Timer procedures and window-less timers are not modelled; the program
  // uses neither.
  if (!w || timerProc) return 0;
  elapse = std::max(elapse, USER_TIMER_MINIMUM);
  State& s = state();
  auto it = std::find_if(s.timers.begin(), s.timers.end(),
                         [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == s.timers.end()) {
    s.timers.push_back({window, id, elapse, 0});
    it = s.timers.end() - 1;
  }
  // Setting a running timer again restarts its period.
  it->elapse = elapse;
  it->generation = ++s.timerGeneration;
  scheduleTick(*it);
  return id;
}

BOOL killTimer(HWND window, uintptr_t id) {
  sim::switchPoint();
  State& s = state();
  auto it = std::find_if(s.timers.begin(), s.timers.end(),
                         [&](const Timer& t) { return t.window == window && t.id == id; });
  bool found = it != s.timers.end();
  trace("KillTimer", {{"id", uint64_t(id)}, {"found", found}});
  if (!found) return 0;
  s.timers.erase(it);
  // A WM_TIMER already waiting in the queue goes with the timer.
  if (Window* w = windowOf(window)) {
    Queue& q = queueOf(w->thread);
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(),
                                  [&](const MSG& m) {
                                    return m.hwnd == window && m.message == WM_TIMER &&
                                           m.wParam == id;
                                  }),
                   q.posted.end());
  }
  return 1;
}

}  // namespace plat
