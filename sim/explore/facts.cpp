// What a run left, read back by the explorer's parent: the facts of its
// trace, and console text as the log holds it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

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

// "loaded TEMP COUNT\n" and each name as "LENGTH:BYTES\n" (a name may
// hold any byte), or "refused\n" and the loader's message.
std::string worldFactsText(const WorldFacts& f) {
  if (!f.loaded) return "refused\n" + f.refused;
  std::string out = "loaded " + std::to_string(f.tempFolder ? 1 : 0) + " " +
                    std::to_string(f.ipAdapterNames.size()) + "\n";
  for (const std::string& n : f.ipAdapterNames) out += std::to_string(n.size()) + ":" + n + "\n";
  return out;
}

bool readWorldFacts(const std::string& text, WorldFacts& f) {
  const std::string_view refused = "refused\n";
  if (text.compare(0, refused.size(), refused) == 0) {
    f = WorldFacts{};
    f.refused = text.substr(refused.size());
    return true;
  }
  // Bounded: a world has at most a few adapters (the loader's limit is far
  // below this).
  constexpr unsigned long MAX_NAMES = 4096;
  const size_t lineEnd = text.find('\n');
  if (lineEnd == std::string::npos) return false;
  const std::string line = text.substr(0, lineEnd);
  unsigned temp = 0;
  unsigned long count = 0;
  int used = 0;
  if (std::sscanf(line.c_str(), "loaded %u %lu%n", &temp, &count, &used) != 2 ||
      size_t(used) != line.size() || temp > 1 || count > MAX_NAMES)
    return false;
  WorldFacts read;
  read.loaded = true;
  read.tempFolder = temp == 1;
  size_t at = lineEnd + 1;
  for (unsigned long i = 0; i < count; i++) {
    const size_t colon = text.find(':', at);
    if (colon == std::string::npos || colon == at || colon - at > 9) return false;
    size_t length = 0;
    for (size_t k = at; k < colon; k++) {
      if (text[k] < '0' || text[k] > '9') return false;
      length = length * 10 + size_t(text[k] - '0');
    }
    if (length > text.size() - colon - 1 || text.size() - colon - 1 - length < 1 ||
        text[colon + 1 + length] != '\n')
      return false;
    read.ipAdapterNames.push_back(text.substr(colon + 1, length));
    at = colon + 2 + length;
  }
  if (at != text.size()) return false;
  f = std::move(read);
  return true;
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
