#include "harness/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "harness/fd_io.h"
#include "harness/scheduler.h"

namespace sim {
namespace {

// Records are gathered whole and written in blocks of whole records, so
// that the file ends at the end of a record whenever the process stops
// (an interrupted run, a kill): never half a request.
constexpr size_t BLOCK_BYTES = 64 * 1024;

struct TraceFile {
  int fd = -1;
  std::string path;
  std::string pending;  // whole records not yet written
  std::string error;    // the host's reason for the first failed write
};
TraceFile out;

void putEscaped(std::string& o, const std::string& s) {
  o += '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      o += '\\';
      o += char(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      o += b;
    } else {
      o += char(c);
    }
  }
  o += '"';
}

void writePending() {
  if (out.error.empty() && !writeAll(out.fd, out.pending.data(), out.pending.size()))
    out.error = errno ? std::strerror(errno) : "nothing written";
  out.pending.clear();
}

}  // namespace

bool traceOpen(const std::string& path) {
  out = TraceFile{};
  out.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out.fd < 0) {
    out.error = std::strerror(errno);
    return false;
  }
  out.path = path;
  out.pending.reserve(BLOCK_BYTES + 4096);
  return true;
}

void traceFlush() {
  if (out.fd >= 0) writePending();
}

bool traceClose(std::string& error) {
  if (out.fd >= 0) {
    writePending();
    if (::close(out.fd) != 0 && out.error.empty()) out.error = std::strerror(errno);
    out.fd = -1;
  }
  error = out.error;
  return error.empty();
}

bool tracing() { return out.fd >= 0; }

void trace(const char* call, std::initializer_list<TraceField> fields) {
  if (out.fd >= 0) trace(call, std::vector<TraceField>(fields));
}

void trace(const char* call, const std::vector<TraceField>& fields) {
  if (out.fd < 0) return;
  std::string& o = out.pending;
  char head[96];
  std::snprintf(head, sizeof head, "{\"t\":%llu,\"thread\":%d,\"call\":\"",
                (unsigned long long)now(), currentThread());
  o += head;
  o += call;
  o += '"';
  for (const TraceField& f : fields) {
    o += ",\"";
    o += f.key;
    o += "\":";
    switch (f.kind) {
      case TraceField::Int:
        o += std::to_string(f.i);
        break;
      case TraceField::Bool:
        o += f.i ? "true" : "false";
        break;
      case TraceField::Str:
        putEscaped(o, f.s);
        break;
      case TraceField::Strs:
        o += '[';
        for (size_t k = 0; k < f.list.size(); k++) {
          if (k) o += ',';
          putEscaped(o, f.list[k]);
        }
        o += ']';
        break;
    }
  }
  o += "}\n";
  if (o.size() >= BLOCK_BYTES) writePending();
}

std::string hex32(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", v);
  return b;
}

}  // namespace sim
