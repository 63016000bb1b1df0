// Message queues and repainting of the headless window system (its timers
// are in timers.cpp). Each thread that creates a window has a queue;
// GetMessage blocks in the scheduler, and anything that gives the thread
// work wakes it.
//
// GetMessage takes, in the order the device documents ("Receiving and
// Dispatching Messages", Windows CE): sent messages (here the paints that
// another thread's UpdateWindow waits for, delivered inside GetMessage,
// never returned), then posted messages (WM_CLOSE, a posted WM_TIMER) first
// in first out, then input from the user-input system (the stylus) first
// in first out, then the quit message, then WM_PAINT for a window that
// needs painting, and last WM_TIMER for a timer that has fallen due. Input
// after posted messages lets "each input message and all posted messages
// that result from it" be handled before the next input. WM_PAINT and
// WM_TIMER are never queued: they are made when nothing else waits, the
// desktop's order too (PeekMessage: sent, posted, input, WM_PAINT,
// WM_TIMER; Wine's get_message likewise). Wine takes the quit message
// before input, the device after it; the device's order is kept.
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

plat::MSG makeMessage(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  plat::MSG m{};
  m.hwnd = handleOf(w);
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = plat::DWORD(now());
  return m;
}

bool takeFront(std::deque<plat::MSG>& from, plat::MSG* msg) {
  if (from.empty()) return false;
  *msg = from.front();
  from.pop_front();
  return true;
}

}  // namespace

void post(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  Queue& q = queueOf(w.thread);
  q.posted.push_back(makeMessage(w, message, wParam, lParam));
  wakeAll(&q);
}

void postInput(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  Queue& q = queueOf(w.thread);
  q.input.push_back(makeMessage(w, message, wParam, lParam));
  wakeAll(&q);
}

void paintNow(Window& w) {
  if (!w.visible || !w.invalid) return;
  w.proc(handleOf(w), plat::WM_PAINT, 0, 0);
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
    if (takeFront(q.posted, msg) || takeFront(q.input, msg)) return 1;
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
    if (takeDueTimer(thread, *msg)) return 1;
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

}  // namespace plat
