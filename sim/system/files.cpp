// Files of the device's store, kept under the host's root folder.
#include <cstdio>
#include <string>

#include "harness/host.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"

namespace plat {

using namespace sim;

FILEHANDLE fileOpen(const char16_t* path, const char* mode) {
  std::u16string p(path);
  bool inTemp = p.size() >= 6 && (p.compare(0, 6, u"\\Temp\\") == 0);
  FILE* f = nullptr;
  // An injected failure stands for every other reason a file cannot be
  // created: a full or read-only store, a file in use.
  bool refuse = nextCallFails(FaultCall::FileOpen) != nullptr;
  if (!refuse && (!inTemp || world.system.tempExists)) f = std::fopen(hostPath(path).c_str(), mode);
  trace("fopen", {{"path", utf8(p)}, {"mode", mode}, {"ok", f != nullptr}});
  return reinterpret_cast<FILEHANDLE>(f);
}

size_t fileWrite(const void* data, size_t size, size_t count, FILEHANDLE file) {
  size_t n = std::fwrite(data, size, count, reinterpret_cast<FILE*>(file));
  trace("fwrite", {{"bytes", uint64_t(size * count)}});
  return n;
}

int fileClose(FILEHANDLE file) {
  trace("fclose", {});
  return std::fclose(reinterpret_cast<FILE*>(file));
}

}  // namespace plat
