// Device files and device I/O (the NDIS user-mode I/O driver's "UIO1:").
// The driver's request records are not in the Windows headers; the requests
// go to DeviceIoControl as the bytes the program built.
#include "platform/ndisuio.h"
#include "platform/win32/target.h"

namespace {
constexpr plat::DWORD OUR_OPEN_EXISTING = plat::OPEN_EXISTING;
constexpr plat::DWORD OUR_ATTRIBUTE_NORMAL = plat::FILE_ATTRIBUTE_NORMAL;
constexpr plat::DWORD OUR_FLAG_OVERLAPPED = plat::FILE_FLAG_OVERLAPPED;
}  // namespace

#include <windows.h>

static_assert(OUR_OPEN_EXISTING == OPEN_EXISTING);
static_assert(OUR_ATTRIBUTE_NORMAL == FILE_ATTRIBUTE_NORMAL);
static_assert(OUR_FLAG_OVERLAPPED == FILE_FLAG_OVERLAPPED);

namespace plat {

// The device ignores the overlapped flag, and the interface has no
// overlapped I/O: every request is synchronous. Desktop Windows would honour
// the flag, and a request without an OVERLAPPED record on such a handle may
// return before the driver has answered, so on the desktop the flag is
// dropped here; the device gets the flags as the program gave them.
HANDLE createFile(const char16_t* name, DWORD desiredAccess, DWORD shareMode, void* security,
                  DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  // An invalid template handle is the device's way of saying "none".
  ::HANDLE templ = reinterpret_cast<::HANDLE>(templateFile);
  if (reinterpret_cast<intptr_t>(templ) == -1) templ = nullptr;
  ::HANDLE h = ::CreateFileW(
      reinterpret_cast<const wchar_t*>(name), desiredAccess, shareMode,
      static_cast<SECURITY_ATTRIBUTES*>(security), creationDisposition,
      QV_WINDOWS_DESKTOP ? flagsAndAttributes & ~DWORD(FILE_FLAG_OVERLAPPED) : flagsAndAttributes,
      templ);
  return reinterpret_cast<HANDLE>(h);
}

BOOL deviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBytes,
                     void* outBuffer, DWORD outBytes, DWORD* bytesReturned, void* overlapped) {
  return ::DeviceIoControl(reinterpret_cast<::HANDLE>(device), ioControlCode, inBuffer, inBytes,
                           outBuffer, outBytes, reinterpret_cast<::DWORD*>(bytesReturned),
                           static_cast<OVERLAPPED*>(overlapped));
}

}  // namespace plat
