// Memory, the thread's last error, process exit and the debug channel.
#include "platform/core.h"

#include "platform/assert.h"
#include "platform/win32/target.h"

namespace {
// The error codes the program tells apart, as it spells them.
constexpr plat::DWORD OUR_ERRORS[] = {plat::NO_ERROR,
                                      plat::ERROR_FILE_NOT_FOUND,
                                      plat::ERROR_NOT_ENOUGH_MEMORY,
                                      plat::ERROR_INVALID_PARAMETER,
                                      plat::ERROR_BUFFER_OVERFLOW,
                                      plat::ERROR_INSUFFICIENT_BUFFER,
                                      plat::ERROR_NOT_SUPPORTED,
                                      plat::ERROR_GEN_FAILURE,
                                      plat::ERROR_NO_DATA};
}  // namespace

#include <windows.h>
#include <cstdio>
#include <cstdlib>

static_assert(OUR_ERRORS[0] == NO_ERROR && OUR_ERRORS[1] == ERROR_FILE_NOT_FOUND &&
              OUR_ERRORS[2] == ERROR_NOT_ENOUGH_MEMORY &&
              OUR_ERRORS[3] == ERROR_INVALID_PARAMETER && OUR_ERRORS[4] == ERROR_BUFFER_OVERFLOW &&
              OUR_ERRORS[5] == ERROR_INSUFFICIENT_BUFFER && OUR_ERRORS[6] == ERROR_NOT_SUPPORTED &&
              OUR_ERRORS[7] == ERROR_GEN_FAILURE && OUR_ERRORS[8] == ERROR_NO_DATA);

namespace plat {

void* allocate(size_t bytes) { return std::malloc(bytes); }
void release(void* block) { std::free(block); }

DWORD getLastError() { return ::GetLastError(); }
void setLastError(DWORD code) { ::SetLastError(code); }

#if QV_WINDOWS_DESKTOP
void exitProcess(UINT code) { ::ExitProcess(code); }
#else
// The device has no ExitProcess: a process ends by returning from WinMain,
// by its primary thread's ExitThread, or by TerminateProcess, which is the
// one a thread other than the primary one (the run) can use.
void exitProcess(UINT code) {
  ::TerminateProcess(::GetCurrentProcess(), code);
  // TerminateProcess of the calling process does not come back.
  for (;;) ::Sleep(INFINITE);
}
#endif

void outputDebugString(const char16_t* text) {
  ::OutputDebugStringW(reinterpret_cast<const wchar_t*>(text));
}

// The message goes to the debug channel, where a developer's tools see it,
// and the process ends with the C runtime's abort code.
void assertionFailed(const char* file, int line, const char* condition, const char* why) {
  char text[512];
  std::snprintf(text, sizeof text, "assertion failed: %s:%d: %s: %s\r\n", file, line, condition,
                why);
  wchar_t wide[sizeof text];
  size_t n = 0;
  for (; text[n]; n++) wide[n] = wchar_t(static_cast<unsigned char>(text[n]));
  wide[n] = 0;
  ::OutputDebugStringW(wide);
  exitProcess(3);
}

}  // namespace plat
