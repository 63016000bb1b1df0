#include "harness/text.h"

#include <cstdint>

namespace sim {

std::u16string widen(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int extra = c < 0x80             ? 0
                : (c & 0xE0) == 0xC0 ? 1
                : (c & 0xF0) == 0xE0 ? 2
                : (c & 0xF8) == 0xF0 ? 3
                                     : -1;
    uint32_t cp = extra <= 0 ? c : c & (0x3F >> extra);
    bool good = extra >= 0 && i + size_t(extra) < s.size() + (extra == 0 ? 1 : 0);
    for (int k = 1; good && k <= extra; k++) {
      unsigned char d = s[i + size_t(k)];
      good = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (good && extra > 0 && (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)))
      good = false;
    if (!good) {
      // A byte that starts no well-formed sequence stands for itself as
      // U+FFFD; the bytes after it are read afresh, never swallowed.
      out += char16_t(0xFFFD);
      i++;
      continue;
    }
    i += size_t(extra) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return out;
}

std::string utf8(const std::u16string& s) {
  std::string o;
  for (size_t i = 0; i < s.size(); i++) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      i++;
    }
    if (c < 0x80) {
      o += char(c);
    } else if (c < 0x800) {
      o += char(0xC0 | (c >> 6));
      o += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      o += char(0xE0 | (c >> 12));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    } else {
      o += char(0xF0 | (c >> 18));
      o += char(0x80 | ((c >> 12) & 0x3F));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    }
  }
  return o;
}

}  // namespace sim
