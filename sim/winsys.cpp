// The headless window system of the simulated handheld.
#include "platform/window.h"

namespace plat {

BOOL invalidateRect(HWND, const RECT*, BOOL) { return 1; }
BOOL updateWindow(HWND) { return 1; }

} // namespace plat
