// Program entry. For now the run is made on the first thread itself; the
// window replaces this.
#include "platform/window.h"
#include "run/run.h"

int programEntry(plat::HINSTANCE, plat::HINSTANCE, char16_t*, int) {
  diagnosticRun(nullptr);
  return 0;
}
