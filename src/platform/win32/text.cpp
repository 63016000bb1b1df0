// The process command line and UTF-16 / 8-bit text conversion. wchar_t is
// 16-bit on Windows, so UTF-16 texts are handed over as they are.
#include "platform/core.h"
#include "platform/win32/start.h"
#include "platform/win32/target.h"

namespace {
constexpr plat::UINT OUR_CP_ACP = plat::CP_ACP;
}

#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(OUR_CP_ACP == CP_ACP);

namespace plat {

const char16_t* startCommandLine = nullptr;

#if QV_WINDOWS_DESKTOP
// The device hands a program its arguments alone; desktop Windows gives the
// whole line, program name first. Skip the name the way the C runtime does
// for WinMain (a quoted name runs to its closing quote, an unquoted one to
// the first blank), then the blanks after it.
const char16_t* getCommandLine() {
  const wchar_t* p = ::GetCommandLineW();
  if (*p == L'"') {
    p++;
    while (*p && *p != L'"') p++;
    if (*p == L'"') p++;
  } else {
    while (*p > L' ') p++;
  }
  while (*p && *p <= L' ') p++;
  return reinterpret_cast<const char16_t*>(p);
}
#else
// The device documents the command line only as WinMain's argument, the
// arguments without the program's name; the start keeps it for the run.
const char16_t* getCommandLine() { return startCommandLine ? startCommandLine : u""; }
#endif

int wideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcChars, char* dst,
                        int dstBytes, const char* defaultChar, BOOL* usedDefault) {
  return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(src), srcChars,
                               dst, dstBytes, defaultChar, usedDefault);
}

int multiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst,
                        int dstChars) {
  return ::MultiByteToWideChar(codePage, flags, src, srcBytes, reinterpret_cast<wchar_t*>(dst),
                               dstChars);
}

}  // namespace plat
