#include "harness/trace.h"

#include <cstdio>

#include "harness/scheduler.h"

namespace sim {
namespace {
FILE* out = nullptr;

void putEscaped(const std::string& s) {
  std::fputc('"', out);
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      std::fputc('\\', out);
      std::fputc(c, out);
    } else if (c < 0x20) {
      std::fprintf(out, "\\u%04x", c);
    } else {
      std::fputc(c, out);
    }
  }
  std::fputc('"', out);
}
} // namespace

bool traceOpen(const std::string& path) {
  out = std::fopen(path.c_str(), "w");
  return out != nullptr;
}

void traceClose() {
  if (out) std::fclose(out);
  out = nullptr;
}

void trace(const char* call, std::initializer_list<TraceField> fields) {
  if (out) trace(call, std::vector<TraceField>(fields));
}

void trace(const char* call, const std::vector<TraceField>& fields) {
  if (!out) return;
  std::fprintf(out, "{\"t\":%llu,\"thread\":%d,\"call\":\"%s\"", (unsigned long long)now(),
               currentThread(), call);
  for (const TraceField& f : fields) {
    std::fprintf(out, ",\"%s\":", f.key);
    switch (f.kind) {
      case TraceField::Int: std::fprintf(out, "%lld", (long long)f.i); break;
      case TraceField::Bool: std::fputs(f.i ? "true" : "false", out); break;
      case TraceField::Str: putEscaped(f.s); break;
    }
  }
  std::fputs("}\n", out);
}

std::string hex32(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
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

} // namespace sim
