// The one bounded formatter for console lines. It understands the printf
// conversions the program's formats use: %d %u %x %X (flags '-' and '0',
// a width), %S (an 8-bit text in a wide format), %s (a wide text) and %%.
// Output is always terminated and never longer than capacity - 1 characters;
// a longer result is cut there.
#pragma once
#include <cstddef>
#include <cstdint>

struct FormatArg {
  enum Kind : uint8_t { Int, Narrow, Wide } kind;
  int64_t number;
  const char* narrow;
  const char16_t* wide;
  FormatArg(int v) : kind(Int), number(v), narrow(nullptr), wide(nullptr) {}
  FormatArg(unsigned v) : kind(Int), number(v), narrow(nullptr), wide(nullptr) {}
  FormatArg(long v) : kind(Int), number(v), narrow(nullptr), wide(nullptr) {}
  FormatArg(unsigned long v) : kind(Int), number(int64_t(v)), narrow(nullptr), wide(nullptr) {}
  FormatArg(long long v) : kind(Int), number(v), narrow(nullptr), wide(nullptr) {}
  FormatArg(unsigned long long v) : kind(Int), number(int64_t(v)), narrow(nullptr), wide(nullptr) {}
  FormatArg(const char* v) : kind(Narrow), number(0), narrow(v), wide(nullptr) {}
  FormatArg(const char16_t* v) : kind(Wide), number(0), narrow(nullptr), wide(v) {}
};

// Answers the number of characters written, without the terminator.
int formatArgs(char16_t* out, size_t capacity, const char16_t* format, const FormatArg* args,
               size_t count);

template <typename... Args>
int formatText(char16_t* out, size_t capacity, const char16_t* format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return formatArgs(out, capacity, format, list, sizeof...(Args));
}

// Bounded copies and comparisons of NUL-terminated texts.
size_t wideLength(const char16_t* text, size_t max);
void copyWide(char16_t* out, size_t capacity, const char16_t* text);
int compareWide(const char16_t* a, const char16_t* b);
void copyNarrow(char* out, size_t capacity, const char* text);
