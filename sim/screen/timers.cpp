// Window timers of the headless window system, as the device keeps them:
// "the timers are kept in a list on the message queue. If there are no
// other higher priority posted messages, the list is searched for timers
// that have fired" (KillTimer, Windows CE 5.0). A timer is therefore never a
// message waiting in the queue. When it falls due it only wakes its
// thread; GetMessage makes a WM_TIMER of it last of all, after sent,
// posted and input messages, the quit message and WM_PAINT (queue.cpp), and
// one WM_TIMER however many periods passed meanwhile: taking it restarts
// the timer at its next due time after now, on the period it kept (Wine's
// server does the same: restart_timer when an expired timer is taken).
//
// KillTimer takes the timer out of the list, so a tick that had fallen
// due and was not yet taken never arrives ("After the timer terminates,
// you will not get WM_TIMER messages regardless of whether the timer has
// fired", KillTimer, Windows CE 5.0; Wine's kill_win_timer frees the timer
// from the expired list alike). A WM_TIMER that someone posted with
// PostMessage is an ordinary posted message and stays.
#include <algorithm>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "screen/winsys_state.h"
#include "system/switch_point.h"

namespace sim {
namespace ws {

namespace {

Timer* findTimer(plat::HWND window, uintptr_t id) {
  auto& t = state().timers;
  auto it = std::find_if(t.begin(), t.end(),
                         [&](const Timer& x) { return x.window == window && x.id == id; });
  return it == t.end() ? nullptr : &*it;
}

// Wakes the window's thread when the timer falls due, unless it was
// restarted, taken or killed since.
void armWake(Timer& t) {
  t.generation = ++state().timerGeneration;
  plat::HWND window = t.window;
  uintptr_t id = t.id;
  uint64_t generation = t.generation;
  at(t.due, [window, id, generation] {
    Timer* x = findTimer(window, id);
    Window* w = windowOf(window);
    if (!x || x->generation != generation || !w) return;
    trace("TimerDue", {{"id", uint64_t(id)}});
    wakeAll(&queueOf(w->thread));
  });
}

}  // namespace

void killTimers(plat::HWND window) {
  auto& t = state().timers;
  t.erase(
      std::remove_if(t.begin(), t.end(), [window](const Timer& x) { return x.window == window; }),
      t.end());
}

bool takeDueTimer(int thread, plat::MSG& msg) {
  Timer* pick = nullptr;
  for (Timer& t : state().timers) {
    Window* w = windowOf(t.window);
    if (!w || w->thread != thread || t.due > now()) continue;
    if (!pick || t.due < pick->due) pick = &t;  // ties: the timer set first
  }
  if (!pick) return false;
  msg = plat::MSG{};
  msg.hwnd = pick->window;
  msg.message = plat::WM_TIMER;
  msg.wParam = pick->id;
  msg.time = plat::DWORD(now());
  // The periods missed while nobody asked coalesce into this one message.
  while (pick->due <= now()) pick->due += pick->elapse;
  armWake(*pick);
  return true;
}

}  // namespace ws
}  // namespace sim

namespace plat {

using namespace sim;
using namespace sim::ws;

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
  Timer* t = findTimer(window, id);
  if (!t) {
    state().timers.push_back({window, id, elapse, 0, 0});
    t = &state().timers.back();
  }
  // Setting a running timer again restarts its period, and a tick that
  // was due goes.
  t->elapse = elapse;
  t->due = now() + elapse;
  armWake(*t);
  return id;
}

BOOL killTimer(HWND window, uintptr_t id) {
  sim::switchPoint();
  Timer* t = findTimer(window, id);
  bool due = t && t->due <= now();
  trace("KillTimer", {{"id", uint64_t(id)}, {"found", t != nullptr}, {"due", due}});
  if (!t) return 0;
  auto& all = state().timers;
  all.erase(all.begin() + (t - all.data()));
  return 1;
}

}  // namespace plat
