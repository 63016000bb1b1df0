// The simulated window system under the scheduler: the order GetMessage
// gives things in (sent, posted, input, quit, WM_PAINT, WM_TIMER),
// UpdateWindow from another thread, timers on the virtual clock (a due
// tick made only when nothing else waits, coalesced, dropped by KillTimer),
// and the idle tap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/scheduler.h"
#include "platform/core.h"
#include "platform/window.h"
#include "scenario/world.h"
#include "screen/winsys.h"
#include "screen/winsys_state.h"
#include "ui_testing.h"

namespace {

std::vector<std::string> seen;  // what the window procedure got, in order
plat::HWND window;

void note(const std::string& s) { seen.push_back(s + "@" + std::to_string(sim::now())); }

plat::LRESULT recordingProc(plat::HWND w, plat::UINT m, plat::WPARAM wp, plat::LPARAM lp) {
  switch (m) {
    case plat::WM_PAINT: {
      note("paint");
      plat::PAINTSTRUCT ps;
      plat::beginPaint(w, &ps);
      plat::endPaint(w, &ps);
      return 0;
    }
    case plat::WM_TIMER:
      note("timer" + std::to_string(wp));
      return 0;
    case plat::WM_LBUTTONDOWN:
      note("down" + std::to_string(lp & 0xFFFF));
      return 0;
    case plat::WM_LBUTTONUP:
      note("up" + std::to_string(lp & 0xFFFF));
      return 0;
    case plat::WM_DESTROY:
      note("destroy");
      plat::postQuitMessage(7);
      return 0;
    default:
      return plat::defWindowProc(w, m, wp, lp);
  }
}

void makeWindow() {
  plat::WNDCLASS wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = u"test";
  ASSERT_NE(plat::registerClass(&wc), 0);
  window = plat::createWindowEx(0, u"test", u"Test", 0, 0, 0, 20, 20, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(window, nullptr);
  plat::showWindow(window, 1);
  plat::updateWindow(window);
}

// Runs the message loop until the quit message; answers its code.
int messageLoop() {
  plat::MSG m;
  while (plat::getMessage(&m, nullptr, 0, 0) > 0) plat::dispatchMessage(&m);
  return m.message == plat::WM_QUIT ? int(m.wParam) : -1;
}

void crossThreadUpdateWaitsForThePaint() {
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    plat::setTimer(window, 1, 1500, nullptr);
    sim::schedSpawn(
        "writer",
        [] {
          plat::invalidateRect(window, nullptr, 0);
          plat::updateWindow(window);  // the window's thread is busy until 500
          note("writer back");
          plat::updateWindow(window);  // nothing marked: no paint, no wait
          note("writer again");
        },
        0);
    plat::sleep(500);
    note("ui free");
    plat::MSG m;
    while (plat::getMessage(&m, nullptr, 0, 0) > 0) {
      plat::dispatchMessage(&m);
      if (m.message == plat::WM_TIMER) plat::destroyWindow(window);
    }
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  // Painted once, inside the UI thread's GetMessage, and only then does
  // the writer go on.
  EXPECT_EQ(seen,
            (std::vector<std::string>{"paint@0", "ui free@500", "paint@500", "writer back@500",
                                      "writer again@500", "timer1@1500", "destroy@1500"}));
}

void destroyReleasesAWaitingSender() {
  static int code = -1;
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    sim::schedSpawn(
        "writer",
        [] {
          EXPECT_EQ(plat::destroyWindow(window), 0);  // not its window
          plat::invalidateRect(window, nullptr, 0);
          plat::updateWindow(window);
          note("writer back");
        },
        0);
    plat::sleep(500);
    plat::destroyWindow(window);
    code = messageLoop();
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(seen, (std::vector<std::string>{"paint@0", "destroy@500", "writer back@500"}));
}

void postedBeforeQuitBeforePaint() {
  sim::world.ui.events.clear();
  sim::UiEvent tap;
  tap.action = sim::UiEvent::Tap;
  tap.at = 100;
  tap.x = 1;
  sim::world.ui.events.push_back(tap);
  sim::scheduleUiScript(nullptr);
  static int code = -1;
  static plat::MSG after{};
  sim::RunResult r = sim::schedRun("ui", [] {
    plat::WNDCLASS wc{};
    wc.lpfnWndProc = [](plat::HWND w, plat::UINT m, plat::WPARAM wp, plat::LPARAM lp) {
      // The press marks the window and asks to quit: the release that was
      // posted already comes first, then the quit, and the paint last.
      if (m == plat::WM_LBUTTONDOWN) {
        plat::invalidateRect(w, nullptr, 0);
        plat::postQuitMessage(3);
      }
      return recordingProc(w, m, wp, lp);
    };
    wc.lpszClassName = u"order";
    plat::registerClass(&wc);
    window =
        plat::createWindowEx(0, u"order", u"", 0, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    plat::showWindow(window, 1);
    code = messageLoop();
    EXPECT_EQ(plat::getMessage(&after, nullptr, 0, 0), 1);
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(after.message, plat::WM_PAINT);
  EXPECT_EQ(seen, (std::vector<std::string>{"paint@0", "down1@100", "up1@100"}));
}

void timersTickOnTheVirtualClock() {
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    plat::setTimer(window, 746, 125, nullptr);
    plat::MSG m;
    int ticks = 0;
    while (plat::getMessage(&m, nullptr, 0, 0) > 0) {
      plat::dispatchMessage(&m);
      if (m.message != plat::WM_TIMER) continue;
      ticks++;
      if (ticks == 2) {
        // Busy for 3 periods: the missed ticks do not pile up.
        plat::sleep(400);
      } else if (ticks == 4) {
        // Setting it again restarts the period.
        plat::sleep(50);
        plat::setTimer(window, 746, 125, nullptr);
      } else if (ticks == 5) {
        plat::killTimer(window, 746);
        plat::setTimer(window, 9, 1, nullptr);  // below the minimum of 10 ms
      } else if (ticks == 7) {
        plat::destroyWindow(window);  // its timers go with it
      }
    }
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_EQ(seen, (std::vector<std::string>{"paint@0", "timer746@125", "timer746@250",
                                            "timer746@650", "timer746@750", "timer746@925",
                                            "timer9@935", "timer9@945", "destroy@945"}));
}

// What GetMessage answered, in order, without dispatching: the message
// names and when.
std::vector<std::string> takeAll(int n) {
  std::vector<std::string> got;
  plat::MSG m;
  for (int i = 0; i < n; i++) {
    plat::BOOL r = plat::getMessage(&m, nullptr, 0, 0);
    std::string name = m.message == 0x0400 ? "posted" : sim::ws::messageName(m.message);
    if (m.message == plat::WM_PAINT) plat::dispatchMessage(&m);  // validates it
    got.push_back(name + (r == 0 ? "(quit)" : "") + "@" + std::to_string(sim::now()));
  }
  return got;
}

void dueTimerComesLastAndOnce() {
  static std::vector<std::string> got;
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    seen.clear();
    plat::setTimer(window, 5, 10, nullptr);
    // Busy for five periods, and meanwhile a posted message, a stylus
    // press and a paint come up: the tick waits behind all of them.
    plat::sleep(55);
    sim::ws::Window* w = sim::ws::windowOf(window);
    sim::ws::postInput(*w, plat::WM_LBUTTONDOWN, 1, 0);
    sim::ws::post(*w, 0x0400, 0, 0);
    plat::invalidateRect(window, nullptr, 0);
    got = takeAll(4);
    // The five missed periods gave one WM_TIMER; the next falls due on the
    // period (60), not five periods later nor 10 ms after the tick.
    std::vector<std::string> next = takeAll(1);
    got.insert(got.end(), next.begin(), next.end());
    plat::destroyWindow(window);
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_EQ(got, (std::vector<std::string>{"posted@55", "WM_LBUTTONDOWN@55", "WM_PAINT@55",
                                           "WM_TIMER@55", "WM_TIMER@60"}));
}

void inputBeforeQuitBeforePaintBeforeTimer() {
  static std::vector<std::string> got;
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    plat::setTimer(window, 5, 10, nullptr);
    plat::sleep(20);
    plat::invalidateRect(window, nullptr, 0);
    plat::postQuitMessage(4);
    sim::ws::postInput(*sim::ws::windowOf(window), plat::WM_LBUTTONUP, 0, 0);
    got = takeAll(4);
    plat::destroyWindow(window);
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  // The device's order: the quit message after input, before WM_PAINT.
  EXPECT_EQ(got, (std::vector<std::string>{"WM_LBUTTONUP@20", "WM_QUIT(quit)@20", "WM_PAINT@20",
                                           "WM_TIMER@20"}));
}

void killTimerDropsTheDueTick() {
  static std::vector<std::string> got;
  static plat::BOOL killed = 0, again = 1;
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    plat::setTimer(window, 5, 10, nullptr);
    plat::setTimer(window, 6, 40, nullptr);
    plat::sleep(25);  // timer 5 is due, not taken
    killed = plat::killTimer(window, 5);
    again = plat::killTimer(window, 5);
    // A WM_TIMER someone posted is a posted message: KillTimer leaves it.
    sim::ws::post(*sim::ws::windowOf(window), plat::WM_TIMER, 5, 0);
    got = takeAll(2);
    plat::destroyWindow(window);
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_NE(killed, 0);
  EXPECT_EQ(again, 0);
  // The posted one, then nothing of timer 5: the next message is timer 6's.
  EXPECT_EQ(got, (std::vector<std::string>{"WM_TIMER@25", "WM_TIMER@40"}));
}

void idleTapOnlyWhenEveryThreadWaitsForMessages() {
  static int code = -1;
  sim::scheduleUiScript(nullptr);
  sim::setIdleHook(sim::uiIdle);
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    sim::schedSpawn(
        "worker", [] { plat::sleep(2000); }, 0);
    plat::MSG m;
    while (plat::getMessage(&m, nullptr, 0, 0) > 0) {
      plat::dispatchMessage(&m);
      if (m.message == plat::WM_LBUTTONUP) plat::destroyWindow(window);
    }
    code = int(m.wParam);
  });
  EXPECT_EQ(r.reason, sim::EndReason::AllThreadsEnded);
  EXPECT_EQ(code, 7);
  // The middle of the 20 x 20 window, once the worker has ended.
  EXPECT_EQ(seen,
            (std::vector<std::string>{"paint@0", "down10@2000", "up10@2000", "destroy@2000"}));
}

void idleTapNeverHidesADeadlock() {
  static int key;
  sim::scheduleUiScript(nullptr);
  sim::setIdleHook(sim::uiIdle);
  sim::RunResult r = sim::schedRun("ui", [] {
    makeWindow();
    sim::schedSpawn(
        "stuck", [] { sim::waitOn(&key, sim::NEVER, "something that never comes"); }, 0);
    messageLoop();
  });
  EXPECT_EQ(r.reason, sim::EndReason::Deadlock);
  EXPECT_NE(r.report.find("something that never comes"), std::string::npos);
  EXPECT_EQ(seen, (std::vector<std::string>{"paint@0"})) << "tapped although a thread was stuck";
}

TEST(WindowSystem, CrossThreadUpdateWaitsUntilTheWindowsThreadPaints) {
  EXPECT_EQ(inChildProcess(crossThreadUpdateWaitsForThePaint), 0);
}
TEST(WindowSystem, DestroyReleasesAThreadWaitingForItsPaint) {
  EXPECT_EQ(inChildProcess(destroyReleasesAWaitingSender), 0);
}
TEST(WindowSystem, PostedMessagesThenQuitThenPaint) {
  EXPECT_EQ(inChildProcess(postedBeforeQuitBeforePaint), 0);
}
TEST(WindowSystem, TimersTickOnTheVirtualClockWithoutPilingUp) {
  EXPECT_EQ(inChildProcess(timersTickOnTheVirtualClock), 0);
}
TEST(WindowSystem, ADueTimerComesAfterPostedInputAndPaintAndOnceForMissedPeriods) {
  EXPECT_EQ(inChildProcess(dueTimerComesLastAndOnce), 0);
}
TEST(WindowSystem, InputThenQuitThenPaintThenTimer) {
  EXPECT_EQ(inChildProcess(inputBeforeQuitBeforePaintBeforeTimer), 0);
}
TEST(WindowSystem, KillTimerDropsATickThatWasDueButLeavesAPostedOne) {
  EXPECT_EQ(inChildProcess(killTimerDropsTheDueTick), 0);
}
TEST(WindowSystem, IdleTapWaitsForEveryThread) {
  EXPECT_EQ(inChildProcess(idleTapOnlyWhenEveryThreadWaitsForMessages), 0);
}
TEST(WindowSystem, IdleTapNeverHidesADeadlock) {
  EXPECT_EQ(inChildProcess(idleTapNeverHidesADeadlock), 0);
}

}  // namespace
