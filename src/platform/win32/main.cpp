// The process start: Windows calls wWinMain, which hands over to the
// program entry and ends the process with its result.
#include "platform/win32/start.h"
#include "platform/window.h"

#include <windows.h>

// The command line is the arguments alone (on the desktop the C runtime has
// already skipped the program's own name), as the device passes them.
// Returning from WinMain ends the process, on the device as on the desktop.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine, int showCommand) {
  plat::startCommandLine = reinterpret_cast<const char16_t*>(commandLine);
  return programEntry(reinterpret_cast<plat::HINSTANCE>(instance),
                      reinterpret_cast<plat::HINSTANCE>(previous),
                      reinterpret_cast<char16_t*>(commandLine), showCommand);
}
