// The trace as the report reads it back: one flat JSON object per line.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim::report {

struct Record {
  uint64_t t = 0;
  int thread = 0;
  std::string call;
  std::map<std::string, std::string> fields;  // strings unescaped, numbers as text
  std::string raw;                            // the line as the trace has it
  bool has(const std::string& key) const { return fields.count(key) != 0; }
  std::string get(const std::string& key) const;
  long long num(const std::string& key, long long otherwise = 0) const;
};

// Parses one trace line; false when it is not a flat object of strings,
// numbers and booleans with "t", "thread" and "call".
bool parseRecord(const std::string& line, Record& out);
// Reads every record of a trace file; false with a reason on the first line
// that is not one.
bool readTrace(const std::string& path, std::vector<Record>& out, std::string& error);

}  // namespace sim::report
