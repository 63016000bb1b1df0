// The request trace: one JSON object per platform request, in order.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "harness/text.h"

namespace sim {

struct TraceField {
  const char* key;
  enum Kind { Int, Str, Bool, Strs } kind;
  int64_t i = 0;
  std::string s;
  std::vector<std::string> list;  // Strs: an array of texts
  TraceField(const char* k, int64_t v) : key(k), kind(Int), i(v) {}
  TraceField(const char* k, int v) : key(k), kind(Int), i(v) {}
  TraceField(const char* k, unsigned v) : key(k), kind(Int), i(v) {}
  TraceField(const char* k, long unsigned v) : key(k), kind(Int), i(int64_t(v)) {}
  TraceField(const char* k, bool v) : key(k), kind(Bool), i(v) {}
  TraceField(const char* k, const char* v) : key(k), kind(Str), s(v ? v : "") {}
  TraceField(const char* k, std::string v) : key(k), kind(Str), s(std::move(v)) {}
  TraceField(const char* k, std::vector<std::string> v) : key(k), kind(Strs), list(std::move(v)) {}
};

// Opens the trace; false when the host cannot create the file.
bool traceOpen(const std::string& path);
// Writes what is gathered so far (whole records only).
void traceFlush();
// Writes the rest and closes; false with the host's reason when any part
// of the trace could not be written.
bool traceClose(std::string& error);
inline void traceClose() {
  std::string ignored;
  traceClose(ignored);
}
bool tracing();
// Writes {"t":<virtual ms>,"thread":<id>,"call":call,...fields}.
void trace(const char* call, std::initializer_list<TraceField> fields);
void trace(const char* call, const std::vector<TraceField>& fields);
std::string hex32(uint32_t v);

}  // namespace sim
