// Threads, sleep and the lock (a critical section) of the simulated
// handheld: each thread is a scheduler thread, the lock waits in the
// scheduler.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "harness/random.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace sim {
namespace {

struct SimCs {
  std::mutex real;
  // Read without the mutex by every thread that enters (to spot its own
  // recursion), so atomic; relaxed is enough, as only the owner itself can
  // ever find its own tag there.
  std::atomic<const void*> owner;
  int depth;
};
static_assert(sizeof(SimCs) <= sizeof(plat::CRITICAL_SECTION));

PerThread<char> ownerTag;  // its address names the calling thread

}  // namespace
}  // namespace sim

namespace plat {

using namespace sim;

HANDLE createThread(ThreadProc proc, void* param, size_t stackSize, DWORD* threadId) {
  sim::switchPoint();
  const Fault* fault = nextCallFails(FaultCall::CreateThread);
  bool refuse =
      fault || (world.system.maxThreads && uint32_t(liveThreads()) >= world.system.maxThreads);
  if (refuse) {
    trace("CreateThread", {{"stack", uint64_t(stackSize)}, {"ok", false}});
    lastError = fault ? fault->answer : ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  // A thread the host cannot make stops the run (schedSpawn does not come
  // back): the device would have made it.
  int id = schedSpawn(
      "thread", [proc, param] { proc(param); }, stackSize);
  trace("CreateThread", {{"stack", uint64_t(stackSize)}, {"ok", true}});
  if (threadId) *threadId = DWORD(id);
  return reinterpret_cast<HANDLE>(uintptr_t(0x10000 + id));
}

BOOL closeHandle(HANDLE) { return 1; }

void exitThread(DWORD) { endThread(); }

void sleep(DWORD ms) { sleepUntil(now() + ms, "Sleep"); }

void initializeCriticalSection(CRITICAL_SECTION* cs) {
  sim::switchPoint();
  std::memset(cs, 0, sizeof *cs);
  new (cs->opaque) SimCs{};
}

void enterCriticalSection(CRITICAL_SECTION* cs) {
  sim::switchPoint();
  SimCs* s = std::launder(reinterpret_cast<SimCs*>(cs->opaque));
  if (s->owner.load(std::memory_order_relaxed) == &ownerTag.get()) {
    s->depth++;
    return;
  }
  if (inSimulation()) {
    // Only the baton holder runs, so a held lock belongs to a thread that is
    // blocked: wait for it in the scheduler, never on the real mutex.
    while (!s->real.try_lock()) waitOn(cs, NEVER, "a lock");
  } else {
    s->real.lock();
  }
  s->owner.store(&ownerTag.get(), std::memory_order_relaxed);
  s->depth = 1;
}

void leaveCriticalSection(CRITICAL_SECTION* cs) {
  sim::switchPoint();
  SimCs* s = std::launder(reinterpret_cast<SimCs*>(cs->opaque));
  // Releasing a lock the thread does not hold is undefined on the device
  // (the lock may open for a thread inside it, or stay held for ever); the
  // simulated handheld refuses it outright.
  if (s->owner.load(std::memory_order_relaxed) != &ownerTag.get() || s->depth <= 0) {
    std::fprintf(stderr, "quorvelta-sim: a lock released by a thread that does not hold it\n");
    std::abort();
  }
  if (--s->depth > 0) return;
  s->owner.store(nullptr, std::memory_order_relaxed);
  s->real.unlock();
  if (!inSimulation()) return;
  wakeAll(cs);
  // On the device a thread can lose the processor right here. It gives way
  // for a millisecond, so that the threads due by then, and the ones the
  // release woke, run first.
  if (preemptNow()) sleepUntil(now() + 1, "giving way");
}

}  // namespace plat
