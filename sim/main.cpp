// quorvelta-sim: runs the program on a simulated handheld described by a
// scenario file. This file is the command line (its options: harness/options.h); the run itself is
// harness/run.h, the explorer explore/explore.h, the host's side of the
// outputs harness/outputs.h.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "explore/explore.h"
#include "fromlog/fromlog.h"
#include "harness/host.h"
#include "harness/options.h"
#include "harness/outputs.h"
#include "harness/run.h"
#include "harness/scheduler.h"
#include "harness/text.h"
#include "report/report.h"
#include "scenario/scenario.h"
#include "screen/winsys.h"

namespace {

using sim::Options;
using sim::refuse;

// The largest scenario file read (documented in docs/scenarios.md).
constexpr size_t MAX_SCENARIO_BYTES = 16u << 20;

// Loads the scenario named on the command line, or the built-in default.
bool loadWorld(const Options& o) {
  std::string text = sim::DEFAULT_SCENARIO, name = "(built-in default scenario)";
  if (!o.scenarioFile.empty()) {
    name = o.scenarioFile;
    struct stat st;
    if (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "quorvelta-sim: %s: is a folder, not a scenario file\n", name.c_str());
      return false;
    }
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) {
      std::fprintf(stderr, "quorvelta-sim: cannot read %s: %s\n", name.c_str(),
                   std::strerror(errno));
      return false;
    }
    text.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() <= MAX_SCENARIO_BYTES)
      text.append(buf, n);
    bool failed = std::ferror(f);
    int readError = errno;
    std::fclose(f);
    if (failed) {
      std::fprintf(stderr, "quorvelta-sim: cannot read %s: %s\n", name.c_str(),
                   std::strerror(readError));
      return false;
    }
    if (text.size() > MAX_SCENARIO_BYTES) {
      std::fprintf(stderr,
                   "quorvelta-sim: %s: larger than a scenario may be (16 MiB); nothing ran\n",
                   name.c_str());
      return false;
    }
  }
  std::string error, warnings;
  if (!sim::loadScenario(text, name, sim::world, error, &warnings)) {
    std::fputs(error.c_str(), stderr);
    return false;
  }
  std::fputs(warnings.c_str(), stderr);
  if (o.commandLineGiven) sim::world.system.commandLine = o.commandLine;
  return true;
}

// Outputs that would overwrite an input, or each other, are refused.
int checkOutputs(const Options& o) {
  struct Out {
    const char* what;
    const std::string& path;
  };
  const std::string log = o.run.root + "/Temp/Quorvelta.log";
  const Out outs[] = {
      {"--trace", o.run.tracePath}, {"--screenshot", o.screenshotPath}, {"--report", o.reportPath}};
  for (const Out& x : outs) {
    if (x.path.empty()) continue;
    if (!o.scenarioFile.empty() && sim::sameFile(x.path, o.scenarioFile))
      return refuse(std::string(x.what) + " " + x.path + " is the scenario file");
    if (sim::sameFile(x.path, log))
      return refuse(std::string(x.what) + " " + x.path + " is the log");
    struct stat st;
    if (stat(x.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return refuse(std::string(x.what) + " " + x.path + " is a folder");
  }
  if (!o.run.tracePath.empty() && !o.screenshotPath.empty() &&
      sim::sameFile(o.run.tracePath, o.screenshotPath))
    return refuse("--trace and --screenshot name one file");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.run.root = "device";
  if (int code = parseOptions(argc, argv, o); code >= 0) return code;
  if (!o.fromLog.empty()) return sim::fromlog::fromLogMain(o.fromLog, o.scenarioOut);
  if (o.exploring && o.worldOfRun) {
    std::fputs(sim::exploreWorld(o.explore.seed, o.worldOfRun).c_str(), stdout);
    return 0;
  }
  if (o.exploring) return sim::exploreMain(o.explore);
  if (!loadWorld(o)) return 2;
  if (int code = checkOutputs(o)) return code;
  std::string error;
  if (int code = sim::prepareRoot(o.run.root, o.reuseRoot, error)) {
    std::fprintf(stderr, "quorvelta-sim: %s\n", error.c_str());
    return code;
  }
  sim::watchSignals();

  // The report is built from the trace: without --trace, one beside the
  // report for the time it takes.
  bool ownTrace = !o.reportPath.empty() && o.run.tracePath.empty();
  if (ownTrace) o.run.tracePath = o.reportPath + ".trace";
  if (!o.reportPath.empty()) sim::reportCapture();
  sim::RunOutcome r = sim::runOnce(o.run);
  if (!r.ran) {
    std::fprintf(stderr, "quorvelta-sim: %s\n", r.setupError.c_str());
    return sim::EXIT_OUTPUT_FAILED;
  }
  std::fflush(stdout);
  int code = r.exitCode;
  // The first failure to report decides the exit code: a signal, then a
  // host limit, then an output not written.
  auto outputFailed = [&](const std::string& why) {
    std::fprintf(stderr, "quorvelta-sim: %s\n", why.c_str());
    if (!r.interrupted && !r.hostFailure) code = sim::EXIT_OUTPUT_FAILED;
  };
  if (r.deadlock)
    std::fprintf(
        stderr,
        "quorvelta-sim: deadlock at %llu ms: every thread waits and nothing is scheduled\n%s",
        (unsigned long long)r.endedAt, r.threads.c_str());
  if (r.hostFailure)
    std::fprintf(stderr, "quorvelta-sim: %s%s\n",
                 r.exitCode == sim::EXIT_HOST_LIMIT ? "host limit: " : "", r.hostReason.c_str());

  sim::RunReport report;
  report.outcome = &r;
  const std::string log = o.run.root + "/Temp/Quorvelta.log";
  for (const std::string& p : sim::host.written) {
    struct stat st;
    if (stat(p.c_str(), &st) == 0) report.written.push_back("log " + p);
  }
  if (struct stat st; sim::host.written.empty() && stat(log.c_str(), &st) == 0)
    report.echoNote = log + " is an earlier run's: this run wrote no log";
  if (!r.traceError.empty()) {
    sim::removePartial(o.run.tracePath);  // a trace is whole or absent
    outputFailed(r.traceError);
  } else if (!o.run.tracePath.empty()) {
    report.written.push_back("trace " + o.run.tracePath);
  }
  if (!o.screenshotPath.empty()) {
    sim::Frame f;
    std::string why;
    if (!sim::lastFrame(f)) {
      std::fprintf(stderr, "quorvelta-sim: no screenshot %s: no window was painted\n",
                   o.screenshotPath.c_str());
    } else if (!sim::writeScreenshot(o.screenshotPath, why)) {
      sim::removePartial(o.screenshotPath);
      outputFailed("cannot write the screenshot " + o.screenshotPath + ": " + why);
    } else {
      report.written.push_back("screenshot " + o.screenshotPath);
    }
  }
  if (sim::host.echoError && sim::host.echoError != EPIPE)
    outputFailed(std::string("cannot write standard output: ") +
                 std::strerror(sim::host.echoError));
  else if (sim::host.echoError == EPIPE)
    report.echoNote += std::string(report.echoNote.empty() ? "" : "; ") +
                       "standard output was closed: the echo stopped there, the run went on";
  if (!o.reportPath.empty()) {
    std::string why;
    if (!sim::writeReport(o.reportPath, o.run.tracePath, o.run.root + "/Temp/Quorvelta.log", why)) {
      sim::removePartial(o.reportPath);
      outputFailed("cannot write the report " + o.reportPath + ": " + why);
    } else {
      report.written.push_back("report " + o.reportPath);
    }
    if (ownTrace) std::remove(o.run.tracePath.c_str());
  }
  std::fputs(sim::summary(report).c_str(), stderr);
  std::fflush(stderr);
  _exit(code);
}
