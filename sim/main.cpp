// quorvelta-sim: runs the program on a simulated handheld described by a
// scenario file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "explore/explore.h"
#include "harness/host.h"
#include "ip/ipstack.h"
#include "platform/core.h"
#include "platform/window.h"
#include "scenario/scenario.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "screen/winsys.h"

namespace {

const char* const USAGE =
    "usage: quorvelta-sim [--scenario FILE] [--root DIR] [--pace F] [--screenshot FILE]\n"
    "                     [--trace FILE] [--quiet] [-- COMMAND LINE]\n"
    "       quorvelta-sim --explore SEED [--runs N] [--explore-out DIR] [--jobs J] [--verbose]\n"
    "       quorvelta-sim --explore SEED --world K   (print the world of run K)\n";

int usage(const char* why) {
  std::fprintf(stderr, "quorvelta-sim: %s\n%s", why, USAGE);
  return 2;
}

void makeDirs(const std::string& path) {
  std::string p;
  std::stringstream ss(path);
  std::string part;
  if (!path.empty() && path[0] == '/') p = "/";
  while (std::getline(ss, part, '/')) {
    if (part.empty()) continue;
    p += part + "/";
    mkdir(p.c_str(), 0755);
  }
}

} // namespace

int main(int argc, char** argv) {
  std::string scenarioFile, root = "device", tracePath, screenshotPath;
  double pace = 0;
  bool commandLineGiven = false;
  std::u16string commandLine;
  sim::ExploreOptions explore;
  bool exploring = false;
  unsigned long long worldOfRun = 0;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (a == "--") {
      commandLineGiven = true;
      for (int k = i + 1; k < argc; k++) {
        if (k > i + 1) commandLine += u' ';
        commandLine += sim::widen(argv[k]);
      }
      break;
    } else if (a == "--scenario") {
      const char* v = value("--scenario");
      if (!v) return usage("--scenario needs a file");
      scenarioFile = v;
    } else if (a == "--root") {
      const char* v = value("--root");
      if (!v) return usage("--root needs a folder");
      root = v;
    } else if (a == "--pace") {
      const char* v = value("--pace");
      char* end = nullptr;
      if (!v || (pace = std::strtod(v, &end), *end) || pace < 0) return usage("--pace needs a number >= 0");
    } else if (a == "--trace") {
      const char* v = value("--trace");
      if (!v) return usage("--trace needs a file");
      tracePath = v;
    } else if (a == "--screenshot") {
      const char* v = value("--screenshot");
      if (!v) return usage("--screenshot needs a file");
      screenshotPath = v;
    } else if (a == "--explore" || a == "--runs" || a == "--jobs" || a == "--world") {
      const char* v = value(a.c_str());
      char* end = nullptr;
      unsigned long long n = v ? std::strtoull(v, &end, 10) : 0;
      if (!v || *end || !*v || (a != "--explore" && (n < 1 || n > 1000000)))
        return usage((a + " needs a whole number" + (a == "--explore" ? "" : " from 1")).c_str());
      if (a == "--explore") {
        exploring = true;
        explore.seed = n;
      } else if (a == "--runs") {
        explore.runs = int(n);
      } else if (a == "--world") {
        worldOfRun = n;
      } else {
        explore.jobs = int(n);
      }
    } else if (a == "--explore-out") {
      const char* v = value("--explore-out");
      if (!v) return usage("--explore-out needs a folder");
      explore.outDir = v;
    } else if (a == "--verbose") {
      explore.verbose = true;
    } else if (a == "--quiet") {
      sim::host.echo = false;
    } else if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    } else {
      return usage(("unknown option " + a).c_str());
    }
  }

  if (exploring && worldOfRun) {
    std::fputs(sim::exploreWorld(explore.seed, worldOfRun).c_str(), stdout);
    return 0;
  }
  if (exploring) return sim::exploreMain(explore);

  std::string text = sim::DEFAULT_SCENARIO, name = "(built-in default scenario)";
  if (!scenarioFile.empty()) {
    std::ifstream in(scenarioFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "quorvelta-sim: cannot read %s\n", scenarioFile.c_str());
      return 2;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    name = scenarioFile;
  }
  std::string error;
  if (!sim::loadScenario(text, name, sim::world, error)) {
    std::fprintf(stderr, "quorvelta-sim: %s\n", error.c_str());
    return 2;
  }
  if (commandLineGiven) sim::world.system.commandLine = commandLine;

  sim::host.root = root;
  makeDirs(root);
  if (sim::world.system.tempExists) makeDirs(root + "/Temp");
  if (!tracePath.empty() && !sim::traceOpen(tracePath)) {
    std::fprintf(stderr, "quorvelta-sim: cannot write %s\n", tracePath.c_str());
    return 2;
  }

  sim::schedConfigure(pace);
  static char16_t emptyLine[1] = {0};
  // The user: the scenario's [ui] steps (a second start runs the program
  // again beside the first), and the tap that closes an idle program.
  sim::scheduleUiScript([] { return programEntry(nullptr, nullptr, emptyLine, 1); });
  sim::setIdleHook(sim::uiIdle);
  sim::RunResult r = sim::schedRun("ui", [] {
    int code = programEntry(nullptr, nullptr, emptyLine, 1);
    plat::exitProcess(plat::UINT(code));
  });

  int code = r.exitCode;
  if (r.reason == sim::EndReason::Deadlock) {
    std::fflush(stdout);
    std::fprintf(stderr, "quorvelta-sim: deadlock at %llu ms: every thread waits and nothing is scheduled\n%s",
                 (unsigned long long)sim::now(), r.report.c_str());
    code = 3;
  }
  std::string why;
  if (!screenshotPath.empty() && !sim::writeScreenshot(screenshotPath, why)) {
    std::fprintf(stderr, "quorvelta-sim: no screenshot %s: %s\n", screenshotPath.c_str(), why.c_str());
  }
  sim::traceEndOfRun();
  sim::traceClose();
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(code);
}
