// Who runs next, the virtual clock and the waits. How a thread runs on the
// host, and how the baton passes, is the back end's (scheduler_host.h).
#include "harness/scheduler.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <queue>
#include <thread>
#include <unordered_map>
#include <vector>

#include "harness/scheduler_host.h"
#include "harness/trace.h"
#include "platform/assert.h"

namespace sim {
namespace sched {
namespace {

struct Timed {
  Ms when;
  uint64_t seq;
  Thread* thread;               // a wake-up, or
  uint64_t gen;                 // (the wait it belongs to)
  std::function<void()> event;  // an event
  bool operator>(const Timed& o) const { return when != o.when ? when > o.when : seq > o.seq; }
};

struct Sched {
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
  // How many threads wait on each key (waitOn): wakeAll looks through the
  // threads only for a key somebody waits on, as a lock is released far
  // more often than anybody waits for it.
  std::unordered_map<const void*, int> waiters;
  int peak = 0;
  std::string spawnError;  // the host's reason a thread could not be made
  std::chrono::steady_clock::time_point paceStart;
};

Sched S;
std::atomic<int> interruptSignal{0};

// Sleeps until `until`, in short steps, so that an interrupt is seen at
// once during a paced run.
void paceUntil(std::chrono::steady_clock::time_point until) {
  traceFlush();  // whoever follows the trace sees it move with the run
  while (!interruptSignal.load() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_until(
        std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
}

// The hand-over's one rule: only the thread holding the baton runs, so only
// it may sleep, wait, switch or end (events and the idle hook run in its
// context while it hands over).
// `own`: the holder's own act (sleep, wait, give way, end), never one made
// from an event it runs while handing over.
void requireBaton(bool own = true) {
  QV_ASSERT(S.current != nullptr && hostHoldsBaton(),
            "a scheduler call comes from a simulated thread");
  QV_ASSERT(!own || S.current->state == State::Running,
            "only the thread holding the baton sleeps, waits or switches");
}

// The run is over: the caller's back end halts the simulation next.
void finish(EndReason reason, int code, std::string report) {
  if (S.over) return;
  S.over = true;
  S.result = {reason, code, std::move(report)};
  S.current = nullptr;
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
    if (int sig = interruptSignal.load()) {
      trace("sim.interrupted", {{"signal", sig == SIGINT ? "SIGINT" : "SIGTERM"}});
      finish(EndReason::Interrupted, 128 + sig, "");
      return nullptr;
    }
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
          paceUntil(S.paceStart +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double, std::milli>(double(e.when) * S.pace)));
          if (interruptSignal.load()) {
            S.timed.push(e);  // not reached: the run stops where it stood
            continue;
          }
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

// The calling thread has set its own state; run somebody else until it is
// its turn again.
void reschedule() {
  Thread* me = S.current;
  Thread* next = pickNext();
  if (!next) hostHalt(me);  // the run is over; this thread never runs again
  if (next != me) {
    S.current = next;
    hostSwitch(me, next);
  }
  me->state = State::Running;
}

thread_local std::vector<SlotValue> hostSlots;  // of threads outside the simulation

}  // namespace

Thread* current() { return S.current; }
void setCurrent(Thread* t) { S.current = t; }

void threadMain(Thread* t) {
  t->state = State::Running;
  t->body();
  endThread();
}

}  // namespace sched

using namespace sched;

void schedConfigure(double pace) { S.pace = pace; }

RunResult schedRun(const char* name, std::function<void()> first) {
  S.paceStart = std::chrono::steady_clock::now();
  if (!schedSpawn(name, std::move(first), 0))
    return RunResult{EndReason::HostLimit, EXIT_HOST_LIMIT,
                     "cannot start the program's first thread: " + S.spawnError};
  Thread* t = S.ready.front();
  S.ready.pop_front();
  S.current = t;
  hostRun(t);
  return S.result;
}

int schedSpawn(const char* name, std::function<void()> body, size_t stackBytes) {
  // The first thread is started from outside the run, every later one by
  // the baton holder.
  QV_ASSERT(hostHoldsBaton() || S.threads.empty(), "threads are started by simulated threads");
  if (S.current) requireBaton(false);
  auto t = std::make_unique<Thread>();
  t->id = int(S.threads.size()) + 1;
  t->name = name;
  t->body = std::move(body);
  Thread* raw = t.get();
  S.threads.push_back(std::move(t));
  std::string why;
  if (!hostCreate(raw, stackBytes, &why)) {
    raw->state = State::Done;
    // The program's own refusals (max_threads, fail_thread_starts) are
    // decided before this: a thread the host will not make is the host's
    // limit, and the run cannot go on as the device's would.
    S.spawnError = why + " (the host's limit of processes or memory: ulimit -u, -v)";
    if (inSimulation()) stopForHost(EXIT_HOST_LIMIT, "cannot create a thread: " + S.spawnError);
    return 0;
  }
  S.ready.push_back(raw);
  S.live++;
  S.peak = std::max(S.peak, S.live);
  return raw->id;
}

Ms now() { return S.clock; }
int currentThread() { return S.current ? S.current->id : 0; }
bool inSimulation() { return S.current != nullptr; }
bool mayGiveWay() { return S.current && S.current->state == State::Running; }

void giveWay() {
  requireBaton();
  Thread* me = S.current;
  me->state = State::Ready;
  S.ready.push_back(me);
  reschedule();
}

void sleepUntil(Ms when, const char* what) {
  requireBaton();
  Thread* me = S.current;
  // A zero sleep still gives the others waiting to run their turn.
  if (when <= S.clock) return giveWay();
  me->state = State::Waiting;
  me->waitKey = nullptr;
  me->what = what;
  me->waitGen++;
  S.timed.push({when, S.seq++, me, me->waitGen, nullptr});
  reschedule();
}

bool waitOn(const void* key, Ms deadline, const char* what) {
  requireBaton();
  Thread* me = S.current;
  me->state = State::Waiting;
  me->waitKey = key;
  me->what = what;
  me->woken = false;
  me->waitGen++;
  if (deadline != NEVER) S.timed.push({deadline, S.seq++, me, me->waitGen, nullptr});
  if (key) S.waiters[key]++;
  reschedule();
  if (key && !me->woken && --S.waiters[key] == 0) S.waiters.erase(key);  // the deadline came first
  me->waitKey = nullptr;
  return me->woken;
}

void wakeAll(const void* key) {
  // Outside a run (window calls made by a plain thread) nobody can wait.
  QV_ASSERT(hostHoldsBaton() || S.live == 0, "threads are woken by the baton holder");
  if (hostHoldsBaton()) requireBaton(false);
  auto waiting = key ? S.waiters.find(key) : S.waiters.end();
  if (waiting == S.waiters.end()) return;
  S.waiters.erase(waiting);
  // In thread order, so that the order of wake-ups is fixed.
  for (auto& t : S.threads) {
    if (t->state == State::Waiting && t->waitKey == key) {
      t->state = State::Ready;
      t->woken = true;
      t->waitKey = nullptr;
      S.ready.push_back(t.get());
    }
  }
}

void endThread() {
  requireBaton();
  Thread* me = S.current;
  me->state = State::Done;
  S.live--;
  Thread* next = pickNext();
  if (next) S.current = next;
  // The record stays for the report; the stack goes back to the pool.
  hostEnd(me, next);
}

void endProcess(int code) {
  requireBaton();
  Thread* me = S.current;
  finish(EndReason::ProcessExit, code, "");
  hostHalt(me);
}

void stopForHost(int code, const std::string& why) {
  Thread* me = S.current;
  trace("sim.host_limit", {{"what", why}});
  finish(EndReason::HostLimit, code, why);
  hostHalt(me);
}

void requestInterrupt(int signal) {
  int none = 0;
  interruptSignal.compare_exchange_strong(none, signal);
}

void at(Ms when, std::function<void()> event) {
  S.timed.push({std::max(when, S.clock), S.seq++, nullptr, 0, std::move(event)});
}

void setIdleHook(std::function<bool()> hook) { S.idleHook = std::move(hook); }
int liveThreads() { return S.live; }
int peakThreads() { return S.peak; }
int stacksMapped() { return sched::stacksMapped(); }

SlotValue& threadSlot(int index) {
  std::vector<SlotValue>& v = S.current ? S.current->slots : hostSlots;
  if (v.size() <= size_t(index)) v.resize(size_t(index) + 1);
  return v[size_t(index)];
}

int newThreadSlot() {
  static int next = 0;
  return next++;
}

}  // namespace sim
