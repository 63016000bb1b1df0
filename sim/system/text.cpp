// Text conversion between UTF-16 and the device's code page.
#include <cstring>
#include <string>

#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace plat {

using namespace sim;

// The device's default code page is modelled as ISO 8859-1: code points up
// to 0xFF map to one byte each, anything else to the default character.
int wideCharToMultiByte(UINT, DWORD, const char16_t* src, int srcChars, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault) {
  sim::switchPoint();
  uint32_t call = 0;
  // An injected failure is the one a real conversion gives most: the
  // output does not fit.
  if (const Fault* fault = nextCallFails(FaultCall::TextConversion, 0, &call)) {
    trace("WideCharToMultiByte", {{"n", call}, {"chars", srcChars}, {"ok", false}});
    lastError = fault->answer;
    return 0;
  }
  if (!src || srcChars < -1 || dstBytes < 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t n = srcChars == -1 ? std::char_traits<char16_t>::length(src) + 1 : size_t(srcChars);
  size_t outLen = 0;
  for (size_t i = 0; i < n; i++) {
    char16_t c = src[i];
    bool pair =
        c >= 0xD800 && c < 0xDC00 && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000;
    if (pair) i++;
    if (dstBytes) {
      if (outLen >= size_t(dstBytes)) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
      }
      if (c <= 0xFF && !pair) {
        dst[outLen] = char(c);
      } else {
        dst[outLen] = defaultChar ? *defaultChar : '?';
        if (usedDefault) *usedDefault = 1;
      }
    }
    outLen++;
  }
  return int(outLen);
}

int multiByteToWideChar(UINT, DWORD, const char* src, int srcBytes, char16_t* dst, int dstChars) {
  sim::switchPoint();
  if (!src || srcBytes < -1 || dstChars < 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t n = srcBytes == -1 ? std::strlen(src) + 1 : size_t(srcBytes);
  if (dstChars == 0) return int(n);
  if (n > size_t(dstChars)) {
    lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  for (size_t i = 0; i < n; i++) dst[i] = char16_t(static_cast<unsigned char>(src[i]));
  return int(n);
}

}  // namespace plat
