// The [clock] and [system] tables. docs/scenarios.md documents every key.
#include <cstdlib>

#include "scenario/scenario.h"

namespace sim {

void loadClock(Section& s, ClockWorld& w) {
  if (const toml::node* n = s.node("local")) {
    auto dt = n->value_exact<toml::date_time>();
    if (!dt || dt->offset) {
      s.fail("local", "must be a local date and time, like 2006-03-05T09:07:02");
    } else {
      w.year = dt->date.year;
      w.month = dt->date.month;
      w.day = dt->date.day;
      w.hour = dt->time.hour;
      w.minute = dt->time.minute;
      w.second = dt->time.second;
      if (w.year < 1980 || w.year > 2099) s.fail("local", "year must lie in 1980..2099");
    }
  }
  w.bias = int32_t(s.integer("bias", 0, -1440, 1440));
  w.standardBias = int32_t(s.integer("standard_bias", 0, -1440, 1440));
  w.daylightBias = int32_t(s.integer("daylight_bias", 0, -1440, 1440));
  w.daylight = s.boolean("daylight", false);
  s.done();
}

void loadSystem(Section& s, SystemWorld& w, std::vector<Fault>& faults) {
  w.commandLine = s.wideText("command_line", u"");
  w.tempExists = s.boolean("temp_folder", true);
  w.maxThreads = uint32_t(s.integer("max_threads", 0, 0, 100000));
  for (FaultCall c : {FaultCall::CreateThread, FaultCall::Allocate, FaultCall::FileOpen,
                      FaultCall::TextConversion, FaultCall::FileTime})
    loadCallFaults(s, c, faultKind(c).answer, faults);
  w.preemptPercent = uint32_t(s.integer("preempt", 0, 0, 100));
  w.preemptSeed = uint64_t(s.integer("preempt_seed", 1, 0, INT64_MAX));
  w.switchPercent = uint32_t(s.integer("switch_points", 0, 0, 100));
  Section m = s.table("messages");
  std::vector<std::string> codes = m.keys();
  if (codes.size() > MAX_TABLES) {
    s.fail("messages",
           "has " + std::to_string(codes.size()) + " texts; at most " + std::to_string(MAX_TABLES));
    codes.clear();
  }
  for (const std::string& k : codes) {
    char* end = nullptr;
    unsigned long code = std::strtoul(k.c_str(), &end, 10);
    if (k.empty() || *end || code > 0xFFFFFFFFul) {
      m.fail(k.c_str(), "message keys must be error codes (decimal)");
      continue;
    }
    const toml::node* n = m.node(k.c_str());
    auto v = n ? n->value_exact<std::string>() : std::nullopt;
    if (!v) {
      m.fail(k.c_str(), "must be a string");
      continue;
    }
    w.messages[uint32_t(code)] = widen(*v);
  }
  s.done();
}

}  // namespace sim
