// What a run left, read back by the explorer's parent: the facts of its
// trace, and console text as the log holds it.
#include <cstdlib>
#include <string>
#include <string_view>

#include "explore/explore.h"

namespace sim {

// A string field of a trace line as the trace writes it (escapes kept).
std::string stringField(const std::string& line, const char* key) {
  std::string k = std::string("\"") + key + "\":\"";
  size_t p = line.find(k);
  if (p == std::string::npos) return "";
  std::string out;
  for (size_t i = p + k.size(); i < line.size() && line[i] != '"'; i++) {
    if (line[i] == '\\' && i + 1 < line.size()) out += line[i++];
    out += line[i];
  }
  return out;
}

std::string logBytes(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      out += '?';
      i++;
    } else {
      out += c <= 0xFF ? char(c) : '?';
    }
  }
  return out;
}

// One pass over the trace, looking at each record's call name once: a
// sweep's trace holds thousands of records, and this runs for every world.
void readTraceFacts(const std::string& trace, RunRecord& r) {
  using View = std::string_view;
  bool firstThread = true;
  View line;
  auto has = [&](View text) { return line.find(text) != View::npos; };
  auto field = [&](View key) -> long {
    size_t p = line.find(key);
    if (p == View::npos) return -1;
    // The record is a line of the trace string, so the number ends inside it.
    return std::strtol(line.data() + p + key.size(), nullptr, 10);
  };
  constexpr View CALL = "\"call\":\"";
  size_t at = 0;
  while (at < trace.size()) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    line = View(trace).substr(at, end - at);
    at = end + 1;
    View call;
    if (size_t p = line.find(CALL); p != View::npos) {
      View rest = line.substr(p + CALL.size());
      call = rest.substr(0, rest.find('"'));
    }
    if (call.empty()) continue;
    const bool ok = has("\"ok\":true");
    if (!r.nicFound && ok && call == "DeviceIoControl" && has("\"oid\":\"0x0D01011A\"")) {
      // The first accepted scan request is the adapter test of the NIC found.
      r.nicFound = true;
      r.nicTraceName = stringField(std::string(line), "name");
    } else if (call == "FormatMessage") {
      r.releaseMessages.emplace_back(field("\"code\":"), has("\"found\":true"));
    }
    if (call == "CreateWindowEx") {
      r.windowCreated = r.windowCreated || ok;
    } else if (call == "CreateThread") {
      if (firstThread) r.workerStarted = ok;
      firstThread = false;
    } else if (call == "IdleTap") {
      r.idleTap = true;
    } else if (call == "fopen") {
      r.logOpenFailed = r.logOpenFailed || !ok;
    } else if (call == "GetMessage" && has("\"answer\":-1")) {
      if (r.userEnd == UserEnd::None) r.userEnd = UserEnd::MessageError;
    } else if (call == "ExitProcess") {
      r.exitProcessCode = int(field("\"code\":"));
    } else if (call == "DispatchMessage" &&
               (has("\"msg\":\"WM_TIMER\"") || has("\"msg\":\"WM_LBUTTONDOWN\""))) {
      long x = field("\"x\":"), y = field("\"y\":");
      bool timer = has("WM_TIMER");
      r.userScrolled = r.userScrolled || timer ||
                       (x >= 210 && x < 220 && ((y >= 0 && y < 10) || (y >= 229 && y < 239)));
    } else if (call == "DispatchMessage" && r.userEnd == UserEnd::None) {
      if (has("\"msg\":\"WM_CLOSE\"")) {
        r.userEnd = UserEnd::Close;
      } else if (has("\"msg\":\"WM_LBUTTONUP\"")) {
        long x = field("\"x\":"), y = field("\"y\":");
        bool inBox = x >= 210 && x < 220 && ((y >= 0 && y < 10) || (y >= 229 && y < 239));
        if (!inBox) r.userEnd = UserEnd::Tap;
      }
    }
  }
}

}  // namespace sim
