#include "report/lines.h"

namespace sim::report {
namespace {

bool startsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

bool endsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// Three blanks and then text: the program's cause lines ("   Signal ...").
// The run's own detail lines are indented by five.
bool isCause(const std::string& line) {
  return line == "Check:" || (line.size() > 3 && startsWith(line, "   ") && line[3] != ' ');
}

}  // namespace

bool isVerdict(const std::string& line) {
  static const char* const whole[] = {
      "Cannot associate to AP.",
      "Cannot get a valid Ip address. Check:",
      "Valid IP but no internet connection. Check:",
      "Fixed IP but no internet Connection. Check:",
      "   Incorrect DNS. Check it.",
      "Already connected to Internet. Exiting OK",
      "No networks available. Exiting...",
      "Could not delete old gateway",
      "Malloc failed, Out of Memory!",
  };
  for (const char* w : whole)
    if (line == w) return true;
  return startsWith(line, "Cannot read the IP adapter list, ERROR ") ||
         startsWith(line, "GetIpForwardTable Failed, ERROR ") ||
         startsWith(line, "NIC name too long (") ||
         (startsWith(line, "-Searching for NDIS WLAN NIC") && endsWith(line, "Not found."));
}

std::vector<LineKind> classifyLines(const std::vector<std::string>& lines) {
  std::vector<LineKind> kinds(lines.size(), LineKind::Plain);
  bool underVerdict = false;
  for (size_t i = 0; i < lines.size(); i++) {
    if (isVerdict(lines[i])) {
      kinds[i] = LineKind::Verdict;
      underVerdict = true;
    } else if (underVerdict && isCause(lines[i])) {
      kinds[i] = LineKind::Cause;
    } else {
      underVerdict = false;
    }
  }
  return kinds;
}

}  // namespace sim::report
