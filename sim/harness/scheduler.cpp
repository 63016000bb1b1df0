#include "harness/scheduler.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "platform/assert.h"

namespace sim {
namespace {

enum class State { Ready, Running, Waiting, Done };

// A thread stack of our own, above a guard page. Stacks are used again once
// the thread on them has been joined: a sweep starts almost a thousand
// short-lived threads, and mapping, faulting in and unmapping a fresh stack
// for each was most of a run's time.
struct Stack {
  void* base = nullptr;  // lowest usable byte
  size_t bytes = 0;
};

// The smallest stack handed to a thread. Sanitizer runtimes keep room of
// their own on it: ThreadSanitizer refuses to start a thread on less than
// about 900 KiB of a stack the caller provides.
#if defined(__SANITIZE_THREAD__)
constexpr size_t MIN_STACK_BYTES = 2 * 1024 * 1024;
#else
constexpr size_t MIN_STACK_BYTES = 256 * 1024;
#endif

struct Thread {
  int id = 0;
  std::string name;
  std::function<void()> body;
  pthread_t handle{};
  Stack stack;
  State state = State::Ready;
  const void* waitKey = nullptr;
  const char* what = "";
  Ms deadline = NEVER;
  uint64_t waitGen = 0;
  bool woken = false;
  std::condition_variable cv;
};

struct Timed {
  Ms when;
  uint64_t seq;
  Thread* thread;               // a wake-up, or
  uint64_t gen;                 // (the wait it belongs to)
  std::function<void()> event;  // an event
  bool operator>(const Timed& o) const { return when != o.when ? when > o.when : seq > o.seq; }
};

struct Sched {
  std::mutex m;  // guards only the hand-over
  std::condition_variable ended;
  bool over = false;
  RunResult result;

  double pace = 0;
  Ms clock = 0;
  uint64_t seq = 0;
  Thread* current = nullptr;
  std::vector<std::unique_ptr<Thread>> threads;  // index = id - 1
  std::deque<Thread*> ready;
  std::priority_queue<Timed, std::vector<Timed>, std::greater<Timed>> timed;
  std::function<bool()> idleHook;
  int live = 0;
  int peak = 0;
  int stacks = 0;  // mapped so far
  std::vector<Stack> freeStacks;
  std::vector<Thread*> unjoined;  // ended, not yet joined
  std::chrono::steady_clock::time_point paceStart;
};

Sched S;
thread_local Thread* self = nullptr;

// The hand-over's one rule: only the thread holding the baton runs, so only
// it may sleep, wait, wake others, start threads, switch or end (events and
// the idle hook run in its context while it hands over).
void requireBaton() {
  QV_ASSERT(self != nullptr, "a scheduler call comes from a simulated thread");
  std::lock_guard<std::mutex> lk(S.m);
  QV_ASSERT(S.current == self, "only the thread holding the baton sleeps, waits or switches");
}

void finish(EndReason reason, int code, std::string report) {
  std::lock_guard<std::mutex> lk(S.m);
  if (S.over) return;
  S.over = true;
  S.result = {reason, code, std::move(report)};
  S.current = nullptr;
  S.ended.notify_all();
}

std::string describeThreads() {
  std::string out;
  for (auto& t : S.threads) {
    if (t->state == State::Done) continue;
    char line[256];
    std::snprintf(line, sizeof line, "  thread %d (%s): %s%s\n", t->id, t->name.c_str(),
                  t->state == State::Waiting ? "waiting for " : "ready",
                  t->state == State::Waiting ? t->what : "");
    out += line;
  }
  return out;
}

// Picks the thread to run next, moving time on as needed. Answers null when
// the run is over (finish() has been called).
Thread* pickNext() {
  for (;;) {
    if (!S.ready.empty()) {
      Thread* t = S.ready.front();
      S.ready.pop_front();
      return t;
    }
    if (!S.timed.empty()) {
      Timed e = S.timed.top();
      S.timed.pop();
      if (e.thread && (e.thread->state != State::Waiting || e.thread->waitGen != e.gen)) continue;
      if (e.when > S.clock) {
        // Paced against the run's start, not step by step, so that the
        // time spent computing and the sleeps' own lateness do not add up.
        if (S.pace > 0) {
          std::this_thread::sleep_until(
              S.paceStart +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                  std::chrono::duration<double, std::milli>(double(e.when) * S.pace)));
        }
        S.clock = e.when;
      }
      if (e.thread) {
        e.thread->state = State::Ready;
        e.thread->woken = false;
        S.ready.push_back(e.thread);
      } else {
        e.event();
      }
      continue;
    }
    if (S.live == 0) {
      finish(EndReason::AllThreadsEnded, 0, "");
      return nullptr;
    }
    if (S.idleHook && S.idleHook()) continue;
    finish(EndReason::Deadlock, 3, describeThreads());
    return nullptr;
  }
}

void waitForBaton(Thread* t) {
  std::unique_lock<std::mutex> lk(S.m);
  t->cv.wait(lk, [&] { return S.current == t && !S.over; });
  t->state = State::Running;
}

void handTo(Thread* next) {
  std::lock_guard<std::mutex> lk(S.m);
  S.current = next;
  next->cv.notify_one();
}

// The calling thread has set its own state; run somebody else until it is
// its turn again.
void reschedule() {
  Thread* me = self;
  Thread* next = pickNext();
  if (!next) {
    // The run is over; this thread never runs again.
    std::unique_lock<std::mutex> lk(S.m);
    me->cv.wait(lk, [] { return false; });
  }
  if (next == me) {
    me->state = State::Running;
    return;
  }
  handTo(next);
  waitForBaton(me);
}

void* threadMain(void* arg) {
  Thread* t = static_cast<Thread*>(arg);
  self = t;
  waitForBaton(t);
  t->body();
  endThread();
}

// Stacks of joined threads go back to the pool.
void reapEnded() {
  size_t kept = 0;
  for (Thread* t : S.unjoined) {
    if (pthread_tryjoin_np(t->handle, nullptr) == 0) {
      S.freeStacks.push_back(t->stack);
      t->stack = Stack{};
    } else {
      S.unjoined[kept++] = t;
    }
  }
  S.unjoined.resize(kept);
}

// A stack of at least `bytes`, from the pool or newly mapped; an empty one
// when no memory is left.
Stack takeStack(size_t bytes) {
  reapEnded();
  for (size_t i = 0; i < S.freeStacks.size(); i++) {
    if (S.freeStacks[i].bytes >= bytes) {
      Stack st = S.freeStacks[i];
      S.freeStacks[i] = S.freeStacks.back();
      S.freeStacks.pop_back();
      return st;
    }
  }
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  bytes = (bytes + page - 1) / page * page;
  void* m = mmap(nullptr, bytes + page, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (m == MAP_FAILED) return Stack{};
  mprotect(m, page, PROT_NONE);  // the guard below the stack
  S.stacks++;
  return Stack{static_cast<char*>(m) + page, bytes};
}

}  // namespace

void schedConfigure(double pace) { S.pace = pace; }

RunResult schedRun(const char* name, std::function<void()> first) {
  S.paceStart = std::chrono::steady_clock::now();
  if (!schedSpawn(name, std::move(first), 0)) {
    std::fprintf(stderr, "quorvelta-sim: cannot start the first thread\n");
    return RunResult{EndReason::StartFailed, 70, ""};
  }
  Thread* t = S.ready.front();
  S.ready.pop_front();
  handTo(t);
  {
    std::unique_lock<std::mutex> lk(S.m);
    S.ended.wait(lk, [] { return S.over; });
  }
  // Every thread that ended is leaving or has left; the others wait for
  // ever and are never joined.
  for (Thread* u : S.unjoined) pthread_join(u->handle, nullptr);
  S.unjoined.clear();
  return S.result;
}

int schedSpawn(const char* name, std::function<void()> body, size_t stackBytes) {
  // The first thread is started from outside the run, every later one by
  // the baton holder.
  if (self) requireBaton();
  QV_ASSERT(self || S.threads.empty(), "threads are started by simulated threads");
  auto t = std::make_unique<Thread>();
  t->id = int(S.threads.size()) + 1;
  t->name = name;
  t->body = std::move(body);
  Thread* raw = t.get();
  S.threads.push_back(std::move(t));
  raw->stack = takeStack(std::max<size_t>(stackBytes, MIN_STACK_BYTES));
  int rc = -1;
  if (raw->stack.base) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, raw->stack.base, raw->stack.bytes);
    rc = pthread_create(&raw->handle, &attr, threadMain, raw);
    pthread_attr_destroy(&attr);
  }
  if (rc != 0) {
    if (raw->stack.base) S.freeStacks.push_back(raw->stack);
    raw->stack = Stack{};
    raw->state = State::Done;
    return 0;
  }
  S.ready.push_back(raw);
  S.live++;
  S.peak = std::max(S.peak, S.live);
  return raw->id;
}

Ms now() { return S.clock; }
int currentThread() { return self ? self->id : 0; }
bool inSimulation() { return self != nullptr; }

void sleepUntil(Ms when, const char* what) {
  requireBaton();
  Thread* me = self;
  if (when <= S.clock) {
    // A zero sleep still gives the others waiting to run their turn.
    me->state = State::Ready;
    S.ready.push_back(me);
    reschedule();
    return;
  }
  me->state = State::Waiting;
  me->waitKey = nullptr;
  me->what = what;
  me->waitGen++;
  S.timed.push({when, S.seq++, me, me->waitGen, nullptr});
  reschedule();
}

bool waitOn(const void* key, Ms deadline, const char* what) {
  requireBaton();
  Thread* me = self;
  me->state = State::Waiting;
  me->waitKey = key;
  me->what = what;
  me->woken = false;
  me->waitGen++;
  if (deadline != NEVER) S.timed.push({deadline, S.seq++, me, me->waitGen, nullptr});
  reschedule();
  me->waitKey = nullptr;
  return me->woken;
}

void wakeAll(const void* key) {
  // Outside a run (window calls made by a plain thread) nobody can wait.
  if (self) requireBaton();
  QV_ASSERT(self || S.live == 0, "threads are woken by the baton holder");
  // In thread order, so that the order of wake-ups is fixed.
  for (auto& t : S.threads) {
    if (t->state == State::Waiting && t->waitKey == key && key) {
      t->state = State::Ready;
      t->woken = true;
      t->waitKey = nullptr;
      S.ready.push_back(t.get());
    }
  }
}

void endThread() {
  requireBaton();
  Thread* me = self;
  me->state = State::Done;
  S.live--;
  // Joined, and its stack used again, once the real thread has left it.
  S.unjoined.push_back(me);
  Thread* next = pickNext();
  if (next) handTo(next);
  // Leave the real thread; its record stays for the report.
  pthread_exit(nullptr);
}

void endProcess(int code) {
  requireBaton();
  finish(EndReason::ProcessExit, code, "");
  std::unique_lock<std::mutex> lk(S.m);
  self->cv.wait(lk, [] { return false; });
  __builtin_unreachable();
}

void at(Ms when, std::function<void()> event) {
  S.timed.push({std::max(when, S.clock), S.seq++, nullptr, 0, std::move(event)});
}

void setIdleHook(std::function<bool()> hook) { S.idleHook = std::move(hook); }
int liveThreads() { return S.live; }
int peakThreads() { return S.peak; }
int stacksMapped() { return S.stacks; }

}  // namespace sim
