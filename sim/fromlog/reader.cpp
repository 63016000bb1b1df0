// Splitting a log into lines, the small text tests the readers share, and
// the whole log's order: head, node loop, closing.
#include "fromlog/reader.h"

#include <cstdint>
#include <cstdlib>

#include "fromlog/track.h"
#include "ip/ipv4.h"

namespace sim::fromlog {

LogLines splitLog(const std::string& bytes) {
  LogLines out;
  size_t start = 0;
  bool anyCr = false, anyBareLf = false;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    if (lf == std::string::npos) {
      out.lines.push_back(bytes.substr(start));
      out.cut = true;
      break;
    }
    size_t end = lf;
    if (end > start && bytes[end - 1] == '\r') {
      end--;
      anyCr = true;
    } else {
      anyBareLf = true;
    }
    out.lines.push_back(bytes.substr(start, end - start));
    start = lf + 1;
  }
  out.lfOnly = anyBareLf && !anyCr;
  return out;
}

bool fail(Cursor& c, const std::string& why) {
  // The log ended where a line was due, or its last line was cut in the
  // middle: a log cut short, not a fault.
  size_t whole = c.lines.size() - (c.lastPartial ? 1 : 0);
  if (c.at >= whole) {
    c.m.complete = false;
    return false;
  }
  if (c.error.empty()) {
    std::string shown = c.lines[c.at].substr(0, 60);
    c.error = "line " + std::to_string(c.at + 1) + ": " + why + ": \"" + shown + "\"";
  }
  return false;
}

bool expectLine(Cursor& c, const char* text) {
  if (c.done()) return fail(c, std::string("the log ends where \"") + text + "\" was due");
  if (c.peek() != text) return fail(c, std::string("expected \"") + text + "\"");
  c.at++;
  return true;
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool addressText(const std::string& text, bool emptyOk) {
  uint32_t v;
  return (emptyOk && text.empty()) || parseIpv4(text, v);
}

bool after(const std::string& s, const std::string& prefix, std::string& rest) {
  if (!startsWith(s, prefix)) return false;
  rest = s.substr(prefix.size());
  return true;
}

bool wholeNumber(const std::string& text, long long& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') i++;
  if (i == text.size() || text.size() - i > 12) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str() + i, &end, 10);
  return *end == 0 && end != text.c_str() + i &&
         (text[i] == '-' || (text[i] >= '0' && text[i] <= '9'));
}

bool readClosing(Cursor& c) {
  if (c.done()) return fail(c, "the log ends before the closing lines");
  if (c.peek() != " ") return fail(c, "expected the closing lines");
  c.at++;
  if (c.done() || c.peek() != "Tap screen to exit. ")
    return fail(c, "expected \"Tap screen to exit. \"");
  c.at++;
  if (!c.done()) return fail(c, "a line after the closing lines");
  return true;
}

// A log whose oldest lines the full console dropped: reading starts at the
// first whole node pass, and what came before is chosen.
bool resync(Cursor& c) {
  size_t k = 0;
  while (k < c.lines.size() && c.lines[k] != "-Trying to associate with....") k++;
  if (k == c.lines.size()) return false;
  Model& m = c.m;
  m.headDropped = true;
  m.nicFound = true;
  m.nicName = "WLAN1";
  m.itemsReported = 0;
  m.choices.push_back("the oldest lines were dropped: the lines before line " +
                      std::to_string(k + 1) + " are not made again");
  m.choices.push_back(
      "the clock, the NIC name (WLAN1) and the survey rows of the nodes the "
      "kept lines name (RSSI -60, channel 6); no other networks");
  c.at = k;
  return true;
}

std::string cutTail(const std::string& bytes, bool lfOnly);

bool readLog(const std::string& bytes, Model& m, std::string& error) {
  LogLines split = splitLog(bytes);
  m.lfOnly = split.lfOnly;
  if (split.lines.empty()) {
    error = "the log is empty";
    return false;
  }
  Cursor c{split.lines, 0, m, split.cut, ""};
  bool ok;
  if (split.lines[0] != "Olvash Quorvelta V0.18" && resync(c)) {
    ok = readNodes(c);
  } else {
    ok = readHead(c);
    if (ok && m.nicFound && m.itemsReported > 0) ok = readNodes(c);
  }
  if (ok) ok = readClosing(c);
  if (split.cut && c.error.empty()) m.complete = false;
  if (!c.error.empty()) {
    error = c.error;
    return false;
  }
  if (!m.complete) m.cutTail = cutTail(bytes, m.lfOnly);
  return true;
}

// The text an exit tap waits for in a log cut short: its last bytes, as
// the console holds them (CR LF line ends). Each byte is the console's
// character, except a '?' that may stand for a character the 8-bit log
// could not hold: the text starts after the last one. A painted frame
// shows the console's text so far, so the tap waits for a text found
// nowhere earlier in the log (160 bytes, or as many whole lines more as
// that takes). Too short a text could show earlier in the run: then no
// tap, and so too when no text after the last '?' is found only at the end.
std::string cutTail(const std::string& bytes, bool lfOnly) {
  std::string all;
  for (char ch : bytes) {
    if (ch == '\n' && lfOnly) all += '\r';
    all += ch;
  }
  const size_t q = all.rfind('?');
  const size_t floor = q == std::string::npos ? 0 : q + 1;  // the text starts here or later
  size_t start = all.size() > 160 ? all.size() - 160 : 0;
  if (start < floor) start = floor;
  auto onlyAtEnd = [&](size_t from) {
    return all.find(all.c_str() + from, 0, all.size() - from) == from;
  };
  while (!onlyAtEnd(start) && start > floor) {
    size_t lf = start >= 2 ? all.rfind('\n', start - 2) : std::string::npos;
    start = lf == std::string::npos || lf + 1 < floor ? floor : lf + 1;
  }
  std::string text = all.substr(start);
  return text.size() >= 24 && onlyAtEnd(start) ? text : "";
}

}  // namespace sim::fromlog
