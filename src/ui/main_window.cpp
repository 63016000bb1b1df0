// The window class, the window and its procedure.
#include "ui/main_window.h"

#include "console/console.h"

MainWindowState mainWindowState;

namespace {

constexpr plat::COLORREF BLACK = 0x000000;
constexpr plat::COLORREF RED = 0x0000FF;
constexpr int WINDOW_X = 10;
constexpr int WINDOW_Y = 40;
constexpr int WINDOW_WIDTH = 220;
constexpr int WINDOW_HEIGHT = 240;

}  // namespace

plat::ATOM registerMainClass(plat::HINSTANCE instance) {
  plat::WNDCLASS wc{};
  wc.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
  wc.lpfnWndProc = mainWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = nullptr;
  wc.hCursor = nullptr;
  wc.hbrBackground = plat::getStockObject(plat::GRAY_BRUSH);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = MAIN_CLASS_NAME;
  return plat::registerClass(&wc);
}

// No further call is made on the new window before it is shown: created
// without parent it already is a top-level window, and a plain bordered
// window receives stylus input once shown. The first paint comes before
// the rectangles, brushes and font exist, so it draws nothing of its own
// and the class's gray background shows until the run's first write.
int createMainWindow(plat::HINSTANCE instance, int showCommand) {
  mainWindow = plat::createWindowEx(plat::WS_EX_TOOLWINDOW, MAIN_CLASS_NAME, MAIN_WINDOW_TITLE,
                                    plat::WS_BORDER, WINDOW_X, WINDOW_Y, WINDOW_WIDTH,
                                    WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
  if (!mainWindow) return 0;
  plat::showWindow(mainWindow, showCommand);
  plat::updateWindow(mainWindow);
  return 1;
}

void setMainWindowGeometry() {
  mainWindowState.clientRect = {0, 0, WINDOW_WIDTH, WINDOW_HEIGHT};
  mainWindowState.upBox = {210, 0, 220, 10};
  mainWindowState.downBox = {210, 229, 220, 239};
}

void createDrawingResources() {
  mainWindowState.backgroundBrush = plat::createSolidBrush(BLACK);
  mainWindowState.boxBrush = plat::createSolidBrush(RED);
  plat::LOGFONT lf{};
  lf.lfHeight = 12;
  lf.lfWidth = 0;
  lf.lfEscapement = 0;
  lf.lfOrientation = 0;
  lf.lfWeight = plat::FW_EXTRABOLD;
  lf.lfItalic = 0;
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 0;
  lf.lfCharSet = 0;
  lf.lfOutPrecision = 0;
  lf.lfClipPrecision = 0;
  lf.lfQuality = plat::CLEARTYPE_QUALITY;
  lf.lfPitchAndFamily = plat::FIXED_PITCH | plat::FF_MODERN;
  lf.lfFaceName[0] = 0;
  mainWindowState.consoleFont = plat::createFontIndirect(&lf);
}

plat::LRESULT QV_CALLBACK mainWindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                         plat::LPARAM lParam) {
  switch (message) {
    case plat::WM_DESTROY:
      plat::postQuitMessage(0);
      return 0;
    case plat::WM_PAINT:
      paintMainWindow();
      return 0;
    case plat::WM_CLOSE:
      // Closed from outside: no log is written.
      plat::destroyWindow(window);
      return 0;
    case plat::WM_TIMER:
      // Whatever the id: only the scroll repeat sets a timer.
      scrollRepeat();
      return 0;
    case plat::WM_LBUTTONDOWN:
      stylusPressed(lParam);
      return 0;
    case plat::WM_LBUTTONUP:
      stylusReleased(lParam);
      return 0;
    default:
      return plat::defWindowProc(window, message, wParam, lParam);
  }
}
