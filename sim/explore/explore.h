// The random-world explorer: `quorvelta-sim --explore SEED [--runs N]`.
// Each run makes a world from (seed, run), runs the program on it in a
// forked child the way the harness does, and checks what came out.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// ---- worlds ----------------------------------------------------------------
// The scenario text (TOML) of run `run` of `seed`: the same text for the same
// pair, every time. It loads with the normal loader, so the file written for
// a failure is exactly what ran.
std::string exploreWorld(uint64_t seed, uint64_t run);

// ---- what a run left -------------------------------------------------------
// What ended the window's message loop before the run's own end, if
// anything: WM_CLOSE, the exit tap, or a failed GetMessage.
enum class UserEnd { None, Close, Tap, MessageError };

struct RunRecord {
  int signal = 0;              // the child died of this signal (SIGALRM: the wall-clock limit)
  int exitCode = 0;            // the simulated process's exit code
  bool resultWritten = false;  // the child got to the end of the run
  bool deadlock = false;       // the scheduler found every thread waiting
  std::u16string echo;         // everything sent to the debug channel
  bool logWritten = false;
  std::string log;           // the log file's bytes
  std::u16string lastFrame;  // the text the last paint drew (the view)
  // From the trace.
  bool windowCreated = false;
  bool workerStarted = false;       // the first CreateThread (the run's) succeeded
  UserEnd userEnd = UserEnd::None;  // the first message that closes the window
  bool idleTap = false;             // the user's tap once the program was idle
  int exitProcessCode = -1;         // the ExitProcess request, if any
  bool logOpenFailed = false;       // opening the log file failed (injected)
  bool userScrolled = false;        // a press on a scroll box, or a WM_TIMER, reached the window
  int liveBlocks = 0;               // blocks the program held when it ended
  bool nicFound = false;            // an adapter test (scan request) was accepted
  std::string nicTraceName;         // the name that request carried, as the trace writes it
  // Each FormatMessage request (the release-failure lines): code, found.
  std::vector<std::pair<long, bool>> releaseMessages;
};

// Reads the facts above from a trace (JSON lines).
void readTraceFacts(const std::string& trace, RunRecord& r);

// What a run found its world to be, from the loader in the run's own
// process (the world is parsed once a run): refused with the loader's
// message, or loaded, whether "\Temp" exists and the IP adapters' names.
// The run writes them as a text into its folder for the explorer.
struct WorldFacts {
  bool loaded = false;
  std::string refused;  // the loader's message (loaded false)
  bool tempFolder = true;
  std::vector<std::string> ipAdapterNames;  // 8-bit, as GetAdaptersInfo reports them
};
std::string worldFactsText(const WorldFacts& f);
// False, with `f` as it was, when `text` is not one that worldFactsText
// wrote whole.
bool readWorldFacts(const std::string& text, WorldFacts& f);

// The properties every run must have; one text per violation, each
// beginning with the property's name. ipAdapterNames: the world's IP
// adapters' names (8-bit, as GetAdaptersInfo reports them).
std::vector<std::string> checkRun(const RunRecord& r, bool tempFolder,
                                  const std::vector<std::string>& ipAdapterNames = {});

// The newest part of an echoed console text that the console keeps (it drops
// its oldest whole lines past 8191 characters or 2047 completed lines).
std::u16string keptConsoleText(const std::u16string& echo);
// Console text as the log holds it: the device's code page (ISO 8859-1, one
// '?' for anything else, a surrogate pair included).
std::string logBytes(const std::u16string& text);
// A string field of a trace line as the trace writes it (escapes kept).
std::string stringField(const std::string& line, const char* key);

// ---- the explorer ----------------------------------------------------------
// Wall-clock time a run may take before it counts as hanging: runs take a
// few seconds at most, ten times as long under a sanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int EXPLORE_TIME_LIMIT_SECONDS = 120;
#else
constexpr int EXPLORE_TIME_LIMIT_SECONDS = 20;
#endif

struct ExploreOptions {
  uint64_t seed = 1;
  int runs = 100;
  std::string outDir = ".";                           // where the world of a failed run is written
  int jobs = 4;                                       // runs at once (each is mostly waiting)
  int timeLimitSeconds = EXPLORE_TIME_LIMIT_SECONDS;  // per run
  bool verbose = false;                               // one line per run
};

// Runs the exploration; answers the process exit code (0: no failure).
int exploreMain(const ExploreOptions& o);

}  // namespace sim
