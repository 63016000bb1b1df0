// The explorer's worlds: the hosts of an [[ip.network]], those the tests
// reach and those a sweep can find.
#include "explore/world.h"

namespace sim::worlds {

// The internet test's host, the name the DNS test resolves and its host.
void ipHosts(Draft& d, const IpNet& x, const std::string& gateway) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  const bool longRun = d.longRun;
  if (r.percent(x.sweep ? 40 : longRun ? 10 : 85)) {
    t.array("ip.network.host");
    t.str("address", "1.1.1.1");
    t.num("rtt", r.percent(6) ? r.range(1000, 3000) : r.range(0, 400));
    if (r.percent(4)) t.num("status", r.pick<int64_t>({11003, 11010, 11013}));
    if (r.percent(3)) t.str("reply_from", gateway);
  }
  if (r.percent(75)) {
    std::string target = publicAddress(r);
    t.array("ip.network.name");
    t.str("name", r.percent(85) ? "www.google.com" : "WWW.Google.COM");
    t.strs("addresses",
           r.percent(6) ? std::vector<std::string>{} : std::vector<std::string>{target});
    if (hostile && r.percent(8)) t.num("address_length", r.pick<int64_t>({0, 2, 3, 16, 64}));
    if (r.percent(85)) {
      t.array("ip.network.host");
      t.str("address", target);
      t.num("rtt", r.percent(5) ? r.range(1000, 2000) : r.range(1, 300));
      if (r.percent(4)) t.num("status", 11003);
    }
  }
  if (r.percent(5)) {
    t.array("ip.network.reverse");
    t.str("address", "1.1.1.1");
    t.str("name", "one.one.one.one");
    if (r.percent(50))
      t.strs("addresses", r.percent(50) ? std::vector<std::string>{}
                                        : std::vector<std::string>{publicAddress(r)});
  }
}

// Hosts the sweep can find (any network: a later sweep elsewhere finds
// none of them).
void ipSweepHosts(Draft& d, const IpNet& x) {
  Rng& r = d.r;
  Toml& t = d.t;
  if (x.sweep || r.percent(10)) {
    // A crowded subnet answers from hundreds of addresses: the probes'
    // lines alone fill the console.
    int64_t answering = !x.sweep ? r.range(0, 4) : r.percent(20) ? r.range(50, 400) : r.range(1, 4);
    for (int64_t k = answering; k > 0; k--) {
      std::string a =
          "192.168." + std::to_string(sweepSubnet(r)) + "." + std::to_string(sweepHost(r));
      t.array("ip.network.host");
      t.str("address", a);
      t.num("rtt", r.percent(15) ? r.range(1000, 1500) : r.range(0, 999));
      if (r.percent(8)) t.num("status", 11010);
      if (r.percent(8)) t.str("reply_from", "10.0.0." + std::to_string(r.range(1, 254)));
      if (r.percent(30)) {
        t.array("ip.network.reverse");
        t.str("address", a);
        t.str("name", "ap.local");
        if (r.percent(50)) {
          t.strs("addresses", r.pick<int>({0, 1, 2}) == 0 ? std::vector<std::string>{}
                              : r.percent(50) ? std::vector<std::string>{"255.255.255.255"}
                                              : std::vector<std::string>{"192.168.0.1"});
        }
      }
    }
    // Neighbours probed a millisecond apart whose answers arrive at the
    // same moment: their lines are written at once.
    if (x.sweep && r.percent(50)) {
      for (int64_t k = r.range(1, 3); k > 0; k--) {
        int first = int(r.range(0, 28)), host = sweepHost(r);
        int64_t rtt = r.range(3, 900);
        for (int n = 0; n < 3; n++) {
          int at = first + n;  // the subnets' order: 0..15, then 240..255
          t.array("ip.network.host");
          t.str("address",
                "192.168." + std::to_string(at < 16 ? at : 224 + at) + "." + std::to_string(host));
          t.num("rtt", rtt - n);
        }
      }
    }
  }
}

}  // namespace sim::worlds
