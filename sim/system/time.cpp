// Local time, time-zone information and file time to calendar, on the
// virtual clock.
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/calendar.h"
#include "system/services.h"
#include "system/switch_point.h"

namespace sim {
namespace {

// Milliseconds since 1970 to calendar fields.
void toSystemTime(int64_t ms, plat::SYSTEMTIME* st) {
  int64_t days = ms / 86400000;
  int64_t rem = ms % 86400000;
  if (rem < 0) {
    rem += 86400000;
    days--;
  }
  int64_t y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  st->wYear = plat::WORD(y);
  st->wMonth = plat::WORD(m);
  st->wDay = plat::WORD(d);
  st->wDayOfWeek = plat::WORD(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  st->wHour = plat::WORD(rem / 3600000);
  st->wMinute = plat::WORD(rem / 60000 % 60);
  st->wSecond = plat::WORD(rem / 1000 % 60);
  st->wMilliseconds = plat::WORD(rem % 1000);
}

}  // namespace
}  // namespace sim

namespace plat {

using namespace sim;

void getLocalTime(SYSTEMTIME* out) {
  sim::switchPoint();
  const ClockWorld& c = world.clock;
  int64_t start = daysFromCivil(c.year, unsigned(c.month), unsigned(c.day)) * 86400000 +
                  (int64_t(c.hour) * 3600 + c.minute * 60 + c.second) * 1000;
  toSystemTime(start + int64_t(now()), out);
}

DWORD getTimeZoneInformation(TIME_ZONE_INFORMATION* out) {
  sim::switchPoint();
  std::memset(out, 0, sizeof *out);
  out->Bias = world.clock.bias;
  out->StandardBias = world.clock.standardBias;
  out->DaylightBias = world.clock.daylightBias;
  return world.clock.daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL fileTimeToSystemTime(const FILETIME* in, SYSTEMTIME* out) {
  sim::switchPoint();
  uint32_t n = 0;
  const Fault* fault = nextCallFails(FaultCall::FileTime, 0, &n);
  uint64_t ft = (uint64_t(in->dwHighDateTime) << 32) | in->dwLowDateTime;
  trace("FileTimeToSystemTime", {{"n", n}, {"ok", !fault && ft < 0x8000000000000000ull}});
  if (fault) {
    lastError = fault->answer;
    return 0;
  }
  if (ft >= 0x8000000000000000ull) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  // 100 ns units since 1601 to ms since 1970.
  int64_t ms = int64_t(ft / 10000) - 11644473600000LL;
  toSystemTime(ms, out);
  return 1;
}

}  // namespace plat
