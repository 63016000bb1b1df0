// Memory, the thread's last error, process exit, the command line and the
// debug channel of the simulated handheld.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/assert.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace sim {

LastError lastError;

}  // namespace sim

namespace plat {

using namespace sim;

// Every allocation is traced with its number and size, so that a scenario
// can pick the one to fail (fail_allocations) by reading a trace.
void* allocate(size_t bytes) {
  sim::switchPoint();
  uint32_t n = 0;
  bool refuse = nextCallFails(FaultCall::Allocate, 0, &n) != nullptr;
  if (refuse) {
    trace("malloc", {{"n", n}, {"bytes", uint64_t(bytes)}, {"ok", false}});
    return nullptr;
  }
  void* block = std::malloc(bytes ? bytes : 1);
  // The device would have had the memory: the host's shortage stops the run.
  if (!block)
    stopForHost(EXIT_HOST_LIMIT,
                "cannot allocate " + std::to_string(bytes) +
                    " bytes for the program: the host is out of memory (ulimit -v)");
  trace("malloc", {{"n", n}, {"bytes", uint64_t(bytes)}, {"ok", true}});
  host.liveBlocks++;
  return block;
}

void release(void* block) {
  sim::switchPoint();
  if (block) host.liveBlocks--;
  std::free(block);
}

DWORD getLastError() { return lastError; }
void setLastError(DWORD code) { lastError = code; }

void exitProcess(UINT code) {
  sim::switchPoint();
  trace("ExitProcess", {{"code", code}});
  endProcess(int(code));
}

const char16_t* getCommandLine() { return world.system.commandLine.c_str(); }

void outputDebugString(const char16_t* text) {
  sim::switchPoint();
  std::u16string t(text);
  sim::host.debugText += t;
  if (sim::host.debugTap) sim::host.debugTap(text);
  if (sim::host.echo) {
    std::string u = sim::utf8(t);
    u.erase(std::remove(u.begin(), u.end(), '\r'), u.end());
    // A standard output that stops taking text (a closed pipe, a full
    // disk) ends the echo, not the run.
    if (std::fwrite(u.data(), 1, u.size(), stdout) != u.size() || std::fflush(stdout) != 0) {
      sim::host.echo = false;
      sim::host.echoError = errno;
    }
  }
}

}  // namespace plat
