// quorvelta-sim: runs the program on a simulated handheld described by a
// scenario file. This file is the command line; the run itself is
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
#include "harness/outputs.h"
#include "harness/run.h"
#include "harness/scheduler.h"
#include "harness/text.h"
#include "report/report.h"
#include "scenario/scenario.h"
#include "screen/winsys.h"

namespace {

const char* const VERSION = "quorvelta-sim 0.18 (the simulated handheld of Quorvelta V0.18)\n";

const char* const EPILOGUE =
    "\n"
    "Options take their value as the next word or after '=' (--root=DIR).\n"
    "\n"
    "Exit codes:\n"
    "  the program's own (0, or 1 for its documented early exits)\n"
    "  2    a refused scenario, option or output place (nothing ran)\n"
    "  3    the simulated process deadlocked (every thread waits, nothing is scheduled)\n"
    "  71   a host limit: the host would not give a thread or memory the device would\n"
    "       (ulimit -u, -v); the run stopped there\n"
    "  74   an output could not be written whole (the device's folder, its log, the\n"
    "       trace, the screenshot, standard output); the message gives the host's reason\n"
    "  130  interrupted by SIGINT, 143 by SIGTERM (the trace ends with sim.interrupted)\n"
    "  explorer: 0 no failed run, 1 a failed run, 2 a refused option, 74 a failed\n"
    "  run's world that could not be written\n"
    "\n"
    "Limits: a scenario file of at most 16 MiB; every count (networks, bindings,\n"
    "adapters, hosts, names, routes, steps, list entries) is bounded as listed in\n"
    "docs/scenarios.md, which documents the scenario format, every key, the exit\n"
    "codes and the explorer's checks.\n";

struct Options {
  std::string scenarioFile, screenshotPath;
  std::string reportPath;  // --report: the run's page (report/report.h)
  sim::RunSetup run;
  bool reuseRoot = false;
  bool commandLineGiven = false;
  std::u16string commandLine;
  sim::ExploreOptions explore;
  bool exploring = false;
  unsigned long long worldOfRun = 0;
  bool helpAsked = false, versionAsked = false;
  std::string fromLog, scenarioOut;  // --from-log, --scenario-out
};

// One command-line option: its name, its value's name (none: a flag), its
// help, whether it belongs to runs, to the explorer or to both, and what it
// does with its value (answers an error, empty when the value is good).
enum class Scope { Run, Explore, Both };
struct Option {
  const char* name;
  const char* value;
  const char* help;
  Scope scope;
  std::function<std::string(Options&, const std::string&)> take;
};

// A whole number in 0..max, digits only ("-1", "+3", "" and "1e3" refused).
bool wholeNumber(const std::string& v, unsigned long long max, unsigned long long& out) {
  if (v.empty() || v.size() > 20 || v.find_first_not_of("0123456789") != std::string::npos)
    return false;
  errno = 0;
  out = std::strtoull(v.c_str(), nullptr, 10);
  return errno == 0 && out <= max;
}

std::string count(const std::string& v, const char* what, unsigned long long min,
                  unsigned long long max, unsigned long long& out) {
  if (!wholeNumber(v, max, out) || out < min)
    return std::string("needs ") + what + ", a whole number from " + std::to_string(min) + " to " +
           std::to_string(max);
  return "";
}

const std::vector<Option>& options() {
  static const std::vector<Option> table = {
      {"--scenario", "FILE",
       "the scenario (TOML, at most 16 MiB); default: the built-in one "
       "(scenarios/default.toml)",
       Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.scenarioFile = v;
         return "";
       }},
      {"--root", "DIR",
       "the device's file system; the log lands at DIR/Temp/Quorvelta.log; "
       "default: ./device. A new or empty folder, or one an earlier run made (marked by "
       "its .quorvelta-sim-device file; emptied first)",
       Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a folder";
         o.run.root = v;
         return "";
       }},
      {"--reuse-root", nullptr,
       "run in a --root that holds other files (or keep an earlier run's): they stay as "
       "the device's store; the summary says whether the log there is this run's",
       Scope::Run,
       [](Options& o, const std::string&) -> std::string {
         o.reuseRoot = true;
         return "";
       }},
      {"--pace", "F",
       "real seconds added per simulated second (1: device speed); 0..1000, default 0", Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         char* end = nullptr;
         double pace = v.empty() ? -1 : std::strtod(v.c_str(), &end);
         if (v.empty() || *end || !std::isfinite(pace) || pace < 0 || pace > 1000)
           return "needs a number from 0 to 1000";
         o.run.pace = pace;
         return "";
       }},
      {"--trace", "FILE", "write one JSON object per platform request; default: none", Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.run.tracePath = v;
         return "";
       }},
      {"--screenshot", "FILE", "write the last painted screen as PNG; default: none", Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.screenshotPath = v;
         return "";
       }},
      {"--report", "FILE.html",
       "write the run's page (timeline, screens at verdicts, marked log); default: none",
       Scope::Run,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.reportPath = v;
         return "";
       }},
      {"--quiet", nullptr, "do not echo the console to standard output", Scope::Run,
       [](Options&, const std::string&) -> std::string {
         sim::host.echo = false;
         return "";
       }},
      {"--explore", "SEED", "make random worlds from SEED (0..2^64-1), run and check each",
       Scope::Explore,
       [](Options& o, const std::string& v) -> std::string {
         unsigned long long n;
         if (!wholeNumber(v, UINT64_MAX, n)) return "needs a whole number from 0 to 2^64-1";
         o.exploring = true;
         o.explore.seed = n;
         return "";
       }},
      {"--runs", "N", "worlds to run, 1..1000000; default 100", Scope::Explore,
       [](Options& o, const std::string& v) -> std::string {
         unsigned long long n = 0;
         std::string e = count(v, "a count", 1, 1000000, n);
         o.explore.runs = int(n);
         return e;
       }},
      {"--jobs", "J", "runs at once, 1..64; default 4", Scope::Explore,
       [](Options& o, const std::string& v) -> std::string {
         unsigned long long n = 0;
         std::string e = count(v, "a count", 1, 64, n);
         o.explore.jobs = int(n);
         return e;
       }},
      {"--explore-out", "DIR",
       "where the worlds of failed runs are written; default: the current folder", Scope::Explore,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a folder";
         o.explore.outDir = v;
         return "";
       }},
      {"--verbose", nullptr, "one line per explored run", Scope::Explore,
       [](Options& o, const std::string&) -> std::string {
         o.explore.verbose = true;
         return "";
       }},
      {"--world", "K", "print the scenario of run K (1..1000000) of the seed and stop",
       Scope::Explore,
       [](Options& o, const std::string& v) -> std::string {
         return count(v, "a run number", 1, 1000000, o.worldOfRun);
       }},
      {"--from-log", "FIELD.log",
       "read a device's log and write a scenario that prints it again (with --scenario-out)",
       Scope::Both,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.fromLog = v;
         return "";
       }},
      {"--scenario-out", "WORLD.toml", "where --from-log writes the scenario", Scope::Both,
       [](Options& o, const std::string& v) -> std::string {
         if (v.empty()) return "needs a file";
         o.scenarioOut = v;
         return "";
       }},
      {"--help", nullptr, "this text", Scope::Both,
       [](Options& o, const std::string&) -> std::string {
         o.helpAsked = true;
         return "";
       }},
      {"--version", nullptr, "the harness's version", Scope::Both,
       [](Options& o, const std::string&) -> std::string {
         o.versionAsked = true;
         return "";
       }},
  };
  return table;
}

std::string usageText() {
  std::string u =
      "usage: quorvelta-sim [OPTION]... [-- COMMAND LINE]\n"
      "       quorvelta-sim --explore SEED [--runs N] [--jobs J] [--explore-out DIR] [--verbose]\n"
      "       quorvelta-sim --explore SEED --world K\n"
      "\n"
      "Runs the Quorvelta diagnostic on a simulated handheld described by a scenario,\n"
      "echoes its console to standard output and exits with the program's exit code.\n"
      "Words after -- replace the scenario's system.command_line (UTF-8 only).\n"
      "\n";
  for (const Option& o : options()) {
    std::string head = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : "");
    if (o.scope == Scope::Explore && std::string(o.name) != "--explore")
      head += "   (with --explore)";
    u += head + "\n";
    // The help, wrapped at 78 columns under the option.
    std::string line = "     ";
    std::string word;
    for (const char* c = o.help;; c++) {
      if (*c && *c != ' ') {
        word += *c;
        continue;
      }
      if (line.size() + 1 + word.size() > 78) {
        u += line + "\n";
        line = "     ";
      }
      line += " " + word;
      word.clear();
      if (!*c) break;
    }
    u += line + "\n";
  }
  return u + EPILOGUE;
}

int refuse(const std::string& why) {
  std::fprintf(stderr, "quorvelta-sim: %s\n(quorvelta-sim --help lists the options)\n",
               why.c_str());
  return 2;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
// Answers the offset of the first bad byte, or npos.
size_t badUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int extra = c < 0x80             ? 0
                : (c & 0xE0) == 0xC0 ? 1
                : (c & 0xF0) == 0xE0 ? 2
                : (c & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0 || (extra > 0 && i + size_t(extra) >= s.size())) return i;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; k++) {
      unsigned char d = s[i + size_t(k)];
      if ((d & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return i;
    i += size_t(extra) + 1;
  }
  return std::string::npos;
}

// Reads the command line into o; answers -1 to go on, else the exit code.
int parseOptions(int argc, char** argv, Options& o) {
  std::vector<std::string> given;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--") {
      o.commandLineGiven = true;
      for (int k = i + 1; k < argc; k++) {
        std::string w = argv[k];
        if (size_t at = badUtf8(w); at != std::string::npos) {
          char b[8];
          std::snprintf(b, sizeof b, "0x%02X", unsigned(static_cast<unsigned char>(w[at])));
          return refuse("the command line after -- is not UTF-8: word " + std::to_string(k - i) +
                        " has the byte " + b + " at offset " + std::to_string(at));
        }
        if (k > i + 1) o.commandLine += u' ';
        o.commandLine += sim::widen(w);
      }
      break;
    }
    if (a == "-h") a = "--help";
    std::string name = a, value;
    bool inlineValue = false;
    if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    const Option* opt = nullptr;
    for (const Option& x : options())
      if (name == x.name) opt = &x;
    if (!opt) return refuse("unknown option " + a);
    for (const std::string& g : given)
      if (g == name) return refuse(name + " is given twice");
    given.push_back(name);
    if (!opt->value && inlineValue) return refuse(name + " takes no value");
    if (opt->value && !inlineValue) {
      if (i + 1 >= argc) return refuse(name + " needs " + opt->value);
      value = argv[++i];
    }
    if (std::string e = opt->take(o, value); !e.empty())
      return refuse(name + " " + e + " (got \"" + value + "\")");
  }
  if (o.helpAsked) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (o.versionAsked) {
    std::fputs(VERSION, stdout);
    return 0;
  }
  // What belongs to one mode and was given in the other would be ignored:
  // refused instead.
  for (const std::string& g : given) {
    for (const Option& x : options()) {
      if (g != x.name) continue;
      if (x.scope == Scope::Explore && !o.exploring) return refuse(g + " is for --explore");
      if (x.scope == Scope::Run && o.exploring) return refuse(g + " is not for --explore");
    }
  }
  if (o.exploring && o.commandLineGiven) return refuse("-- COMMAND LINE is not for --explore");
  if (o.worldOfRun && given.size() > 2) return refuse("--world takes only --explore");
  if (!o.fromLog.empty() || !o.scenarioOut.empty()) {
    if (o.fromLog.empty() || o.scenarioOut.empty())
      return refuse("--from-log and --scenario-out go together");
    if (given.size() > 2 || o.commandLineGiven)
      return refuse("--from-log takes only --scenario-out");
  }
  return -1;
}

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
  const Out outs[] = {{"--trace", o.run.tracePath},
                      {"--screenshot", o.screenshotPath},
                      {"--report", o.reportPath}};
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
