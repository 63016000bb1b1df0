// The command line of quorvelta-sim (options.h): the option table, the help
// text, and the reading of argv.
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

#include "harness/host.h"
#include "harness/options.h"
#include "harness/text.h"

namespace sim {
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
    "  72   a simulated thread ran off the end of its stack (standard error names it)\n"
    "  130  interrupted by SIGINT, 143 by SIGTERM (the trace ends with sim.interrupted)\n"
    "  explorer: 0 no failed run, 1 a failed run, 2 a refused option, 74 a failed\n"
    "  run's world that could not be written\n"
    "\n"
    "Limits: a scenario file of at most 16 MiB; every count (networks, bindings,\n"
    "adapters, hosts, names, routes, steps, list entries) is bounded as listed in\n"
    "docs/scenarios.md, which documents the scenario format, every key, the exit\n"
    "codes and the explorer's checks.\n";

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

// Every option, in the order --help lists them.
const std::vector<Option> OPTIONS = {
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
    {"--pace", "F", "real seconds added per simulated second (1: device speed); 0..1000, default 0",
     Scope::Run,
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
     "write the run's page (timeline, screens at verdicts, marked log); default: none", Scope::Run,
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
    {"--world", "K", "print the scenario of this seed's run K (1 to 1000000) and stop",
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

const std::vector<Option>& options() { return OPTIONS; }

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

}  // namespace

int refuse(const std::string& why) {
  std::fprintf(stderr, "quorvelta-sim: %s\n(quorvelta-sim --help lists the options)\n",
               why.c_str());
  return 2;
}

namespace {

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

}  // namespace

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

}  // namespace sim
