#include "report/records.h"

#include <cstdlib>
#include <fstream>

namespace sim::report {

std::string Record::get(const std::string& key) const {
  auto i = fields.find(key);
  return i == fields.end() ? std::string() : i->second;
}

long long Record::num(const std::string& key, long long otherwise) const {
  auto i = fields.find(key);
  if (i == fields.end() || i->second.empty()) return otherwise;
  char* end = nullptr;
  long long v = std::strtoll(i->second.c_str(), &end, 10);
  return *end ? otherwise : v;
}

namespace {

struct Reader {
  const std::string& s;
  size_t i = 0;
  void blanks() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) i++;
  }
  bool take(char c) {
    blanks();
    if (i < s.size() && s[i] == c) {
      i++;
      return true;
    }
    return false;
  }
  // A string whose escapes are those the trace writes (\" \\ \uXXXX) and
  // the other short ones JSON has.
  bool string(std::string& out) {
    if (!take('"')) return false;
    out.clear();
    while (i < s.size() && s[i] != '"') {
      char c = s[i++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i >= s.size()) return false;
      char e = s[i++];
      switch (e) {
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'u': {
          if (i + 4 > s.size()) return false;
          unsigned v = unsigned(std::strtoul(s.substr(i, 4).c_str(), nullptr, 16));
          i += 4;
          // The trace escapes only control characters this way.
          out.push_back(v < 0x80 ? char(v) : '?');
          break;
        }
        default:
          out.push_back(e);
          break;
      }
    }
    return take('"');
  }
  bool scalar(std::string& out) {
    blanks();
    if (i < s.size() && s[i] == '"') return string(out);
    size_t start = i;
    while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ' ') i++;
    out = s.substr(start, i - start);
    return !out.empty();
  }
};

}  // namespace

bool parseRecord(const std::string& line, Record& out) {
  Reader r{line};
  out = Record{};
  out.raw = line;
  if (!r.take('{')) return false;
  if (!r.take('}')) {
    do {
      std::string key, value;
      if (!r.string(key) || !r.take(':') || !r.scalar(value)) return false;
      out.fields[key] = value;
    } while (r.take(','));
    if (!r.take('}')) return false;
  }
  r.blanks();
  if (r.i != line.size() || !out.has("t") || !out.has("thread") || !out.has("call")) return false;
  out.t = uint64_t(out.num("t"));
  out.thread = int(out.num("thread"));
  out.call = out.get("call");
  return true;
}

bool readTrace(const std::string& path, std::vector<Record>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the trace " + path;
    return false;
  }
  std::string line;
  size_t n = 0;
  while (std::getline(in, line)) {
    n++;
    if (line.empty()) continue;
    Record r;
    if (!parseRecord(line, r)) {
      error = path + ":" + std::to_string(n) + ": not a trace record";
      return false;
    }
    out.push_back(std::move(r));
  }
  return true;
}

}  // namespace sim::report
