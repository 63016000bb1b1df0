#include "console/format.h"

namespace {

struct Sink {
  char16_t* out;
  size_t capacity;
  size_t used;
  void put(char16_t c) {
    if (used + 1 < capacity) out[used++] = c;
  }
};

void pad(Sink& s, int count, char16_t c) {
  for (int i = 0; i < count; i++) s.put(c);
}

void putNumber(Sink& s, const FormatArg& a, char conv, bool left, bool zero, int width) {
  char16_t digits[24];
  int n = 0;
  bool negative = false;
  uint64_t v;
  if (conv == 'd') {
    negative = a.number < 0;
    v = negative ? uint64_t(0) - uint64_t(a.number) : uint64_t(a.number);
  } else {
    // %u and %x take the value as a 32-bit unsigned, as the device's printf does.
    v = uint32_t(a.number);
  }
  unsigned base = (conv == 'x' || conv == 'X') ? 16 : 10;
  const char* set = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    digits[n++] = char16_t(set[v % base]);
    v /= base;
  } while (v);
  int len = n + (negative ? 1 : 0);
  if (!left && !zero) pad(s, width - len, u' ');
  if (negative) s.put(u'-');
  if (!left && zero) pad(s, width - len, u'0');
  while (n) s.put(digits[--n]);
  if (left) pad(s, width - len, u' ');
}

void putText(Sink& s, const FormatArg& a, bool left, int width) {
  int len = 0;
  if (a.kind == FormatArg::Narrow && a.narrow) {
    while (a.narrow[len]) len++;
  } else if (a.kind == FormatArg::Wide && a.wide) {
    while (a.wide[len]) len++;
  }
  if (!left) pad(s, width - len, u' ');
  for (int i = 0; i < len; i++) {
    s.put(a.kind == FormatArg::Narrow ? char16_t(static_cast<unsigned char>(a.narrow[i]))
                                      : a.wide[i]);
  }
  if (left) pad(s, width - len, u' ');
}

}  // namespace

int formatArgs(char16_t* out, size_t capacity, const char16_t* format, const FormatArg* args,
               size_t count) {
  Sink s{out, capacity, 0};
  size_t next = 0;
  const FormatArg none(static_cast<const char*>(nullptr));
  for (const char16_t* p = format; *p; p++) {
    if (*p != u'%') {
      s.put(*p);
      continue;
    }
    p++;
    if (*p == u'%') {
      s.put(u'%');
      continue;
    }
    bool left = false, zero = false;
    for (;; p++) {
      if (*p == u'-')
        left = true;
      else if (*p == u'0')
        zero = true;
      else
        break;
    }
    int width = 0;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    if (!*p) break;
    const FormatArg& a = next < count ? args[next] : none;
    next++;
    switch (*p) {
      case u'd':
      case u'u':
      case u'x':
      case u'X':
        if (a.kind == FormatArg::Int) putNumber(s, a, char(*p), left, zero, width);
        break;
      case u'S':
      case u's':
        if (a.kind != FormatArg::Int) putText(s, a, left, width);
        break;
      default:
        break;
    }
  }
  if (capacity) out[s.used] = 0;
  return int(s.used);
}

size_t wideLength(const char16_t* text, size_t max) {
  size_t n = 0;
  while (n < max && text[n]) n++;
  return n;
}

void copyWide(char16_t* out, size_t capacity, const char16_t* text) {
  if (!capacity) return;
  size_t n = wideLength(text, capacity - 1);
  for (size_t i = 0; i < n; i++) out[i] = text[i];
  out[n] = 0;
}

int compareWide(const char16_t* a, const char16_t* b) {
  while (*a && *a == *b) {
    a++;
    b++;
  }
  return int(*a) - int(*b);
}

void copyNarrow(char* out, size_t capacity, const char* text) {
  if (!capacity) return;
  size_t n = 0;
  while (n + 1 < capacity && text[n]) {
    out[n] = text[n];
    n++;
  }
  out[n] = 0;
}
