// Memory, the thread's last error, process exit, the command line and the
// debug channel of the simulated handheld.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"

namespace sim {

thread_local plat::DWORD lastError = 0;

}  // namespace sim

namespace plat {

using namespace sim;

// Every allocation is traced with its number and size, so that a scenario
// can pick the one to fail (fail_allocations) by reading a trace.
void* allocate(size_t bytes) {
  int n = ++host.allocateCalls;
  bool refuse = listed(world.system.failAllocations, n);
  trace("malloc", {{"n", n}, {"bytes", uint64_t(bytes)}, {"ok", !refuse}});
  if (refuse) return nullptr;
  void* block = std::malloc(bytes ? bytes : 1);
  if (block) host.liveBlocks++;
  return block;
}

void release(void* block) {
  if (block) host.liveBlocks--;
  std::free(block);
}

DWORD getLastError() { return lastError; }
void setLastError(DWORD code) { lastError = code; }

void exitProcess(UINT code) {
  trace("ExitProcess", {{"code", code}});
  endProcess(int(code));
}

const char16_t* getCommandLine() { return world.system.commandLine.c_str(); }

void outputDebugString(const char16_t* text) {
  std::u16string t(text);
  sim::host.debugText += t;
  if (sim::host.debugTap) sim::host.debugTap(text);
  if (sim::host.echo) {
    std::string u = sim::utf8(t);
    u.erase(std::remove(u.begin(), u.end(), '\r'), u.end());
    std::fwrite(u.data(), 1, u.size(), stdout);
    std::fflush(stdout);
  }
}

}  // namespace plat
