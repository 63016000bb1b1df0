// What a run left, read back by the explorer's parent: the facts of its
// trace, and console text as the log holds it.
#include <cstdlib>
#include <string>

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

void readTraceFacts(const std::string& trace, RunRecord& r) {
  bool firstThread = true;
  auto field = [](const std::string& line, const char* key) -> long {
    std::string k = std::string("\"") + key + "\":";
    size_t p = line.find(k);
    return p == std::string::npos ? -1 : std::strtol(line.c_str() + p + k.size(), nullptr, 10);
  };
  size_t at = 0;
  while (at < trace.size()) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    std::string line = trace.substr(at, end - at);
    at = end + 1;
    auto is = [&](const char* call) {
      return line.find(std::string("\"call\":\"") + call + "\"") != std::string::npos;
    };
    bool ok = line.find("\"ok\":true") != std::string::npos;
    if (!r.nicFound && ok && is("DeviceIoControl") &&
        line.find("\"oid\":\"0x0D01011A\"") != std::string::npos) {
      // The first accepted scan request is the adapter test of the NIC found.
      r.nicFound = true;
      r.nicTraceName = stringField(line, "name");
    } else if (is("FormatMessage")) {
      r.releaseMessages.emplace_back(field(line, "code"),
                                     line.find("\"found\":true") != std::string::npos);
    }
    if (is("CreateWindowEx")) {
      r.windowCreated = r.windowCreated || ok;
    } else if (is("CreateThread")) {
      if (firstThread) r.workerStarted = ok;
      firstThread = false;
    } else if (is("IdleTap")) {
      r.idleTap = true;
    } else if (is("fopen")) {
      r.logOpenFailed = r.logOpenFailed || !ok;
    } else if (is("GetMessage") && line.find("\"answer\":-1") != std::string::npos) {
      if (r.userEnd == UserEnd::None) r.userEnd = UserEnd::MessageError;
    } else if (is("ExitProcess")) {
      r.exitProcessCode = int(field(line, "code"));
    } else if (is("DispatchMessage") &&
               (line.find("\"msg\":\"WM_TIMER\"") != std::string::npos ||
                line.find("\"msg\":\"WM_LBUTTONDOWN\"") != std::string::npos)) {
      long x = field(line, "x"), y = field(line, "y");
      bool timer = line.find("WM_TIMER") != std::string::npos;
      r.userScrolled = r.userScrolled || timer ||
                       (x >= 210 && x < 220 && ((y >= 0 && y < 10) || (y >= 229 && y < 239)));
    } else if (is("DispatchMessage") && r.userEnd == UserEnd::None) {
      if (line.find("\"msg\":\"WM_CLOSE\"") != std::string::npos) {
        r.userEnd = UserEnd::Close;
      } else if (line.find("\"msg\":\"WM_LBUTTONUP\"") != std::string::npos) {
        long x = field(line, "x"), y = field(line, "y");
        bool inBox = x >= 210 && x < 220 && ((y >= 0 && y < 10) || (y >= 229 && y < 239));
        if (!inBox) r.userEnd = UserEnd::Tap;
      }
    }
  }
}

}  // namespace sim
