// The explorer's properties: what every run must show, whatever its world.
// They are checked from the outside, on what the run left: the console text
// echoed on the debug channel, the log file, the last painted view, the
// trace and the exit code.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "explore/explore.h"
#include "harness/trace.h"

namespace sim {
namespace {

constexpr size_t TEXT_ROOM = 8191;      // characters the console keeps
constexpr size_t MAX_COMPLETED = 2047;  // completed lines it keeps
constexpr size_t VIEW_CHARS = 1152;
constexpr size_t AUTO_SCROLL_LINES = 23;  // completed lines before the view follows the end
constexpr int SNAPSHOT_BLOCKS = 2;        // the adapter list and network parameters

const char* const CLOSING = " \r\nTap screen to exit. \r\n";

struct Lines {
  std::vector<std::string> whole;  // completed lines, without CR LF
  std::string tail;                // the unfinished line
};

Lines splitLines(const std::string& text) {
  Lines out;
  size_t at = 0;
  for (;;) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    out.whole.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  out.tail = text.substr(at);
  return out;
}

bool startsWith(const std::string& s, const char* head) {
  return s.compare(0, std::strlen(head), head) == 0;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string shown(const std::string& line) {
  std::string out;
  for (unsigned char c : line.substr(0, 100)) out += c >= 0x20 && c < 0x7F ? char(c) : '~';
  return "\"" + out + (line.size() > 100 ? "...\"" : "\"");
}

// Start of the text the console keeps of `echo` (see keptConsoleText).
size_t keptStart(const std::u16string& echo) {
  std::vector<size_t> starts{0};
  for (size_t i = 0; i + 1 < echo.size(); i++)
    if (echo[i] == u'\r' && echo[i + 1] == u'\n') starts.push_back(i + 2);
  size_t completed = starts.size() - 1;
  for (size_t k = 0; k < starts.size(); k++) {
    if (echo.size() - starts[k] <= TEXT_ROOM && completed - k <= MAX_COMPLETED) return starts[k];
  }
  // Only the unfinished line is left and it is longer than the store.
  return echo.size() - TEXT_ROOM;
}

bool atLineStart(const std::u16string& text, size_t p) {
  return p == 0 || (p >= 2 && text[p - 2] == u'\r' && text[p - 1] == u'\n');
}

// ---- the line grammar --------------------------------------------------------
// Headings written with appendText and completed later by the same writer:
// nothing else may come between, and they are completed exactly once.
struct Completion {
  const char* head;
  std::regex rest;
};

const std::vector<Completion>& completions() {
  static const std::string renew =
      R"(\.{0,8}(Renewed in [ \d]\ds |Renew Error: Got an APIPA|Renew Error))";
  static const std::vector<Completion> c = {
      {"-Searching for NDIS WLAN NIC.....", std::regex("(OK)?")},
      {"-Scanning WLANs .... ", std::regex(R"(-?\d+ APs found:)")},
      {"-Current state.... ", std::regex("ASSOCIATED|DISSASSOCIATED")},
      {"-Testing Internet connection....", std::regex(R"(Error\.|OK: +\d+ms)")},
      {"-Testing DNS resolution....", std::regex(R"(ERROR|OK: +\d+ms)")},
      {"     Renewing ", std::regex(renew)},
      // Without a message text for the error the renewal continues the line.
      {"     Releasing... ",
       std::regex(R"(Done: [0-9.]+|Release Error:(E.*--?\d+|     Renewing )" + renew + ")")},
      {"   Lease Obtained: ", std::regex(R"(\d{1,2}/\d\d/\d\d \d{1,2}:\d\d:\d\d local)")},
  };
  return c;
}

const std::regex& nodeLine() {
  static const std::regex r(R"(Node: .* [0-9a-f]{2}(\.[0-9a-f]{2}){5})");
  return r;
}
const std::regex& associationLine() {
  static const std::regex r(
      R"(     .* (\.{1,8}Associated in [ \d]\ds |\.{8}: Association failed\.))");
  return r;
}
const std::regex& bookkeepingLine() {
  static const std::regex r(R"( ?(-?\d+) Available nodes more\.\.\.  )");
  return r;
}
const std::regex& dottedAddress() {
  static const std::regex r(R"(\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})");
  return r;
}
const std::regex& documentedExit() {
  static const std::regex r(
      R"(Could not delete old gateway|Malloc failed, Out of Memory!|GetIpForwardTable Failed, ERROR -?\d+)");
  return r;
}

const char* const SUCCESS = "Already connected to Internet. Exiting OK";
const char* const SWEEP_START = "-Trying to find usual AP configurations...";
const char* const SWEEP_END = "     No valid Internet gateway found.";
const char* const PROBE_PREFIX = "1.0  ";

using Fail = std::vector<std::string>;

void add(Fail& v, const char* name, const std::string& detail) {
  v.push_back(std::string(name) + ": " + detail);
}

// A sweep probe's line: "1.0  " and the address that answered, then the line
// end. It may only land after the sweep's dots, never inside other text.
void checkProbeText(const std::string& line, size_t n, Fail& v) {
  size_t p = line.find(PROBE_PREFIX);
  if (p == std::string::npos) return;
  bool dotsBefore = line.find_first_not_of('.') >= p;
  std::string rest = line.substr(p + std::strlen(PROBE_PREFIX));
  if (!dotsBefore || !std::regex_match(rest, dottedAddress()))
    add(v, "torn-line",
        "line " + std::to_string(n + 1) +
            " holds a probe's text inside other text: " + shown(line));
}

void checkCompletions(const std::string& line, size_t n, Fail& v) {
  for (const Completion& c : completions()) {
    if (!startsWith(line, c.head)) continue;
    if (!std::regex_match(line.substr(std::strlen(c.head)), c.rest))
      add(v, "torn-line",
          "line " + std::to_string(n + 1) +
              " is not its heading and one completion: " + shown(line));
    return;
  }
}

// Every node-loop pass ends in success or in exactly one failed-node
// bookkeeping; the count it prints goes down by one each time and never
// below zero; no pass comes after success or after the count reached zero.
void checkPasses(const Lines& l, bool complete, Fail& v) {
  long aps = -1;
  int passes = 0, verdicts = 0;
  bool inPass = false, succeeded = false;
  long lastCount = -1;
  bool haveCount = false;
  auto endPass = [&](size_t n, bool lastOne) {
    if (!inPass) return;
    if (verdicts == 0 && (!lastOne || complete))
      add(v, "pass-without-verdict",
          "the node pass ending at line " + std::to_string(n) +
              " has neither success nor a failed-node line");
    inPass = false;
  };
  for (size_t n = 0; n < l.whole.size(); n++) {
    const std::string& line = l.whole[n];
    std::smatch m;
    if (startsWith(line, "-Scanning WLANs .... "))
      aps = std::atol(line.c_str() + std::strlen("-Scanning WLANs .... "));
    if (startsWith(line, "Node: ")) {
      endPass(n, false);
      passes++;
      inPass = true;
      verdicts = 0;
      if (!std::regex_match(line, nodeLine()))
        add(v, "torn-line",
            "line " + std::to_string(n + 1) + " is not a whole node line: " + shown(line));
      if (succeeded) add(v, "pass-after-success", "line " + std::to_string(n + 1));
      if (haveCount && lastCount <= 0)
        add(v, "pass-after-last-node",
            "line " + std::to_string(n + 1) + " starts a pass after the count reached " +
                std::to_string(lastCount));
      if (n > 0 && l.whole[n - 1] == "-Trying to associate with...." && n + 1 < l.whole.size() &&
          !std::regex_match(l.whole[n + 1], associationLine()))
        add(v, "torn-line",
            "line " + std::to_string(n + 2) +
                " is not a whole association line: " + shown(l.whole[n + 1]));
    } else if (std::regex_match(line, m, bookkeepingLine())) {
      long count = std::atol(m[1].str().c_str());
      if (!inPass)
        add(v, "verdict-outside-pass", "line " + std::to_string(n + 1) + ": " + shown(line));
      if (++verdicts > 1)
        add(v, "pass-two-verdicts",
            "the node pass before line " + std::to_string(n + 1) + " ends twice");
      if (count < 0)
        add(v, "count-below-zero", "line " + std::to_string(n + 1) + ": " + shown(line));
      if (haveCount && count != lastCount - 1)
        add(v, "count-skips",
            "the remaining-node count goes from " + std::to_string(lastCount) + " to " +
                std::to_string(count) + " at line " + std::to_string(n + 1));
      lastCount = count;
      haveCount = true;
    } else if (line == SUCCESS) {
      if (!inPass)
        add(v, "verdict-outside-pass", "line " + std::to_string(n + 1) + ": " + shown(line));
      if (++verdicts > 1)
        add(v, "pass-two-verdicts",
            "the node pass before line " + std::to_string(n + 1) + " ends twice");
      if (n == 0 || !startsWith(l.whole[n - 1], "-Testing DNS resolution....OK:"))
        add(v, "success-without-dns",
            "line " + std::to_string(n + 1) + " follows " +
                (n ? shown(l.whole[n - 1]) : std::string("nothing")));
      succeeded = true;
    } else if (line == "Tap screen to exit. ") {
      endPass(n, false);
    }
  }
  endPass(l.whole.size(), true);
  if (aps >= 0 && passes > aps + 1)
    add(v, "too-many-passes",
        std::to_string(passes) + " node passes for " + std::to_string(aps) + " networks");
}

// A wait that ends after its k-th poll reports 2 * (k - 1) seconds, one dot
// per poll.
void checkWaits(const std::string& line, size_t n, Fail& v) {
  static const std::regex wait(R"((\.+)(Associated|Renewed) in +(\d+)s $)");
  std::smatch m;
  if (!std::regex_search(line, m, wait)) return;
  long dots = long(m[1].length()), seconds = std::atol(m[3].str().c_str());
  if (dots > 8 || seconds != 2 * (dots - 1))
    add(v, "wait-seconds",
        "line " + std::to_string(n + 1) + " reports " + std::to_string(seconds) + " s after " +
            std::to_string(dots) + " polls: " + shown(line));
}

// One row per network found, between the table's head and the state line.
void checkSurvey(const Lines& l, Fail& v) {
  for (size_t n = 0; n + 1 < l.whole.size(); n++) {
    if (!startsWith(l.whole[n], "-Scanning WLANs .... ")) continue;
    long aps = std::atol(l.whole[n].c_str() + std::strlen("-Scanning WLANs .... "));
    if (aps <= 0 || l.whole[n + 1] != "SSID          BSSID              RSSI CH WP") return;
    size_t rows = 0;
    for (size_t k = n + 2; k < l.whole.size() && !startsWith(l.whole[k], "-Current state.... ");
         k++)
      rows++;
    if (n + 2 + rows < l.whole.size() && long(rows) != aps)
      add(v, "survey-rows",
          std::to_string(aps) + " networks found, " + std::to_string(rows) + " rows shown");
    return;
  }
}

// The sweep writes 31 dots in all, whatever answers.
void checkSweeps(const Lines& l, Fail& v) {
  bool in = false;
  size_t dots = 0, from = 0;
  for (size_t n = 0; n < l.whole.size(); n++) {
    const std::string& line = l.whole[n];
    if (line == SWEEP_START) {
      in = true;
      dots = 0;
      from = n + 1;
    } else if (in && line == SWEEP_END) {
      if (dots != 31)
        add(v, "sweep-dots",
            "the sweep from line " + std::to_string(from) + " wrote " + std::to_string(dots) +
                " dots");
      in = false;
    } else if (in) {
      size_t p = line.find(PROBE_PREFIX);
      std::string head = line.substr(0, p);
      if (!head.empty() && head.find_first_not_of('.') == std::string::npos) dots += head.size();
    }
  }
}

// The log: the console text when the exit tap came, as 8-bit text.
void checkLog(const RunRecord& r, bool complete, Fail& v) {
  if (complete) {
    std::string want = logBytes(keptConsoleText(r.echo));
    if (r.log != want) {
      size_t d = 0;
      while (d < want.size() && d < r.log.size() && want[d] == r.log[d]) d++;
      add(v, "log-differs",
          "the log (" + std::to_string(r.log.size()) + " bytes) is not the console text (" +
              std::to_string(want.size()) + " bytes); first difference at byte " +
              std::to_string(d));
    }
    return;
  }
  // Cut short by the user: the log is the console as it stood at some
  // point of the run, the newest part if it had to drop lines.
  for (size_t e = r.echo.size() + 1; e-- > 0;) {
    if (!r.log.empty() && (e == 0 || logBytes(r.echo.substr(e - 1, 1)).back() != r.log.back()))
      continue;
    if (logBytes(keptConsoleText(r.echo.substr(0, e))) == r.log) return;
  }
  add(v, "log-differs",
      "the log (" + std::to_string(r.log.size()) + " bytes) is no state the console went through");
}

// The last painted view is the console text from the start of a line on, at
// most VIEW_CHARS of it; once the run is complete, all of it up to that bound.
void checkView(const RunRecord& r, bool complete, Fail& v) {
  const std::u16string& f = r.lastFrame;
  if (f.size() > VIEW_CHARS) {
    add(v, "view", "the view holds " + std::to_string(f.size()) + " characters");
    return;
  }
  if (complete && !r.userScrolled) {
    // Nobody scrolled: the view follows the newest lines, starting 23
    // completed lines before the end.
    std::u16string kept = keptConsoleText(r.echo);
    std::vector<size_t> starts{0};
    for (size_t i = 0; i + 1 < kept.size(); i++)
      if (kept[i] == u'\r' && kept[i + 1] == u'\n') starts.push_back(i + 2);
    size_t completed = starts.size() - 1;
    size_t first = completed > AUTO_SCROLL_LINES ? completed - AUTO_SCROLL_LINES : 0;
    if (f != kept.substr(starts[first], VIEW_CHARS))
      add(v, "view",
          "the view does not start " + std::to_string(AUTO_SCROLL_LINES) +
              " lines before the end although nobody scrolled");
    return;
  }
  if (f.empty()) return;
  size_t from = complete ? keptStart(r.echo) : 0;
  for (size_t p = r.echo.find(f, from); p != std::u16string::npos; p = r.echo.find(f, p + 1)) {
    if (!atLineStart(r.echo, p)) continue;
    if (!complete || f.size() == std::min(VIEW_CHARS, r.echo.size() - p)) return;
  }
  add(v, "view",
      "the last painted view (" + std::to_string(f.size()) +
          " characters) is not the console text from a line start on");
}

// A text in the trace's form: UTF-8, with '"', '\\' and controls escaped.
std::string traceForm(const std::u16string& text) {
  std::string out;
  for (unsigned char c : utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else {
      out += char(c);
    }
  }
  return out;
}

// The NIC the run names is the one the driver requests name, and the IP
// configuration is matched by that same name: "NIC not found in IP
// configuration." only when no IP adapter has it.
void checkNic(const RunRecord& r, const Lines& l, const std::vector<std::string>& ipAdapterNames,
              Fail& v) {
  const std::u16string head = u"\r\nFound : ";
  size_t p = r.echo.find(head);
  if (p == std::u16string::npos) return;
  p += head.size();
  size_t e = r.echo.find(u"\r\n", p);
  if (e == std::u16string::npos) return;  // cut short before the name's line end
  if (!r.nicFound) {
    add(v, "nic-name", "\"Found : \" without an accepted adapter test");
    return;
  }
  std::string named = traceForm(r.echo.substr(p, e - p));
  if (named != r.nicTraceName)
    add(v, "nic-name",
        "the run names the NIC " + shown(named) + ", the driver requests " + shown(r.nicTraceName));
  bool listed = false;
  for (const std::string& n : ipAdapterNames) {
    std::u16string widened;
    for (unsigned char c : n) widened += char16_t(c);
    listed = listed || traceForm(widened) == r.nicTraceName;
  }
  if (!listed) return;
  for (size_t n = 0; n < l.whole.size(); n++)
    if (l.whole[n] == "     NIC not found in IP configuration.")
      add(v, "false-verdict",
          "line " + std::to_string(n + 1) +
              " says the NIC is missing from the IP configuration, which lists it");
}

// A node whose adapter list could not be read has no cause that blames
// the network.
void checkFailedReads(const Lines& l, Fail& v) {
  bool failedRead = false;
  for (size_t n = 0; n < l.whole.size(); n++) {
    const std::string& line = l.whole[n];
    if (startsWith(line, "Node: ")) failedRead = false;
    if (startsWith(line, "Cannot read the IP adapter list, ERROR ")) failedRead = true;
    if (failedRead &&
        (line == "   DHCP server available." || line == "   Signal (RSSI) between  -10 and -70dB."))
      add(v, "false-verdict",
          "line " + std::to_string(n + 1) + " gives a cause after a failed read: " + shown(line));
  }
}

// Each release failure whose message was found shows "E", the message and
// "-" with the very code, on one line.
void checkReleaseLines(const RunRecord& r, const Lines& l, Fail& v) {
  size_t k = 0;
  for (size_t n = 0; n < l.whole.size() && k < r.releaseMessages.size(); n++) {
    size_t p = l.whole[n].find("Release Error:");
    if (p == std::string::npos) continue;
    const auto& [code, found] = r.releaseMessages[k++];
    std::string rest = l.whole[n].substr(p + std::strlen("Release Error:"));
    if (found && (rest.empty() || rest[0] != 'E' || !endsWith(rest, "-" + std::to_string(code))))
      add(v, "release-code",
          "line " + std::to_string(n + 1) + " does not end with the release error's code " +
              std::to_string(code) + ": " + shown(l.whole[n]));
  }
}

}  // namespace

std::u16string keptConsoleText(const std::u16string& echo) { return echo.substr(keptStart(echo)); }

std::vector<std::string> checkRun(const RunRecord& r, bool tempFolder,
                                  const std::vector<std::string>& ipAdapterNames) {
  Fail v;
  if (r.signal == SIGALRM) {
    add(v, "hang", "the run outlived its wall-clock limit");
    return v;
  }
  if (r.signal) {
    add(v, "crash",
        std::string("signal ") + std::to_string(r.signal) + " (" + strsignal(r.signal) + ")");
    return v;
  }
  if (!r.resultWritten) {
    add(v, "crash",
        "the run ended without reaching the harness's end (exit " + std::to_string(r.exitCode) +
            ")");
    return v;
  }
  if (r.deadlock || r.exitCode == 3) {
    add(v, "deadlock", "every thread waited and nothing was scheduled");
    return v;
  }
  if (r.exitCode == 2) {
    add(v, "world-refused", "the harness refused the world");
    return v;
  }

  const std::string text = logBytes(r.echo);
  const Lines l = splitLines(text);
  const bool complete = endsWith(text, CLOSING);
  const bool logExpected =
      tempFolder && r.exitCode == 0 && r.userEnd == UserEnd::Tap && !r.logOpenFailed;

  if (r.logWritten && !logExpected)
    add(v, "log-written", "a log was written without an exit tap that could write it");
  if (!r.logWritten && logExpected) add(v, "log-missing", "the exit tap wrote no log");

  if (!r.windowCreated || !r.workerStarted) {
    // No window or no run: nothing may be written at all.
    if (!r.echo.empty()) add(v, "output-without-run", "the console holds " + shown(text));
    if (r.exitCode != 0)
      add(v, "exit-code", "exit " + std::to_string(r.exitCode) + " without a run");
    if (r.logWritten && logExpected && !r.log.empty())
      add(v, "log-differs", "the log of an empty console is not empty");
    return v;
  }

  if (r.exitCode == 1) {
    if (!l.tail.empty() || l.whole.empty() || !std::regex_match(l.whole.back(), documentedExit()))
      add(v, "undocumented-exit",
          "exit 1, but the console ends with " +
              shown(l.tail.empty() && !l.whole.empty() ? l.whole.back() : l.tail));
  } else if (r.exitCode != 0) {
    add(v, "exit-code", "exit " + std::to_string(r.exitCode));
  } else if (!complete) {
    if (r.userEnd == UserEnd::None || r.idleTap)
      add(v, "no-closing-lines",
          "the run ended without \" \" and \"Tap screen to exit. \"; it ends with " +
              shown(l.tail.empty() && !l.whole.empty() ? l.whole.back() : l.tail));
  }
  int closings = 0;
  for (const std::string& line : l.whole) closings += line == "Tap screen to exit. ";
  if (closings > 1) add(v, "two-closings", std::to_string(closings) + " closing lines");

  checkPasses(l, complete, v);
  checkNic(r, l, ipAdapterNames, v);
  checkFailedReads(l, v);
  checkReleaseLines(r, l, v);
  checkSweeps(l, v);
  checkSurvey(l, v);
  for (size_t n = 0; n < l.whole.size(); n++) {
    checkProbeText(l.whole[n], n, v);
    checkCompletions(l.whole[n], n, v);
    checkWaits(l.whole[n], n, v);
  }
  if (r.logWritten && logExpected) checkLog(r, complete, v);
  // Once the run is over only the adapter snapshot may still be held.
  if (complete && r.exitCode == 0 && r.liveBlocks > SNAPSHOT_BLOCKS)
    add(v, "memory-leak", std::to_string(r.liveBlocks) + " blocks still held after the run");
  if (r.liveBlocks < 0)
    add(v, "memory-release",
        "more blocks released than allocated (" + std::to_string(r.liveBlocks) + ")");
  checkView(r, complete, v);
  return v;
}

}  // namespace sim
