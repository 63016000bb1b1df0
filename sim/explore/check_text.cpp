// The explorer's line-level properties of the console text (check_text.h).
#include "explore/check_text.h"

#include <cstdio>
#include <cstring>

namespace sim::check {

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
  // The expression is slow and runs on every line: only a line that can
  // match is given to it.
  if (line.find("ed in ") == std::string::npos || !std::regex_search(line, m, wait)) return;
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

// The sweep writes 31 dots in all, whatever answers; a probe's answer shows
// only while its sweep is open (up to the removal of the sweep's address),
// never under a later heading.
void checkSweeps(const Lines& l, Fail& v) {
  bool in = false, open = false;
  size_t dots = 0, from = 0;
  for (size_t n = 0; n < l.whole.size(); n++) {
    const std::string& line = l.whole[n];
    size_t probe = line.find(PROBE_PREFIX);
    if (probe != std::string::npos && line.find_first_not_of('.') >= probe && !open)
      add(v, "late-probe",
          "line " + std::to_string(n + 1) +
              " shows a probe's answer outside a sweep: " + shown(line));
    if (line == "     IP Address Deleted." || line == "     IP Address Deletetion failed.")
      open = false;
    if (line == SWEEP_START) {
      in = open = true;
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

}  // namespace sim::check
