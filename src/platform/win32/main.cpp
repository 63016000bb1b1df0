// The process start: Windows calls wWinMain, which hands over to the
// program entry and ends the process with its result.
#include "platform/window.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine, int showCommand) {
  // The C runtime has already skipped the program's own name, so this is
  // the arguments alone, as the device passes them.
  return programEntry(reinterpret_cast<plat::HINSTANCE>(instance),
                      reinterpret_cast<plat::HINSTANCE>(previous),
                      reinterpret_cast<char16_t*>(commandLine), showCommand);
}
