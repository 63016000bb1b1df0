// The log reader: lines of a device log into a Model, or the first line it
// could not place.
#pragma once
#include <string>
#include <vector>

#include "fromlog/model.h"

namespace sim::fromlog {

// A log split into lines. `cut` is set when the last line has no line end.
struct LogLines {
  std::vector<std::string> lines;
  bool cut = false;
  bool lfOnly = false;
};
LogLines splitLog(const std::string& bytes);

// The cursor the readers share: the lines, where reading stands, and the
// model being filled.
struct Cursor {
  const std::vector<std::string>& lines;
  size_t at = 0;
  Model& m;
  bool lastPartial = false;  // the last line has no line end
  std::string error;         // "line N: ..." once a line could not be placed

  bool done() const { return at >= lines.size(); }
  const std::string& peek() const { return lines[at]; }
  // The next line is the log's last and was cut before its line end.
  bool atCutLine() const { return lastPartial && at + 1 == lines.size(); }
};

// Readers answer false once cursor.error is set (or the log ended where a
// line was due; then the log is taken as cut short).
bool fail(Cursor& c, const std::string& why);
// Consumes the next line, which must be `text` exactly.
bool expectLine(Cursor& c, const char* text);
bool startsWith(const std::string& s, const std::string& prefix);
// The text after `prefix` if s begins with it.
bool after(const std::string& s, const std::string& prefix, std::string& rest);
// A decimal number that fills `text` (blanks before it allowed).
bool wholeNumber(const std::string& text, long long& value);
// Whether `text` is an address as the program prints one (a dotted quad of
// 0..255 each); empty passes when `emptyOk`. A log with anything else where
// an address stands is corrupted: what it says could make no world.
bool addressText(const std::string& text, bool emptyOk = false);

bool readHead(Cursor& c);     // banner to the survey's "-Current state...."
bool readNodes(Cursor& c);    // the node loop
bool readClosing(Cursor& c);  // " " and "Tap screen to exit. "

// The node loop's parts (read_ip.cpp, read_tests.cpp).
struct RunTrack;
bool readConnectionData(Cursor& c, RunTrack& t);
bool readAddressing(Cursor& c, RunTrack& t, bool& success);

// Reads a whole log; false with the error naming the first line it could
// not place.
bool readLog(const std::string& bytes, Model& m, std::string& error);

}  // namespace sim::fromlog
