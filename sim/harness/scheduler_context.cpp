// The scheduler's default back end: every simulated thread is a user-space
// context with a stack from the scheduler's pool, and all of them run on
// the one host thread that called schedRun. Handing the baton on is a
// context switch (Boost.Context's fcontext: registers saved, stack pointer
// swapped), with no system call, no host thread to start and nothing for
// the host's scheduler to do: only one simulated thread ever runs at a
// time, so host threads bought nothing but their cost.
//
// The sanitizers are told about every switch: AddressSanitizer which stack
// is in use (its fiber-switch interface, so that it checks accesses
// against the right stack and keeps each context's fake stack), and
// ThreadSanitizer that each context is a thread of its own (its fiber
// interface). Each switch synchronises, as the hand-over of the baton
// through a mutex did with host threads, so ThreadSanitizer reports what it
// reported then.
#include <boost/context/detail/fcontext.hpp>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "harness/scheduler_host.h"

#if defined(QV_SCHED_ASAN)
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(QV_SCHED_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace sim::sched {

namespace fc = boost::context::detail;

struct HostRun {
  Thread* owner = nullptr;  // null: the host thread's own context
  fc::fcontext_t context = nullptr;
  bool ended = false;  // its thread has ended: the stack goes back
  // For AddressSanitizer: the stack's extent, and the fake stack kept while
  // the context is switched out.
  const void* stackBottom = nullptr;
  size_t stackBytes = 0;
  void* fakeStack = nullptr;
  // Once ended: the lowest byte its live frames can have poisoned.
  const void* dirtyFrom = nullptr;
  void* fiber = nullptr;  // ThreadSanitizer's
};

namespace {

// Enough for the program's deepest calls plus what the simulator does on
// the caller's stack (formatting a trace record, painting with FreeType,
// writing a PNG), in every build. The device's own stack sizes are the
// world's (sim/system/threads.cpp), not these.
constexpr size_t MIN_STACK_BYTES = 256 * 1024;

HostRun hostContext;                      // the host thread's, which runs schedRun
alignas(16) char reportStack[64 * 1024];  // where an overflow is reported
HostRun* running = &hostContext;

// Right after a context has been switched to (or first started), on its
// own stack: the context it came from is saved, and given back when its
// thread has ended.
void arrived(fc::transfer_t t) {
  HostRun* from = static_cast<HostRun*>(t.data);
#if defined(QV_SCHED_ASAN)
  const void* bottom = nullptr;
  size_t bytes = 0;
  __sanitizer_finish_switch_fiber(running->fakeStack, &bottom, &bytes);
  if (!from->owner) {
    hostContext.stackBottom = bottom;
    hostContext.stackBytes = bytes;
  }
#endif
  from->context = t.fctx;
  if (from->ended) {
#if defined(QV_SCHED_TSAN)
    __tsan_destroy_fiber(from->fiber);
#endif
    Thread* done = from->owner;
    giveBackStack(done->stack, from->dirtyFrom);
    done->stack = Stack{};
    done->host = nullptr;
    delete from;
  }
}

#if defined(QV_SCHED_ASAN)
// Below switchTo's frame, an ended thread's last switch runs only the
// sanitizer's runtime and the switch itself, neither of which poisons; a
// page more than switchTo's own locals can take.
constexpr size_t SWITCH_FRAME_SLACK = 4096;
#endif

void switchTo(HostRun* from, HostRun* to) {
  running = to;
#if defined(QV_SCHED_ASAN)
  if (from->ended)
    from->dirtyFrom = static_cast<char*>(__builtin_frame_address(0)) - SWITCH_FRAME_SLACK;
  // An ended thread's fake stack is released (null), anyone else's kept.
  __sanitizer_start_switch_fiber(from->ended ? nullptr : &from->fakeStack, to->stackBottom,
                                 to->stackBytes);
#endif
#if defined(QV_SCHED_TSAN)
  __tsan_switch_to_fiber(to->fiber, 0);
#endif
  arrived(fc::jump_fcontext(to->context, from));
}

void entry(fc::transfer_t t) {
  arrived(t);
  threadMain(running->owner);
}

}  // namespace

bool hostCreate(Thread* t, size_t stackBytes, std::string* why) {
  Stack s = takeStack(stackBytes > MIN_STACK_BYTES ? stackBytes : MIN_STACK_BYTES, t);
  if (!s.base) {
    *why = std::string("mmap: ") + std::strerror(errno);
    return false;
  }
  HostRun* h = new HostRun;
  h->owner = t;
  h->context = fc::make_fcontext(static_cast<char*>(s.base) + s.bytes, s.bytes, entry);
  h->stackBottom = s.base;
  h->stackBytes = s.bytes;
#if defined(QV_SCHED_TSAN)
  h->fiber = __tsan_create_fiber(0);
  __tsan_set_fiber_name(h->fiber, t->name.c_str());
#endif
  t->stack = s;
  t->host = h;
  return true;
}

// Set on the one host thread every simulated thread runs on, for the run.
thread_local bool runner = false;

bool hostHoldsBaton() { return runner; }

void hostRun(Thread* first) {
  runner = true;
  catchStackOverflows(reportStack, sizeof reportStack);
#if defined(QV_SCHED_TSAN)
  hostContext.fiber = __tsan_get_current_fiber();
#endif
  switchTo(&hostContext, first->host);
  runner = false;
}

void hostSwitch(Thread* me, Thread* next) { switchTo(me->host, next->host); }

void hostEnd(Thread* me, Thread* next) {
  me->host->ended = true;
  switchTo(me->host, next ? next->host : &hostContext);
  __builtin_unreachable();
}

void hostHalt(Thread* me) {
  // Its context stays as it is, never resumed.
  switchTo(me->host, &hostContext);
  __builtin_unreachable();
}

}  // namespace sim::sched
