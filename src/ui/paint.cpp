// Painting: the console's view as green text on black, then the two red
// scroll boxes over whatever text lies beneath them.
#include "console/console.h"
#include "ui/main_window.h"

namespace {
constexpr plat::COLORREF GREEN = 0x00FF00;
}

void paintMainWindow() {
  MainWindowState& s = mainWindowState;
  plat::PAINTSTRUCT ps{};
  plat::HDC dc = plat::beginPaint(mainWindow, &ps);
  if (!dc) return;
  plat::fillRect(dc, &s.clientRect, s.backgroundBrush);
  plat::setBkMode(dc, plat::TRANSPARENT);
  plat::selectObject(dc, s.consoleFont);
  plat::setTextColor(dc, GREEN);
  // The view is rebuilt by writers on other threads; hold it steady while
  // it is drawn. Drawing never waits for anything.
  lockConsole();
  plat::RECT textRect = s.clientRect;
  plat::drawText(dc, consoleLog.viewText, -1, &textRect, 0);
  unlockConsole();
  plat::fillRect(dc, &s.upBox, s.boxBrush);
  plat::fillRect(dc, &s.downBox, s.boxBrush);
  plat::endPaint(mainWindow, &ps);
}
