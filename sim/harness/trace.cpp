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
}  // namespace

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
      case TraceField::Int:
        std::fprintf(out, "%lld", (long long)f.i);
        break;
      case TraceField::Bool:
        std::fputs(f.i ? "true" : "false", out);
        break;
      case TraceField::Str:
        putEscaped(f.s);
        break;
      case TraceField::Strs:
        std::fputc('[', out);
        for (size_t k = 0; k < f.list.size(); k++) {
          if (k) std::fputc(',', out);
          putEscaped(f.list[k]);
        }
        std::fputc(']', out);
        break;
    }
  }
  std::fputs("}\n", out);
}

std::string hex32(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
}

}  // namespace sim
