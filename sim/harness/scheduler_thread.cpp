// The scheduler's back end of host threads (QV_SCHEDULER=threads): every
// simulated thread is a host thread on a stack from the scheduler's pool,
// and only the one holding the baton runs; the others wait on a condition
// variable of their own. Kept beside the default (scheduler_context.cpp)
// so that the two can be measured side by side (scripts/bench.sh).
#include <pthread.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "harness/scheduler_host.h"

namespace sim::sched {

struct HostRun {
  pthread_t handle{};
  std::condition_variable cv;
};

namespace {

// ThreadSanitizer refuses to start a thread on less than about 900 KiB of
// a stack the caller provides.
#if defined(QV_SCHED_TSAN)
constexpr size_t MIN_STACK_BYTES = 2 * 1024 * 1024;
#else
constexpr size_t MIN_STACK_BYTES = 256 * 1024;
#endif

std::mutex m;  // guards only the hand-over
std::condition_variable ended;
bool over = false;
Thread* baton = nullptr;
std::vector<Thread*> unjoined;  // ended, not yet joined

void waitForBaton(Thread* t) {
  std::unique_lock<std::mutex> lk(m);
  t->host->cv.wait(lk, [&] { return baton == t && !over; });
}

void handTo(Thread* next) {
  std::lock_guard<std::mutex> lk(m);
  baton = next;
  next->host->cv.notify_one();
}

void runIsOver() {
  std::lock_guard<std::mutex> lk(m);
  over = true;
  baton = nullptr;
  ended.notify_all();
}

// Where an overflow of the thread's stack is reported (in the thread's
// static storage, which the C library places at the top of its stack).
thread_local char reportStack[16 * 1024];

thread_local Thread* hostSelf = nullptr;  // the simulated thread this host thread is

void* entry(void* arg) {
  Thread* t = static_cast<Thread*>(arg);
  hostSelf = t;
  waitForBaton(t);
  catchStackOverflows(reportStack, sizeof reportStack);
  threadMain(t);
}

// Stacks of joined threads go back to the pool.
void reapEnded() {
  size_t kept = 0;
  for (Thread* t : unjoined) {
    if (pthread_tryjoin_np(t->host->handle, nullptr) == 0) {
      giveBackStack(t->stack);
      t->stack = Stack{};
      delete t->host;
      t->host = nullptr;
    } else {
      unjoined[kept++] = t;
    }
  }
  unjoined.resize(kept);
}

}  // namespace

bool hostCreate(Thread* t, size_t stackBytes, std::string* why) {
  reapEnded();
  Stack s = takeStack(stackBytes > MIN_STACK_BYTES ? stackBytes : MIN_STACK_BYTES, t);
  if (!s.base) {
    *why = std::string("mmap: ") + std::strerror(errno);
    return false;
  }
  t->host = new HostRun;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, s.base, s.bytes);
  int rc = pthread_create(&t->host->handle, &attr, entry, t);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    *why = std::string("pthread_create: ") + std::strerror(rc);
    giveBackStack(s);
    delete t->host;
    t->host = nullptr;
    return false;
  }
  t->stack = s;
  return true;
}

bool hostHoldsBaton() { return hostSelf != nullptr && hostSelf == current(); }

void hostRun(Thread* first) {
  handTo(first);
  {
    std::unique_lock<std::mutex> lk(m);
    ended.wait(lk, [] { return over; });
  }
  // Every thread that ended is leaving or has left; the others wait for
  // ever and are never joined.
  for (Thread* u : unjoined) pthread_join(u->host->handle, nullptr);
  unjoined.clear();
}

void hostSwitch(Thread* me, Thread* next) {
  handTo(next);
  waitForBaton(me);
}

void hostEnd(Thread* me, Thread* next) {
  // Joined, and its stack used again, once the host thread has left it.
  unjoined.push_back(me);
  if (next)
    handTo(next);
  else
    runIsOver();
  pthread_exit(nullptr);
}

void hostHalt(Thread* me) {
  runIsOver();
  std::unique_lock<std::mutex> lk(m);
  me->host->cv.wait(lk, [] { return false; });
  __builtin_unreachable();
}

}  // namespace sim::sched
