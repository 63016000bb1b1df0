// quorvelta-sim: runs the program on a simulated handheld described by a
// scenario file. This file is the command line; the run itself is
// harness/run.h, the explorer explore/explore.h.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "explore/explore.h"
#include "fromlog/fromlog.h"
#include "harness/host.h"
#include "harness/run.h"
#include "harness/text.h"
#include "scenario/scenario.h"
#include "screen/winsys.h"

namespace {

const char* const USAGE =
    "usage: quorvelta-sim [--scenario FILE] [--root DIR] [--pace F] [--screenshot FILE]\n"
    "                     [--trace FILE] [--quiet] [-- COMMAND LINE]\n"
    "       quorvelta-sim --explore SEED [--runs N] [--explore-out DIR] [--jobs J] [--verbose]\n"
    "       quorvelta-sim --explore SEED --world K   (print the world of run K)\n"
    "       quorvelta-sim --from-log FIELD.log --scenario-out WORLD.toml\n";

int usage(const char* why) {
  std::fprintf(stderr, "quorvelta-sim: %s\n%s", why, USAGE);
  return 2;
}

struct Options {
  std::string scenarioFile, screenshotPath;
  sim::RunSetup run;  // root: --root, else ./device
  bool commandLineGiven = false;
  std::u16string commandLine;
  sim::ExploreOptions explore;
  bool exploring = false;
  unsigned long long worldOfRun = 0;
  std::string fromLog, scenarioOut;  // --from-log, --scenario-out
};

// Reads the command line into o; answers -1 to go on, else the exit code.
int parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--") {
      o.commandLineGiven = true;
      for (int k = i + 1; k < argc; k++) {
        if (k > i + 1) o.commandLine += u' ';
        o.commandLine += sim::widen(argv[k]);
      }
      break;
    } else if (a == "--scenario") {
      const char* v = value();
      if (!v) return usage("--scenario needs a file");
      o.scenarioFile = v;
    } else if (a == "--root") {
      const char* v = value();
      if (!v) return usage("--root needs a folder");
      o.run.root = v;
    } else if (a == "--pace") {
      const char* v = value();
      char* end = nullptr;
      double& pace = o.run.pace;
      if (!v || (pace = std::strtod(v, &end), *end) || pace < 0)
        return usage("--pace needs a number >= 0");
    } else if (a == "--trace") {
      const char* v = value();
      if (!v) return usage("--trace needs a file");
      o.run.tracePath = v;
    } else if (a == "--screenshot") {
      const char* v = value();
      if (!v) return usage("--screenshot needs a file");
      o.screenshotPath = v;
    } else if (a == "--explore" || a == "--runs" || a == "--jobs" || a == "--world") {
      const char* v = value();
      char* end = nullptr;
      unsigned long long n = v ? std::strtoull(v, &end, 10) : 0;
      if (!v || *end || !*v || (a != "--explore" && (n < 1 || n > 1000000)))
        return usage((a + " needs a whole number" + (a == "--explore" ? "" : " from 1")).c_str());
      if (a == "--explore") {
        o.exploring = true;
        o.explore.seed = n;
      } else if (a == "--runs") {
        o.explore.runs = int(n);
      } else if (a == "--world") {
        o.worldOfRun = n;
      } else {
        o.explore.jobs = int(n);
      }
    } else if (a == "--explore-out") {
      const char* v = value();
      if (!v) return usage("--explore-out needs a folder");
      o.explore.outDir = v;
    } else if (a == "--from-log" || a == "--scenario-out") {
      const char* v = value();
      if (!v) return usage((a + " needs a file").c_str());
      (a == "--from-log" ? o.fromLog : o.scenarioOut) = v;
    } else if (a == "--verbose") {
      o.explore.verbose = true;
    } else if (a == "--quiet") {
      sim::host.echo = false;
    } else if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    } else {
      return usage(("unknown option " + a).c_str());
    }
  }
  return -1;
}

// Loads the scenario named on the command line, or the built-in default.
bool loadWorld(const Options& o) {
  std::string text = sim::DEFAULT_SCENARIO, name = "(built-in default scenario)";
  if (!o.scenarioFile.empty()) {
    std::ifstream in(o.scenarioFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "quorvelta-sim: cannot read %s\n", o.scenarioFile.c_str());
      return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    name = o.scenarioFile;
  }
  std::string error;
  if (!sim::loadScenario(text, name, sim::world, error)) {
    std::fprintf(stderr, "quorvelta-sim: %s\n", error.c_str());
    return false;
  }
  if (o.commandLineGiven) sim::world.system.commandLine = o.commandLine;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.run.root = "device";
  if (int code = parseOptions(argc, argv, o); code >= 0) return code;
  if (!o.fromLog.empty() || !o.scenarioOut.empty()) {
    if (o.fromLog.empty() || o.scenarioOut.empty())
      return usage("--from-log and --scenario-out go together");
    return sim::fromlog::fromLogMain(o.fromLog, o.scenarioOut);
  }
  if (o.exploring && o.worldOfRun) {
    std::fputs(sim::exploreWorld(o.explore.seed, o.worldOfRun).c_str(), stdout);
    return 0;
  }
  if (o.exploring) return sim::exploreMain(o.explore);
  if (!loadWorld(o)) return 2;

  sim::RunOutcome r = sim::runOnce(o.run);
  if (!r.ran) {
    std::fprintf(stderr, "quorvelta-sim: cannot write %s\n", o.run.tracePath.c_str());
    return 2;
  }
  if (r.deadlock) {
    std::fflush(stdout);
    std::fprintf(
        stderr,
        "quorvelta-sim: deadlock at %llu ms: every thread waits and nothing is scheduled\n%s",
        (unsigned long long)r.endedAt, r.threads.c_str());
  }
  std::string why;
  if (!o.screenshotPath.empty() && !sim::writeScreenshot(o.screenshotPath, why)) {
    std::fprintf(stderr, "quorvelta-sim: no screenshot %s: %s\n", o.screenshotPath.c_str(),
                 why.c_str());
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(r.exitCode);
}
