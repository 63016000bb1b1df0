// The main window: program entry, window procedure, painting, the scroll
// boxes and the exit tap that saves the console to the log file.
#pragma once
#include "platform/core.h"
#include "platform/window.h"

constexpr uintptr_t SCROLL_TIMER_ID = 746;
constexpr plat::UINT SCROLL_REPEAT_MS = 125;
constexpr int LOG_BUFFER_BYTES = 8192;
inline constexpr char16_t MAIN_CLASS_NAME[] = u"Quorvelta";
inline constexpr char16_t MAIN_WINDOW_TITLE[] = u"Quorvelta";
inline constexpr char16_t LOG_FILE_PATH[] = u"\\Temp\\Quorvelta.log";

// Window state, owned by the UI thread. All but tapPoint are set once at
// start (mainWindow itself is declared with the console, which repaints it).
struct MainWindowState {
  plat::RECT clientRect;
  plat::RECT upBox;
  plat::RECT downBox;
  plat::HBRUSH backgroundBrush;
  plat::HBRUSH boxBrush;
  plat::HFONT consoleFont;
  plat::POINT tapPoint;
};
extern MainWindowState mainWindowState;

plat::ATOM registerMainClass(plat::HINSTANCE instance);
int createMainWindow(plat::HINSTANCE instance, int showCommand);
plat::LRESULT QV_CALLBACK mainWindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                         plat::LPARAM lParam);

// The fixed rectangles, brushes and font the painting uses.
void setMainWindowGeometry();
void createDrawingResources();

void paintMainWindow();
// The stylus position of a WM_LBUTTONDOWN / WM_LBUTTONUP: x in the low 16
// bits, y in the high 16 bits, both unsigned.
plat::POINT stylusPoint(plat::LPARAM lParam);
void stylusPressed(plat::LPARAM lParam);
void scrollRepeat();
// Answers true when the release was the exit tap (the log is saved and the
// window is being closed).
bool stylusReleased(plat::LPARAM lParam);

// Saves the whole console text to LOG_FILE_PATH, replacing an earlier log.
void saveConsoleLog();
// Converts `length` UTF-16 units to the default code page and writes them,
// as few pieces as the log buffer allows. Answers the bytes written.
size_t writeLogText(plat::FILEHANDLE file, const char16_t* text, int32_t length);
