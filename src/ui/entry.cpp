// Program entry: one instance only, the window and its drawing resources,
// then the diagnostic run on a worker thread and the message loop.
#include "console/console.h"
#include "platform/core.h"
#include "platform/window.h"
#include "run/run.h"
#include "ui/main_window.h"

int programEntry(plat::HINSTANCE instance, plat::HINSTANCE previous, char16_t*, int showCommand) {
  // A running instance is brought to the front; this one creates nothing.
  if (plat::HWND running = plat::findWindow(MAIN_CLASS_NAME, MAIN_WINDOW_TITLE)) {
    plat::setForegroundWindow(running);
    return 0;
  }
  if (!previous && !registerMainClass(instance)) return 0;
  if (!createMainWindow(instance, showCommand)) return 0;
  setMainWindowGeometry();
  createDrawingResources();

  // The run's first write repaints the window, so it starts only now. It is
  // never waited for: closing the window ends the process, run or not.
  if (plat::HANDLE worker = plat::createThread(diagnosticRun, nullptr, 0, nullptr)) {
    plat::closeHandle(worker);
  }

  plat::MSG msg{};
  // GetMessage answers -1 on failure; only a positive answer is a message.
  while (plat::getMessage(&msg, nullptr, 0, 0) > 0) {
    plat::translateMessage(&msg);
    plat::dispatchMessage(&msg);
  }
  return msg.message == plat::WM_QUIT ? int(msg.wParam) : 0;
}
