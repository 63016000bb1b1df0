// Local time, time-zone information and file time to calendar, on the
// virtual clock.
#include <cstring>

#include "harness/host.h"
#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "system/services.h"

namespace sim {
namespace {

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

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
  const ClockWorld& c = world.clock;
  int64_t start = daysFromCivil(c.year, unsigned(c.month), unsigned(c.day)) * 86400000 +
                  (int64_t(c.hour) * 3600 + c.minute * 60 + c.second) * 1000;
  toSystemTime(start + int64_t(now()), out);
}

DWORD getTimeZoneInformation(TIME_ZONE_INFORMATION* out) {
  std::memset(out, 0, sizeof *out);
  out->Bias = world.clock.bias;
  out->StandardBias = world.clock.standardBias;
  out->DaylightBias = world.clock.daylightBias;
  return world.clock.daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

BOOL fileTimeToSystemTime(const FILETIME* in, SYSTEMTIME* out) {
  int n = ++host.fileTimeCalls;
  uint64_t ft = (uint64_t(in->dwHighDateTime) << 32) | in->dwLowDateTime;
  bool injected = listed(world.system.failFileTimes, n);
  trace("FileTimeToSystemTime", {{"n", n}, {"ok", !injected && ft < 0x8000000000000000ull}});
  if (injected || ft >= 0x8000000000000000ull) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  // 100 ns units since 1601 to ms since 1970.
  int64_t ms = int64_t(ft / 10000) - 11644473600000LL;
  toSystemTime(ms, out);
  return 1;
}

}  // namespace plat
