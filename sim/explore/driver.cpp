// The explorer's driver: one forked child per run (the scheduler runs once
// per process), a few at a time since a run mostly waits for its threads to
// hand over; the parent collects what each child left and checks it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <locale>
#include <map>

#include "explore/explore.h"
#include "harness/child.h"
#include "harness/fd_io.h"
#include "harness/host.h"
#include "harness/run.h"
#include "harness/spawner.h"
#include "scenario/scenario.h"
#include "screen/font.h"
#include "screen/winsys_state.h"

namespace sim {
namespace {

namespace fs = std::filesystem;
using WallClock = std::chrono::steady_clock;
constexpr int EXPLORE_EXIT_UNWRITTEN = 74;  // as the harness's output failures

// Read whole into out, sized once from the file's length (this runs a few
// times for every world; a stream copied the bytes twice).
bool readFile(const std::string& path, std::string& out) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0;
  out.clear();
  if (ok && st.st_size > 0) out.resize(size_t(st.st_size));
  // A file that grew after fstat is read up to the length it had; one that
  // shrank is cut to what was read.
  ssize_t got = ok ? readFull(fd, out.data(), out.size()) : 0;
  ok = ok && got >= 0;
  if (got < 0) got = 0;
  out.resize(size_t(got));
  close(fd);
  return ok;
}

// False with the host's reason when the file cannot be written whole.
bool writeFile(const std::string& path, const void* data, size_t bytes,
               std::string* error = nullptr) {
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(data, 1, bytes, f) == bytes;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok && error) *error = std::strerror(errno);
  return ok;
}

std::u16string wide(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

// The child: the program on sim::world, the way the harness runs it, with
// everything it leaves written into dir.
[[noreturn]] void runChild(const std::string& dir, int limitSeconds) {
  alarm(unsigned(limitSeconds));  // a hang ends the child with SIGALRM
  int fd = open((dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
  }
  host.echo = false;
  RunSetup setup;
  setup.root = dir + "/root";
  setup.tracePath = dir + "/trace.jsonl";
  setup.traceRequired = false;
  RunOutcome r = runOnce(setup);
  if (r.deadlock)
    std::fprintf(stderr, "deadlock at %llu ms:\n%s", (unsigned long long)r.endedAt,
                 r.threads.c_str());
  const std::u16string& echo = host.debugText;
  writeFile(dir + "/echo", echo.data(), echo.size() * 2);
  const std::u16string& frame = ws::state().lastFrameText;
  writeFile(dir + "/frame", frame.data(), frame.size() * 2);
  char result[64];
  int n = std::snprintf(result, sizeof result, "%d %d %d\n", r.deadlock ? 1 : 0, r.exitCode,
                        host.liveBlocks);
  writeFile(dir + "/result", result, size_t(n));
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(r.exitCode);
}

RunRecord collect(const std::string& dir, int status) {
  RunRecord rec;
  ChildEnd end = childEnd(status);
  if (end.exited)
    rec.exitCode = end.code;
  else
    rec.signal = end.signal;
  std::string s;
  if (readFile(dir + "/result", s)) {
    int deadlock = 0, code = 0, blocks = 0;
    if (std::sscanf(s.c_str(), "%d %d %d", &deadlock, &code, &blocks) == 3) {
      rec.resultWritten = true;
      rec.deadlock = deadlock != 0;
      rec.exitCode = code;
      rec.liveBlocks = blocks;
    }
  }
  if (readFile(dir + "/echo", s)) rec.echo = wide(s);
  if (readFile(dir + "/frame", s)) rec.lastFrame = wide(s);
  rec.logWritten = readFile(dir + "/root/Temp/Quorvelta.log", rec.log);
  if (readFile(dir + "/trace.jsonl", s)) readTraceFacts(s, rec);
  return rec;
}

// One run: its world, and the record of each child that ran it (a second
// child runs some worlds again: the same world must give the same bytes).
struct Slot {
  std::string world;
  // What the first run left of its world; not read when it ended before
  // loading it (a signal) or could not write it.
  WorldFacts facts;
  bool factsRead = false;
  int copies = 1;
  int pending = 0;
  RunRecord rec[2];
  std::string trace[2];
  std::string stderrText;
  double wallSeconds = 0;
  bool done = false;
};

struct Job {
  int run;
  int copy;
  std::string dir;
  WallClock::time_point started;
};

bool contains(const std::u16string& s, const char16_t* t) {
  return s.find(t) != std::u16string::npos;
}

struct Tally {
  int runs = 0, failed = 0, full = 0, nic = 0, loop = 0, sweep = 0, manySweeps = 0, success = 0,
      exit1 = 0, userEnded = 0;
  int slowestRun = 0;
  int unwritten = 0;  // failed runs whose world could not be written
  double slowest = 0;
};

std::string firstLines(const std::string& text, int lines) {
  std::string out;
  size_t at = 0;
  for (int i = 0; i < lines && at < text.size(); i++) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    out += "    | " + text.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return out;
}

void report(const ExploreOptions& o, int run, Slot& s, Tally& t) {
  std::vector<std::string> v;
  if (s.factsRead && !s.facts.loaded) {
    v.push_back("world-refused: " + s.facts.refused);
  } else {
    v = checkRun(s.rec[0], s.facts.tempFolder, s.facts.ipAdapterNames);
    // A run that got to its end had loaded its world and said what it was.
    if (!s.factsRead && s.rec[0].resultWritten)
      v.push_back("explorer: the run left no account of its world (its folder's \"world\")");
    if (s.copies == 2) {
      const RunRecord &a = s.rec[0], &b = s.rec[1];
      if (a.echo != b.echo || a.log != b.log || a.logWritten != b.logWritten ||
          a.exitCode != b.exitCode || a.signal != b.signal || a.lastFrame != b.lastFrame ||
          s.trace[0] != s.trace[1])
        v.push_back(
            "nondeterministic: the same world ran twice gave different console, log, view, trace "
            "or exit");
    }
  }
  const RunRecord& r = s.rec[0];
  t.runs++;
  t.nic += contains(r.echo, u"\r\nFound : ");
  t.loop += contains(r.echo, u"\r\nNode: ");
  int sweeps = 0;
  const std::u16string sweepHeading = u"-Trying to find usual AP configurations...";
  for (size_t at = r.echo.find(sweepHeading); at != std::u16string::npos;
       at = r.echo.find(sweepHeading, at + 1))
    sweeps++;
  t.sweep += sweeps > 0;
  t.manySweeps += sweeps > 1;
  t.success += contains(r.echo, u"Already connected to Internet. Exiting OK");
  t.exit1 += r.exitCode == 1;
  t.full += r.echo.size() > 8191;
  t.userEnded += r.userEnd != UserEnd::None && !r.idleTap;
  if (s.wallSeconds > t.slowest) {
    t.slowest = s.wallSeconds;
    t.slowestRun = run;
  }
  if (o.verbose)
    std::printf("explore: seed %llu run %d: %.2f s, exit %d%s\n", (unsigned long long)o.seed, run,
                s.wallSeconds, r.signal ? 128 + r.signal : r.exitCode, v.empty() ? "" : ", FAILED");
  if (v.empty()) return;
  t.failed++;
  std::error_code ec;
  std::string file =
      o.outDir + "/explore-" + std::to_string(o.seed) + "-" + std::to_string(run) + ".toml";
  std::string why;
  if (fs::create_directories(o.outDir, ec))
    std::printf("explore: made the folder %s for the worlds of failed runs\n",
                fs::absolute(o.outDir).c_str());
  bool written = !ec && writeFile(file, s.world.data(), s.world.size(), &why);
  if (ec) why = "cannot make the folder " + o.outDir + ": " + ec.message();
  std::printf("explore: seed %llu run %d FAILED\n", (unsigned long long)o.seed, run);
  for (const std::string& x : v) std::printf("  %s\n", x.c_str());
  if (written) {
    std::printf("  world: %s (quorvelta-sim --scenario %s)\n", file.c_str(), file.c_str());
  } else {
    t.unwritten++;
    std::printf(
        "  world: NOT written to %s: %s (quorvelta-sim --explore %llu --world %d prints it)\n",
        file.c_str(), why.c_str(), (unsigned long long)o.seed, run);
  }
  if (!s.stderrText.empty())
    std::printf("  its standard error:\n%s", firstLines(s.stderrText, 30).c_str());
  std::fflush(stdout);
}

// The last two lines: the tally of the whole exploration.
void printSummary(const ExploreOptions& o, const Tally& tally, double wall) {
  std::printf(
      "explore: seed %llu: %d runs, %d failed, %.1f s wall, %.1f runs/s; slowest run %d (%.2f s)\n",
      (unsigned long long)o.seed, tally.runs, tally.failed, wall,
      wall > 0 ? tally.runs / wall : 0.0, tally.slowestRun, tally.slowest);
  std::printf(
      "explore: reached the NIC in %d, the node loop in %d, a sweep in %d (more than one in %d), "
      "success in %d; "
      "exit 1 in %d; ended by the user in %d; console full in %d\n",
      tally.nic, tally.loop, tally.sweep, tally.manySweeps, tally.success, tally.exit1,
      tally.userEnded, tally.full);
}

// The folder for failed worlds must take files before any run is made; a
// missing one is made (and named) only when a run fails.
bool outDirUsable(const std::string& dir) {
  std::error_code ec;
  fs::file_status st = fs::status(dir, ec);
  if (fs::exists(st) && (!fs::is_directory(st) || access(dir.c_str(), W_OK | X_OK) != 0)) {
    std::fprintf(stderr, "quorvelta-sim: --explore-out %s: %s\n", dir.c_str(),
                 fs::is_directory(st) ? std::strerror(errno) : "not a folder");
    return false;
  }
  return true;
}

}  // namespace

int exploreMain(const ExploreOptions& o) {
  WallClock::time_point begun = WallClock::now();
  if (!outDirUsable(o.outDir)) return EXPLORE_EXIT_UNWRITTEN;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qv-explore-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) {
    std::fprintf(stderr, "quorvelta-sim: cannot make a folder under %s\n", tmp ? tmp : "/tmp");
    return 2;
  }
  const std::string base = buf.data();
  // Every run paints with the same font: rendered once here, each forked
  // run inherits it.
  warmFonts();
  // The same for the standard library's locale, which every run's streams
  // and parser set up on first use.
  { std::locale warm; }
  // Each run is forked by a spawner started now, while this process is
  // small; the run loads its world from the text it is sent (loaded in the
  // spawner and shared, it cost more: the run then wrote into the
  // spawner's used pages, a copy-on-write fault each), and leaves what this
  // process needs of it in its folder's "world" (WorldFacts): the world is
  // parsed once a run, not here as well. A request is the world's file
  // name, the run's folder and the world's text, split by NULs.
  Spawner spawner;
  const int limit = o.timeLimitSeconds;
  auto run = [limit](const std::string& request) -> int {
    const size_t a = request.find('\0');
    const size_t b = a == std::string::npos ? a : request.find('\0', a + 1);
    if (b == std::string::npos) return 2;
    const std::string dir = request.substr(a + 1, b - a - 1);
    WorldFacts facts;
    facts.loaded = loadScenario(request.substr(b + 1), request.substr(0, a), world, facts.refused);
    if (facts.loaded) {
      facts.tempFolder = world.system.tempExists;
      for (const AdapterConfig& c : world.ip.adapters) facts.ipAdapterNames.push_back(c.name);
    }
    const std::string text = worldFactsText(facts);
    writeFile(dir + "/world", text.data(), text.size());
    if (!facts.loaded) return 2;  // as the harness answers a world it refuses
    runChild(dir, limit);
  };
  if (!spawner.start(run)) {
    std::perror("quorvelta-sim: fork");
    return 2;
  }

  std::map<int, Slot> slots;
  std::map<uint64_t, Job> running;  // by tag: run * 2 + copy
  Tally tally;
  int next = 1, nextReport = 1;
  int nextCopy = 0;  // of run `next`
  const int jobs = o.jobs < 1 ? 1 : std::min(o.jobs, Spawner::MAX_CHILDREN);

  while (nextReport <= o.runs) {
    // Start runs while there is room.
    while (next <= o.runs && int(running.size()) < jobs) {
      Slot& s = slots[next];
      const std::string name =
          "explore-" + std::to_string(o.seed) + "-" + std::to_string(next) + ".toml";
      if (nextCopy == 0) {
        s.world = exploreWorld(o.seed, uint64_t(next));
        s.copies = next % 8 == 0 ? 2 : 1;
        s.pending = s.copies;
      }
      Job j{next, nextCopy, base + "/run-" + std::to_string(next) + "-" + std::to_string(nextCopy),
            WallClock::now()};
      std::error_code made;
      fs::create_directories(j.dir, made);
      const uint64_t tag = uint64_t(next) * 2 + uint64_t(nextCopy);
      if (!spawner.submit(tag, name + '\0' + j.dir + '\0' + s.world)) {
        std::fprintf(stderr, "quorvelta-sim: the spawner of runs is gone\n");
        return 2;
      }
      running[tag] = j;
      if (++nextCopy == s.copies) {
        nextCopy = 0;
        next++;
      }
    }
    // Report, in run order, what is complete.
    while (nextReport <= o.runs && slots.count(nextReport) && slots[nextReport].done) {
      report(o, nextReport, slots[nextReport], tally);
      slots.erase(nextReport);
      nextReport++;
    }
    if (running.empty()) continue;
    int status = 0;
    uint64_t tag = 0;
    if (!spawner.wait(&tag, &status)) {
      std::fprintf(stderr, "quorvelta-sim: the spawner of runs is gone\n");
      return 2;
    }
    auto it = running.find(tag);
    if (it == running.end()) continue;
    Job j = it->second;
    running.erase(it);
    Slot& s = slots[j.run];
    s.rec[j.copy] = collect(j.dir, status);
    if (s.copies == 2) readFile(j.dir + "/trace.jsonl", s.trace[j.copy]);
    if (j.copy == 0) {
      std::string text;
      s.factsRead = readFile(j.dir + "/world", text) && readWorldFacts(text, s.facts);
      readFile(j.dir + "/stderr", s.stderrText);
      s.wallSeconds = std::chrono::duration<double>(WallClock::now() - j.started).count();
    }
    std::error_code ec;
    if (!std::getenv("QV_EXPLORE_KEEP")) fs::remove_all(j.dir, ec);
    if (--s.pending == 0) s.done = true;
  }
  std::error_code ec;
  if (!std::getenv("QV_EXPLORE_KEEP")) fs::remove_all(base, ec);

  printSummary(o, tally, std::chrono::duration<double>(WallClock::now() - begun).count());
  if (tally.unwritten) {
    std::fprintf(stderr, "quorvelta-sim: %d worlds of failed runs could not be written\n",
                 tally.unwritten);
    return EXPLORE_EXIT_UNWRITTEN;
  }
  return tally.failed ? 1 : 0;
}

}  // namespace sim
