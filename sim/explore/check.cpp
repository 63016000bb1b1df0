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

#include "explore/check_text.h"

namespace sim {
namespace {

using namespace check;

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
