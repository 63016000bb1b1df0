// Runs WLAN code on a simulated handheld inside a unit test. The scheduler
// runs once per process, so every run is made in a forked child; the child
// reports what did not hold through a pipe.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "harness/child.h"
#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "scenario/scenario.h"

// What a body found wrong, one line each.
struct SimChecks {
  std::string failures;
  void check(bool ok, const std::string& what) {
    if (!ok) failures += what + "\n";
  }
  template <typename A, typename B>
  void equal(const A& actual, const B& expected, const std::string& what) {
    if (!(actual == expected)) {
      std::ostringstream s;
      s << what << ": got " << actual << ", expected " << expected;
      failures += s.str() + "\n";
    }
  }
};

// Ends the trace and reads it back, one request per element.
inline std::vector<std::string> finishTrace(const std::string& path) {
  sim::traceClose();
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The requests of the trace that contain every one of `parts`.
inline std::vector<std::string> tracedRequests(const std::vector<std::string>& trace,
                                               std::initializer_list<const char*> parts) {
  std::vector<std::string> out;
  for (const std::string& l : trace) {
    bool all = true;
    for (const char* p : parts) all = all && l.find(p) != std::string::npos;
    if (all) out.push_back(l);
  }
  return out;
}

// Loads `scenario` (TOML) and runs body as the simulated process's only
// thread, writing the trace to a file the body can read back (tracePath).
// Answers the failures, empty when everything held.
inline std::string onSimulatedHandheld(
    const std::string& scenario,
    std::function<void(SimChecks&, const std::string& tracePath)> body) {
  char tracePath[] = "/tmp/qv-wlan-trace-XXXXXX";
  int traceFd = mkstemp(tracePath);
  if (traceFd < 0) return "no trace file";
  close(traceFd);
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  pid_t pid = sim::startChild([&] {
    close(fds[0]);
    SimChecks checks;
    std::string error;
    sim::host.echo = false;
    sim::host.debugText.clear();
    if (!sim::loadScenario(scenario, "test.toml", sim::world, error)) {
      checks.failures = "scenario refused: " + error + "\n";
    } else if (!sim::traceOpen(tracePath)) {
      checks.failures = "cannot write the trace\n";
    } else {
      std::string path = tracePath;
      sim::RunResult r = sim::schedRun("run", [&] {
        body(checks, path);
        sim::traceClose();
      });
      if (r.reason != sim::EndReason::AllThreadsEnded)
        checks.failures += "the run did not end by itself\n";
    }
    ssize_t ignored = write(fds[1], checks.failures.data(), checks.failures.size());
    (void)ignored;
    close(fds[1]);
    return 0;
  });
  close(fds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
  close(fds[0]);
  sim::ChildEnd end = sim::waitChild(pid);
  unlink(tracePath);
  if (!end.exited || end.code != 0) out += "the child ended abnormally\n";
  return out;
}

// The driver's 802.11 adapter every scenario here starts with.
constexpr const char* WLAN_BINDING = R"(
[[driver.binding]]
index = 0
name = "WLAGN1"
wlan = true
)";
