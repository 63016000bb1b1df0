// Between the scheduler (scheduler.cpp: who runs next, the clock, waits)
// and its back end, which runs simulated threads on the host and hands the
// baton from one to the next: scheduler_context.cpp (user-space contexts
// on one host thread, the default) or scheduler_thread.cpp (a host thread
// each, QV_SCHEDULER=threads). Nothing outside the scheduler includes this.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "harness/scheduler.h"

// Which sanitizer the build has (GCC's macros, Clang's features): the back
// ends tell it about their stacks and switches.
#if defined(__SANITIZE_ADDRESS__)
#define QV_SCHED_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_SCHED_ASAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QV_SCHED_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_SCHED_TSAN 1
#endif
#endif

namespace sim::sched {

enum class State { Ready, Running, Waiting, Done };

// A stack of the scheduler's own, above a guard page (stacks.cpp).
struct Stack {
  void* base = nullptr;  // lowest usable byte
  size_t bytes = 0;
  size_t index = 0;  // in the pool
};

struct HostRun;  // the back end's record of one thread

struct Thread {
  int id = 0;
  std::string name;
  std::function<void()> body;
  Stack stack;
  State state = State::Ready;
  const void* waitKey = nullptr;
  const char* what = "";
  uint64_t waitGen = 0;
  bool woken = false;
  std::vector<SlotValue> slots;  // PerThread storage
  HostRun* host = nullptr;
};

// ---- the scheduler, for its back end ---------------------------------------
// The baton holder (null outside the simulation and once the run is over).
Thread* current();
void setCurrent(Thread* t);
// What a new thread runs on its own stack once it first holds the baton.
[[noreturn]] void threadMain(Thread* t);

// ---- the stack pool (scheduler_stacks.cpp) ---------------------------------
// A stack of at least `bytes` for thread t: one given back earlier, or newly
// mapped with a guard page below it; an empty one when the host has no
// memory left.
Stack takeStack(size_t bytes, Thread* t);
// `dirtyFrom`: the lowest byte whose AddressSanitizer shadow the thread that
// used the stack may have left poisoned (its frames live at the end); null
// when not known, and then the whole stack is cleaned before its next use.
void giveBackStack(Stack s, const void* dirtyFrom = nullptr);
int stacksMapped();
// Makes later guards regions without access, as on a kernel without guard
// markers (for the tests of that way).
void guardStacksWithoutMarkers();
// Reports a fault in a guard region as the overflow of the thread that
// owns the stack, and exits (STACK_OVERFLOW_EXIT). Called on each host
// thread that runs simulated threads, with room of its own for the report
// (the stack that overflowed has none left).
void catchStackOverflows(void* altStack, size_t bytes);

// ---- the back end ----------------------------------------------------------
// Prepares t to run (its stack of at least stackBytes, its host state):
// false when the host cannot, with the host's reason in `why`.
bool hostCreate(Thread* t, size_t stackBytes, std::string* why);
// Runs `first` and returns when the run is over (hostHalt or hostEnd with
// nobody next). Called from outside the simulation.
void hostRun(Thread* first);
// The baton holder `me` hands it to `next` and returns when it is handed
// back.
void hostSwitch(Thread* me, Thread* next);
// `me` has ended; `next` runs, or with none the run is over.
[[noreturn]] void hostEnd(Thread* me, Thread* next);
// Whether the calling host thread is the one the baton holder runs on (a
// plain thread of the process calling into the scheduler is not).
bool hostHoldsBaton();
// The run is over while `me` holds the baton: it never runs again.
[[noreturn]] void hostHalt(Thread* me);

}  // namespace sim::sched
