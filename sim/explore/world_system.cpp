// The explorer's worlds: [clock] and [system].
#include <algorithm>
#include <cstdio>

#include "explore/world.h"

namespace sim::worlds {

void clockSection(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  t.table("clock");
  char local[32];
  int year = hostile && r.percent(30) ? int(r.pick({1980, 1999, 2000, 2038, 2099}))
                                      : int(r.range(2000, 2035));
  std::snprintf(local, sizeof local, "%04d-%02d-%02dT%02d:%02d:%02d", year, int(r.range(1, 12)),
                int(r.range(1, 28)), int(r.range(0, 23)), int(r.range(0, 59)), int(r.range(0, 59)));
  t.raw("local", local);
  t.num("bias", hostile && r.percent(20) ? r.pick<int64_t>({-1440, 1440, -1439, 1})
                                         : 30 * r.range(-24, 24));
  if (r.percent(50)) t.num("daylight_bias", r.pick<int64_t>({0, -60, -30, 60}));
  if (r.percent(30)) t.flag("daylight", true);
  if (r.percent(10)) t.num("standard_bias", r.pick<int64_t>({0, 60, -60}));
}

void systemSection(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  const std::vector<Net>& nets = d.nets;
  t.table("system");
  std::string commandLine;
  if (!nets.empty() && r.percent(10)) {
    const Net& n = nets[size_t(r.range(0, int64_t(nets.size()) - 1))];
    commandLine = hexBssid(n.bssid, r.percent(85) ? '.' : ':', r.percent(30));
  } else if (r.percent(2)) {
    commandLine = std::string(size_t(r.range(80, 120)), 'f');  // longer than the filter holds
  }
  if (!commandLine.empty()) t.str("command_line", commandLine);
  // Other interleavings: threads give way when they release a lock others
  // wait for (the console's, while sweep probes write).
  const bool preempt = r.percent(50);
  if (preempt) {
    t.num("preempt", r.range(10, 90));
    t.num("preempt_seed", int64_t(r.next() >> 1));
  }
  // Switch points at every request, with a seed of their own when the
  // preemption drew none (a stream split from `more`, which stays put).
  Rng switches{d.more.s ^ 0xC2B2AE3D27D4EB4Full};
  switches.next();
  if (switches.percent(20)) {
    t.num("switch_points", switches.range(1, 60));
    if (!preempt) t.num("preempt_seed", int64_t(switches.next() >> 1));
  }
  const bool noTemp = r.percent(4);
  if (noTemp) t.flag("temp_folder", false);
  bool& workerMayFail = d.workerMayFail;
  if (hostile && r.percent(15)) {
    int64_t m = r.range(1, 60);
    t.num("max_threads", m);
    workerMayFail = m <= 1;
  }
  if (hostile && r.percent(15)) {
    std::vector<int64_t> v;
    if (r.percent(30)) v.push_back(1);  // the run's own thread
    for (int k = int(r.range(1, 3)); k > 0; k--) v.push_back(r.range(2, 600));
    std::sort(v.begin(), v.end());
    workerMayFail = workerMayFail || v[0] == 1;
    d.faultCalls(FaultCall::CreateThread, v);
  }
  if (hostile && r.percent(15)) d.someFaults(FaultCall::Allocate, 120);
  if (hostile && r.percent(5)) d.someFaults(FaultCall::FileOpen, 2);
  if (hostile && r.percent(8)) d.someFaults(FaultCall::TextConversion, 40);
  if (hostile && r.percent(8)) d.someFaults(FaultCall::FileTime, 10);
  // Messages for release errors; one with characters the code page lacks.
  bool messages = r.percent(60);
  if (messages) {
    t.table("system.messages");
    t.str("5", "Access is denied.\r\n");
    // A message longer than the line, or not: the code must show either way.
    t.str("1231", d.more.percent(50)
                      ? "The network location cannot be reached. For information about "
                        "network troubleshooting, see the Help.\r\n"
                      : "The network location cannot be reached.");
    if (r.percent(30)) t.str("87", "Param\xC3\xA8tre incorrect \xE2\x80\x93 \xF0\x9F\x93\xB6");
    // Line breaks and a tab inside the message.
    if (d.more.percent(50))
      t.str("2202", "The request was refused.\r\nThe adapter\tdid not answer.\r\n");
  }
}

}  // namespace sim::worlds
