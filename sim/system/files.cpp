// Files of the device's store, kept under the host's root folder. The
// device's own failures (no \Temp, an injected failed open) are simulated
// and traced; a host that cannot open, write or close a file the device
// could stops the run with the host's reason (the store of the device is
// not the host's disk).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "harness/host.h"
#include "harness/outputs.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace sim {
namespace {

std::map<FILE*, std::string> openFiles;  // host path of each open file

// A file the host could not write whole is removed: a log is either whole
// or absent.
[[noreturn]] void hostCannot(const char* what, const std::string& path, int error) {
  std::string why = std::string("cannot ") + what + " " + path + ": " + std::strerror(error);
  if (std::strcmp(what, "open") != 0) removePartial(path);
  stopForHost(EXIT_OUTPUT_FAILED, why);
}

}  // namespace
}  // namespace sim

namespace plat {

using namespace sim;

FILEHANDLE fileOpen(const char16_t* path, const char* mode) {
  sim::switchPoint();
  std::u16string p(path);
  bool inTemp = p.size() >= 6 && (p.compare(0, 6, u"\\Temp\\") == 0);
  FILE* f = nullptr;
  // An injected failure stands for every other reason a file cannot be
  // created: a full or read-only store, a file in use.
  bool refuse = nextCallFails(FaultCall::FileOpen) != nullptr;
  if (!refuse && (!inTemp || world.system.tempExists)) {
    std::string h = hostPath(path);
    f = std::fopen(h.c_str(), mode);
    if (!f) hostCannot("open", h, errno);
    openFiles[f] = h;
    host.written.push_back(h);
  }
  trace("fopen", {{"path", utf8(p)}, {"mode", mode}, {"ok", f != nullptr}});
  return reinterpret_cast<FILEHANDLE>(f);
}

size_t fileWrite(const void* data, size_t size, size_t count, FILEHANDLE file) {
  sim::switchPoint();
  FILE* f = reinterpret_cast<FILE*>(file);
  size_t n = std::fwrite(data, size, count, f);
  if (n != count || std::fflush(f) != 0) hostCannot("write", openFiles[f], errno);
  trace("fwrite", {{"bytes", uint64_t(size * count)}});
  return n;
}

int fileClose(FILEHANDLE file) {
  sim::switchPoint();
  trace("fclose", {});
  FILE* f = reinterpret_cast<FILE*>(file);
  std::string h = openFiles[f];
  openFiles.erase(f);
  int rc = std::fclose(f);
  if (rc != 0) hostCannot("close", h, errno);
  return rc;
}

}  // namespace plat
