// Files in stdio fashion.
#include "platform/core.h"
#include "platform/win32/target.h"

#include <windows.h>
#include <cstdio>

namespace plat {

// The device's stdio writes bytes as they are given. Desktop text mode would
// turn every LF into CR LF, doubling the CR of text that already ends its
// lines with CR LF, so every file is opened in binary mode.
FILEHANDLE fileOpen(const char16_t* path, const char* mode) {
  wchar_t wideMode[16];
  int n = 0;
  bool translation = false;  // 'b' or 't' given: the caller chose
  for (; mode[n] && n < 14; n++) {
    wideMode[n] = wchar_t(static_cast<unsigned char>(mode[n]));
    if (mode[n] == 'b' || mode[n] == 't') translation = true;
  }
  if (mode[n]) return nullptr;  // no stdio mode is that long
  if (!translation && QV_WINDOWS_DESKTOP) wideMode[n++] = L'b';
  wideMode[n] = 0;
  return reinterpret_cast<FILEHANDLE>(_wfopen(reinterpret_cast<const wchar_t*>(path), wideMode));
}

// A file that did not open is a null handle; the Windows C runtime does not
// fail such a call gracefully, so it is answered here.
size_t fileWrite(const void* data, size_t size, size_t count, FILEHANDLE file) {
  if (!file) return 0;
  return std::fwrite(data, size, count, reinterpret_cast<FILE*>(file));
}

int fileClose(FILEHANDLE file) {
  if (!file) return EOF;
  return std::fclose(reinterpret_cast<FILE*>(file));
}

}  // namespace plat
