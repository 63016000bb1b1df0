// The scheduler's own thread stacks: each mapped once with a guard region
// below it, and used again by later threads once its thread has ended (a
// sweep starts almost a thousand short-lived threads, and mapping,
// faulting in and unmapping a fresh stack for each was most of a run's
// time). A fault in a guard region is reported as the overflow of the
// simulated thread that owns the stack.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "harness/scheduler_host.h"

#if defined(QV_SCHED_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace sim::sched {
namespace {

// Larger than one page, so that a frame bigger than a page that steps over
// the stack's end still lands in it.
constexpr size_t GUARD_BYTES = 64 * 1024;
// Stacks are mapped this many at a time, each with its guard below it: a
// sweep has about a thousand threads alive at once, and one mapping each
// was half of a run's system calls. A slot nobody uses costs no memory.
constexpr size_t STACKS_PER_MAP = 32;

struct Mapped {
  char* guard;  // lowest byte of the guard region; the stack is above it
  Stack stack;
  Thread* owner;  // the thread on it now, or the last one
  // Below this its shadow is clean (see giveBackStack); null: not known,
  // the whole stack is cleaned.
  const char* dirtyFrom;
  // Its guard is made, and its top page made present, when the slot is
  // first taken.
  bool guarded;
};

// Linux 6.13 and later mark a range as a guard in the page tables
// (MADV_GUARD_INSTALL): a touch faults as in a region without access, and
// the mapping is not split in two at each guard as mprotect splits it
// (a split is most of what a slot cost, and every split mapping is one more
// for each later fault and for the exit to walk). An older kernel answers
// EINVAL, and then the guard is a region without access.
constexpr int GUARD_INSTALL = 102;
bool guardsInstall = true;

// A slot's first thread touches the top page of its stack at once (the
// context is made there) and most threads, a sweep's probes among them,
// touch no other. Made present by one call (MADV_POPULATE_WRITE, Linux
// 5.14 and later) the page costs about half of what a page fault costs on
// this host; without the call it is faulted in as before.
constexpr int POPULATE_WRITE = 23;
bool populates = true;

void populateTop(const Mapped& m) {
  if (!populates) return;
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  char* top = static_cast<char*>(m.stack.base) + m.stack.bytes;
  if (madvise(top - page, page, POPULATE_WRITE) != 0 && errno == EINVAL) populates = false;
}

// A slot made ready for its first thread, its guard made and its top page
// present: done when the slot is first taken, so a run with three threads
// makes three guards, not thirty-two.
bool prepareSlot(Mapped& m) {
  if (m.guarded) return true;
  if (guardsInstall && madvise(m.guard, GUARD_BYTES, GUARD_INSTALL) == 0) {
    m.guarded = true;
  } else {
    if (guardsInstall && errno == EINVAL) guardsInstall = false;
    m.guarded = mprotect(m.guard, GUARD_BYTES, PROT_NONE) == 0;
  }
  if (m.guarded) populateTop(m);
  return m.guarded;
}

std::vector<Mapped> mapped;
std::vector<size_t> freeList;  // indexes into mapped
struct sigaction previousSegv, previousBus;

void onFault(int sig, siginfo_t* info, void*) {
  const char* at = static_cast<const char*>(info->si_addr);
  for (const Mapped& m : mapped) {
    if (at >= m.guard && at < m.guard + GUARD_BYTES) {
      char text[256];
      int n = std::snprintf(
          text, sizeof text,
          "quorvelta-sim: simulated thread %d (%s) overflowed its stack of %zu KiB (exit %d)\n",
          m.owner ? m.owner->id : 0, m.owner ? m.owner->name.c_str() : "?", m.stack.bytes / 1024,
          STACK_OVERFLOW_EXIT);
      if (n > 0 && write(2, text, size_t(n) < sizeof text ? size_t(n) : sizeof text - 1) < 0) {
      }
      _exit(STACK_OVERFLOW_EXIT);
    }
  }
  // Not ours: the fault happens again as it returns, and whoever handled
  // it before (the default, a sanitizer) sees it.
  sigaction(sig, sig == SIGSEGV ? &previousSegv : &previousBus, nullptr);
}

}  // namespace

Stack takeStack(size_t bytes, Thread* t) {
  for (size_t i = 0; i < freeList.size(); i++) {
    Mapped& m = mapped[freeList[i]];
    if (m.stack.bytes >= bytes && prepareSlot(m)) {
      freeList[i] = freeList.back();
      freeList.pop_back();
      m.owner = t;
#if defined(QV_SCHED_ASAN)
      // The thread before left its frames' red zones poisoned: a new frame
      // assumes clean shadow where it does not poison its own. Only the
      // frames live when it ended are, at the stack's top; cleaning the
      // whole stack's shadow touched pages of it no thread ever used
      // (a quarter of a sweep run's time under the sanitizer).
      char* top = static_cast<char*>(m.stack.base) + m.stack.bytes;
      const char* from = static_cast<const char*>(m.stack.base);
      if (m.dirtyFrom && m.dirtyFrom > from && m.dirtyFrom <= top) from = m.dirtyFrom;
      ASAN_UNPOISON_MEMORY_REGION(from, size_t(top - from));
#endif
      return m.stack;
    }
  }
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  bytes = (bytes + page - 1) / page * page;
  const size_t slot = GUARD_BYTES + bytes;
  void* p = mmap(nullptr, slot * STACKS_PER_MAP, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return Stack{};
  const size_t first = mapped.size();
  for (size_t k = 0; k < STACKS_PER_MAP; k++) {
    char* guard = static_cast<char*>(p) + k * slot;
    Stack s{guard + GUARD_BYTES, bytes, mapped.size()};
    // A slot never used has clean shadow (nothing dirty below its top).
    mapped.push_back({guard, s, nullptr, guard + GUARD_BYTES + bytes, false});
  }
  // The first slot is this thread's; the others wait in the free list.
  for (size_t k = 1; k < STACKS_PER_MAP; k++) freeList.push_back(first + k);
  if (!prepareSlot(mapped[first])) {
    freeList.push_back(first);
    return Stack{};
  }
  mapped[first].owner = t;
  return mapped[first].stack;
}

void giveBackStack(Stack s, const void* dirtyFrom) {
  if (!s.base) return;
  mapped[s.index].dirtyFrom = static_cast<const char*>(dirtyFrom);
  freeList.push_back(s.index);
}

int stacksMapped() { return int(mapped.size()); }

void guardStacksWithoutMarkers() { guardsInstall = false; }

void catchStackOverflows(void* altStack, size_t bytes) {
  stack_t ss{};
  ss.ss_sp = altStack;
  ss.ss_size = bytes;
  sigaltstack(&ss, nullptr);
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction sa {};
  sa.sa_sigaction = onFault;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGSEGV, &sa, &previousSegv);
  sigaction(SIGBUS, &sa, &previousBus);
}

}  // namespace sim::sched
