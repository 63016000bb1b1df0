// The explorer's checks of the console text, line by line: the helpers and
// the line-level properties that check.cpp puts together for a whole run.
#pragma once

#include <cstddef>
#include <regex>
#include <string>
#include <vector>

namespace sim::check {

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

using Fail = std::vector<std::string>;

inline void add(Fail& v, const char* name, const std::string& detail) {
  v.push_back(std::string(name) + ": " + detail);
}

Lines splitLines(const std::string& text);
bool startsWith(const std::string& s, const char* head);
bool endsWith(const std::string& s, const std::string& tail);
// A line as a failure message shows it.
std::string shown(const std::string& line);
// Where the text the console still keeps starts in everything echoed.
size_t keptStart(const std::u16string& echo);
bool atLineStart(const std::u16string& text, size_t p);
// The lines with which the program may end early.
const std::regex& documentedExit();

void checkProbeText(const std::string& line, size_t n, Fail& v);
void checkCompletions(const std::string& line, size_t n, Fail& v);
void checkPasses(const Lines& l, bool complete, Fail& v);
void checkWaits(const std::string& line, size_t n, Fail& v);
void checkSurvey(const Lines& l, Fail& v);
void checkSweeps(const Lines& l, Fail& v);

}  // namespace sim::check
