// The stylus: the scroll boxes with their repeat timer, and the exit tap.
#include "console/console.h"
#include "ui/main_window.h"

namespace {

// Scrolls one line towards the box the stylus went down in (none: no
// move); the view is rebuilt and repainted either way.
void scrollTowardsTapBox() {
  const MainWindowState& s = mainWindowState;
  int step = 0;
  if (plat::ptInRect(&s.upBox, s.tapPoint)) {
    step = -1;  // never below line 0
  } else if (plat::ptInRect(&s.downBox, s.tapPoint)) {
    step = 1;
  }
  scrollConsole(step);
}

}  // namespace

plat::POINT stylusPoint(plat::LPARAM lParam) {
  uintptr_t v = uintptr_t(lParam);
  return plat::POINT{plat::LONG(v & 0xFFFF), plat::LONG((v >> 16) & 0xFFFF)};
}

void stylusPressed(plat::LPARAM lParam) {
  MainWindowState& s = mainWindowState;
  s.tapPoint = stylusPoint(lParam);
  if (!plat::ptInRect(&s.upBox, s.tapPoint) && !plat::ptInRect(&s.downBox, s.tapPoint)) return;
  scrollTowardsTapBox();
  // Held, the box repeats; setting the timer again restarts it.
  plat::setTimer(mainWindow, SCROLL_TIMER_ID, SCROLL_REPEAT_MS, nullptr);
}

// The position is not followed while the stylus is held: the repeat goes
// on in the direction of the box where the press began.
void scrollRepeat() { scrollTowardsTapBox(); }

bool stylusReleased(plat::LPARAM lParam) {
  MainWindowState& s = mainWindowState;
  s.tapPoint = stylusPoint(lParam);
  if (plat::ptInRect(&s.upBox, s.tapPoint) || plat::ptInRect(&s.downBox, s.tapPoint)) {
    plat::killTimer(mainWindow, SCROLL_TIMER_ID);
    return false;
  }
  saveConsoleLog();
  plat::destroyWindow(mainWindow);
  return true;
}
