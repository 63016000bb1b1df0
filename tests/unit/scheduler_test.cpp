// The scheduler runs once per process, so each case runs in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "harness/child.h"
#include "harness/scheduler.h"
#include "harness/scheduler_host.h"
#include "platform/core.h"

namespace {

// Runs body in a forked child; the child's exit code is the verdict.
int inChild(int (*body)()) {
  sim::ChildEnd end = sim::runInChild(body);
  return end.exited ? end.code : 100;
}

std::vector<std::string> order;

// Runs body in a forked child with its standard error muted; true when the
// child was ended by an abort.
bool abortsInChild(void (*body)()) {
  sim::ChildEnd end = sim::runInChild([body] {
    std::freopen("/dev/null", "w", stderr);
    body();
    return 0;
  });
  return !end.exited && end.signal == SIGABRT;
}

int timeJumpsAndTiesKeepRegistrationOrder() {
  auto start = std::chrono::steady_clock::now();
  sim::RunResult r = sim::schedRun("main", [] {
    for (const char* name : {"a", "b", "c"}) {
      sim::schedSpawn(
          name,
          [name] {
            plat::sleep(60'000);  // a minute of virtual time
            order.push_back(name);
          },
          0);
    }
    plat::sleep(30'000);
    order.push_back("main@" + std::to_string(sim::now()));
  });
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (r.reason != sim::EndReason::AllThreadsEnded) return 1;
  if (sim::now() != 60'000) return 2;
  if (order != std::vector<std::string>{"main@30000", "a", "b", "c"}) return 3;
  if (wall > 5) return 4;
  return 0;
}

int deadlockIsReportedWithTheThreadsStates() {
  static int key;
  sim::RunResult r = sim::schedRun("main", [] {
    sim::schedSpawn(
        "waiter", [] { sim::waitOn(&key, sim::NEVER, "a message that never comes"); }, 0);
    sim::waitOn(&key + 1, sim::NEVER, "another");
  });
  if (r.reason != sim::EndReason::Deadlock) return 1;
  if (r.report.find("waiter") == std::string::npos) return 2;
  if (r.report.find("a message that never comes") == std::string::npos) return 3;
  return 0;
}

int contendedLockWaitsInTheScheduler() {
  static plat::CRITICAL_SECTION cs;
  plat::initializeCriticalSection(&cs);
  sim::RunResult r = sim::schedRun("main", [] {
    plat::enterCriticalSection(&cs);
    plat::enterCriticalSection(&cs);  // recursive
    sim::schedSpawn(
        "other",
        [] {
          plat::enterCriticalSection(&cs);
          order.push_back("other@" + std::to_string(sim::now()));
          plat::leaveCriticalSection(&cs);
        },
        0);
    plat::sleep(500);  // "other" runs and blocks on the lock
    order.push_back("main");
    plat::leaveCriticalSection(&cs);
    plat::leaveCriticalSection(&cs);
  });
  if (r.reason != sim::EndReason::AllThreadsEnded) return 1;
  if (order != std::vector<std::string>{"main", "other@500"}) return 2;
  return 0;
}

int waitTimesOutAtItsDeadline() {
  static int key;
  static bool woken = true;
  sim::RunResult r = sim::schedRun("main", [] {
    woken = sim::waitOn(&key, 1000, "an echo");
    if (sim::now() != 1000) woken = true;
  });
  return r.reason == sim::EndReason::AllThreadsEnded && !woken ? 0 : 1;
}

// A lock released by a thread that does not hold it is refused: one held
// by another thread, one nobody holds, one left once too often.
void releaseAnotherThreadsLock() {
  static plat::CRITICAL_SECTION cs;
  plat::initializeCriticalSection(&cs);
  sim::schedRun("main", [] {
    plat::enterCriticalSection(&cs);
    sim::schedSpawn(
        "other", [] { plat::leaveCriticalSection(&cs); }, 0);
    plat::sleep(500);
    plat::leaveCriticalSection(&cs);
  });
}

void releaseAnUnheldLock() {
  static plat::CRITICAL_SECTION cs;
  plat::initializeCriticalSection(&cs);
  sim::schedRun("main", [] { plat::leaveCriticalSection(&cs); });
}

void releaseOnceTooOften() {
  static plat::CRITICAL_SECTION cs;
  plat::initializeCriticalSection(&cs);
  plat::enterCriticalSection(&cs);
  plat::leaveCriticalSection(&cs);
  plat::leaveCriticalSection(&cs);
}

void releaseHeldLockProperly() {
  static plat::CRITICAL_SECTION cs;
  plat::initializeCriticalSection(&cs);
  sim::schedRun("main", [] {
    plat::enterCriticalSection(&cs);
    plat::enterCriticalSection(&cs);
    plat::leaveCriticalSection(&cs);
    plat::leaveCriticalSection(&cs);
  });
}

// Short-lived threads in rounds, the way the worst-case run's sweeps make
// them: the stacks of threads that ended are used again, so far fewer are
// mapped than threads started (about as many as were alive at once, plus
// those whose real threads had not quite left when the next one started;
// without reuse it would be all 901).
int endedThreadsLeaveTheirStacksToNewOnes() {
  static int ran = 0;
  sim::RunResult r = sim::schedRun("main", [] {
    for (int round = 0; round < 3; round++) {
      for (int i = 0; i < 300; i++) {
        sim::schedSpawn(
            "probe",
            [] {
              plat::sleep(100);
              ran++;
            },
            64 * 1024);
        plat::sleep(1);
      }
      plat::sleep(1000);
    }
  });
  if (r.reason != sim::EndReason::AllThreadsEnded || ran != 900) return 1;
  if (sim::peakThreads() > 102) return 2;
  if (sim::stacksMapped() >= 450) return 3;
  return 0;
}

// A fresh slot's stack comes with its top page present, where its thread
// starts, and nothing else of it: a sweep's thousand stacks each cost one
// page, made present by one call rather than by a fault.
int aFreshStackHasItsTopPageAndNoMore() {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  // A kernel without MADV_POPULATE_WRITE (before 5.14) faults it in later.
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  const bool populates = madvise(probe, page, 23 /*MADV_POPULATE_WRITE*/) == 0;
  munmap(probe, page);
  sim::sched::Stack s = sim::sched::takeStack(64 * 1024, nullptr);
  if (!s.base) return 1;
  char* top = static_cast<char*>(s.base) + s.bytes;
  unsigned char in[2] = {0, 0};
  if (mincore(top - 2 * page, 2 * page, in) != 0) return 2;
  if (populates && !(in[1] & 1)) return 3;
  if (in[0] & 1) return 4;
  sim::sched::giveBackStack(s);
  return 0;
}

// What the device keeps per thread stays each simulated thread's own
// across switches, though they may share one host thread.
int lastErrorIsEachThreadsOwn() {
  static plat::DWORD mainSaw = 0, otherSaw = 0;
  sim::RunResult r = sim::schedRun("main", [] {
    plat::setLastError(5);
    sim::schedSpawn(
        "other",
        [] {
          plat::setLastError(7);
          plat::sleep(20);
          otherSaw = plat::getLastError();
        },
        0);
    plat::sleep(10);  // "other" has set its own by now
    mainSaw = plat::getLastError();
    plat::setLastError(9);
    plat::sleep(20);
  });
  if (r.reason != sim::EndReason::AllThreadsEnded) return 1;
  return mainSaw == 5 && otherSaw == 7 ? 0 : 2;
}

// A thread asking for a larger stack than the smallest one gets it.
int largeStackRequestIsHonoured() {
  static bool done = false;
  sim::RunResult r = sim::schedRun("main", [] {
    sim::schedSpawn(
        "big",
        [] {
          char buf[700 * 1024];
          std::memset(buf, 1, sizeof buf);
          done = buf[sizeof buf - 1] == 1;
        },
        1024 * 1024);
  });
  return r.reason == sim::EndReason::AllThreadsEnded && done ? 0 : 1;
}

volatile int depthLimit = 1 << 30;  // never reached: the stack ends first

int recurse(int depth) {
  volatile char frame[512];
  frame[0] = char(depth);
  if (depth >= depthLimit) return frame[0];
  return recurse(depth + 1) + frame[0];
}

// Runs a thread that recurses without end; answers its exit code and what
// it wrote on standard error.
int overflowInChild(std::string& err, bool withoutMarkers = false) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 2);
    close(fds[0]);
    if (withoutMarkers) sim::sched::guardStacksWithoutMarkers();
    sim::schedRun("main", [] {
      sim::schedSpawn(
          "deep", [] { recurse(0); }, 0);
      plat::sleep(10);
    });
    _exit(0);
  }
  close(fds[1]);
  char buf[512];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) err.append(buf, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Scheduler, VirtualTimeJumpsAndTiesGoInRegistrationOrder) {
  EXPECT_EQ(inChild(timeJumpsAndTiesKeepRegistrationOrder), 0);
}
TEST(Scheduler, DeadlockIsReportedNotHung) {
  EXPECT_EQ(inChild(deadlockIsReportedWithTheThreadsStates), 0);
}
TEST(Scheduler, ContendedLockBlocksInTheScheduler) {
  EXPECT_EQ(inChild(contendedLockWaitsInTheScheduler), 0);
}
TEST(Scheduler, LockReleasedByAThreadNotHoldingItIsRefused) {
  EXPECT_TRUE(abortsInChild(releaseAnotherThreadsLock));
  EXPECT_TRUE(abortsInChild(releaseAnUnheldLock));
  EXPECT_TRUE(abortsInChild(releaseOnceTooOften));
  EXPECT_FALSE(abortsInChild(releaseHeldLockProperly));
}
// Only the baton holder may sleep, wait or wake: a plain thread of the
// process that calls into the scheduler while a run goes stops it.
void plainThreadSleeps() { sim::sleepUntil(10, "nothing"); }
void plainThreadWakesDuringARun() {
  sim::schedRun("main", [] {
    std::thread plain([] { sim::wakeAll(&order); });
    plain.join();
  });
}
void holderSleepsAndWakes() {
  sim::schedRun("main", [] {
    sim::wakeAll(&order);
    plat::sleep(5);
  });
}

TEST(Scheduler, OnlyTheBatonHolderSleepsWaitsOrWakes) {
  EXPECT_TRUE(abortsInChild(plainThreadSleeps));
  EXPECT_TRUE(abortsInChild(plainThreadWakesDuringARun));
  EXPECT_FALSE(abortsInChild(holderSleepsAndWakes));
}
TEST(Scheduler, WaitEndsAtItsDeadline) { EXPECT_EQ(inChild(waitTimesOutAtItsDeadline), 0); }
TEST(Scheduler, PerThreadStorageIsEachSimulatedThreadsOwn) {
  EXPECT_EQ(inChild(lastErrorIsEachThreadsOwn), 0);
}
TEST(Scheduler, LargeStackRequestIsHonoured) { EXPECT_EQ(inChild(largeStackRequestIsHonoured), 0); }
TEST(Scheduler, StackOverflowIsReportedForTheThread) {
  std::string err;
  EXPECT_EQ(overflowInChild(err), sim::STACK_OVERFLOW_EXIT);
  EXPECT_NE(err.find("simulated thread 2 (deep) overflowed its stack"), std::string::npos) << err;
  // The same where the kernel has no guard markers and a guard is a
  // region without access.
  err.clear();
  EXPECT_EQ(overflowInChild(err, true), sim::STACK_OVERFLOW_EXIT);
  EXPECT_NE(err.find("simulated thread 2 (deep) overflowed its stack"), std::string::npos) << err;
}
TEST(Scheduler, EndedThreadsStacksAreUsedAgain) {
  EXPECT_EQ(inChild(endedThreadsLeaveTheirStacksToNewOnes), 0);
}

TEST(Scheduler, AFreshStackHasItsTopPageAndNoMore) {
  EXPECT_EQ(inChild(aFreshStackHasItsTopPageAndNoMore), 0);
}

}  // namespace
