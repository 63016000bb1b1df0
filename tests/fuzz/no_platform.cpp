// The fuzz targets exercise parsers only; the channel's device calls are
// never made, but the linker needs them. Both fail.
#include "platform/ndisuio.h"

namespace plat {

HANDLE createFile(const char16_t*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  return INVALID_HANDLE_VALUE;
}

BOOL deviceIoControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD* returned, void*) {
  if (returned) *returned = 0;
  return 0;
}

}  // namespace plat
