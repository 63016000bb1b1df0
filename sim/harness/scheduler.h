// The simulated handheld's scheduler and virtual clock.
//
// Every thread of the simulated process is a simulated thread, but only the
// one holding the baton runs. A thread hands the baton on only inside a
// blocking platform call (sleep, a wait for a message or a lock, an echo's
// wait, its own end) or where it gives way (giveWay). When no thread can
// run, virtual time jumps to the earliest wake-up or scheduled event; ties
// go in the order they were registered. Because of this, everything the
// simulation touches is only ever touched by the baton holder, and the same
// scenario gives the same run every time.
//
// How a simulated thread runs on the host is the back end's business
// (scheduler_host.h): by default each is a user-space context with a stack
// of the scheduler's own, all on one host thread (scheduler_context.cpp);
// the build option QV_SCHEDULER=threads gives each a host thread instead
// (scheduler_thread.cpp), kept to measure the two against each other. Both
// run the same threads in the same order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sim {

using Ms = uint64_t;
constexpr Ms NEVER = UINT64_MAX;

// HostLimit: the host refused the harness something the simulated device
// would have (a thread, memory, a write), so the run stopped: a host's
// shortage is never part of the simulated world. Interrupted: SIGINT or
// SIGTERM reached the harness.
enum class EndReason { AllThreadsEnded, ProcessExit, Deadlock, HostLimit, Interrupted };
struct RunResult {
  EndReason reason = EndReason::AllThreadsEnded;
  int exitCode = 0;
  std::string report;  // the threads' states (a deadlock), the host's reason (HostLimit)
};

// Exit codes of the harness itself (docs/scenarios.md).
constexpr int EXIT_HOST_LIMIT = 71;     // a thread or memory the host would not give
constexpr int EXIT_OUTPUT_FAILED = 74;  // an output that could not be written whole

// The exit code of a simulated thread that ran off the end of its host
// stack into the guard page below it: the harness stops with a message
// naming the thread (a fault of the program, or a stack too small for what
// the simulator does on it), never a random crash.
constexpr int STACK_OVERFLOW_EXIT = 72;

// pace: real seconds added per simulated second (0: as fast as possible).
void schedConfigure(double pace);
// Runs the simulated process with `first` as its first thread and returns
// when it has ended. Called once, from a thread outside the simulation.
RunResult schedRun(const char* name, std::function<void()> first);

// ---- for the baton holder ---------------------------------------------------
// Starts a new thread, runnable after the threads already waiting to run.
// Answers its id, or 0 when the thread could not be started (no host memory
// for its stack).
int schedSpawn(const char* name, std::function<void()> body, size_t stackBytes);
Ms now();
int currentThread();  // 0 outside the simulation
bool inSimulation();  // the calling thread is a simulated one
// The caller is a simulated thread running its own code (not a scheduled
// event run on its stack while it waits): it may give way here.
bool mayGiveWay();
void sleepUntil(Ms when, const char* what);
// Gives way without waiting: the threads already ready to run go first,
// then the caller, at the same virtual time. The one place where a thread
// that does not block may be switched out (a zero sleep, a preempted lock
// release, a switch point at a platform call).
void giveWay();
// Blocks until wakeAll(key) or the deadline. Answers true when woken.
bool waitOn(const void* key, Ms deadline, const char* what);
// Makes every thread waiting on key runnable; does not switch.
void wakeAll(const void* key);
[[noreturn]] void endThread();
[[noreturn]] void endProcess(int code);
// Stops the run for a host failure (exit `code`, `why` naming the host's
// reason); traced as sim.host_limit. From the baton holder only.
[[noreturn]] void stopForHost(int code, const std::string& why);
// Asks the run to stop at the next point a thread gives way (a signal
// handler's thread may call it): the trace then ends with a
// sim.interrupted record and the run ends with 128 + signal.
void requestInterrupt(int signal);
// Runs `event` in the baton holder's context when virtual time reaches
// `when` (before threads that wake at the same time but registered later).
void at(Ms when, std::function<void()> event);
// Asked when nothing can run and nothing is scheduled; answers true when it
// scheduled or readied something, false to let the run end (or deadlock).
void setIdleHook(std::function<bool()> hook);
// Threads alive now and at most at once in this run.
int liveThreads();
int peakThreads();
// Thread stacks mapped so far: those of ended threads are used again, so
// this stays near the peak of threads alive at once.
int stacksMapped();

// ---- storage per simulated thread ----------------------------------------
// What the device keeps per thread (the last error, a lookup's answer
// record): the running simulated thread's own, or outside the simulation
// the calling host thread's. Host thread-local storage cannot serve, as
// simulated threads may share one host thread.
struct SlotValue {
  std::unique_ptr<void, void (*)(void*)> value{nullptr, nullptr};
};
SlotValue& threadSlot(int index);
int newThreadSlot();

template <class T>
class PerThread {
 public:
  PerThread() : index_(newThreadSlot()) {}
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;
  T& get() {
    SlotValue& s = threadSlot(index_);
    if (!s.value) s.value = {new T{}, [](void* p) { delete static_cast<T*>(p); }};
    return *static_cast<T*>(s.value.get());
  }

 private:
  int index_;
};

}  // namespace sim
