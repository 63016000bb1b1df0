// The explorer's worlds: [ip], its adapters and its networks (leases,
// renewals, the hosts that answer).
#include "explore/world.h"

namespace sim::worlds {
namespace {

// One network (by SSID) at most cannot be repaired by renewals.
void ipPlan(Draft& d) {
  Rng& r = d.r;
  const bool hostile = d.hostile;
  std::vector<IpNet>& ipNets = d.ipNets;
  for (const Net& n : d.nets) {
    if (!n.rawSsid.empty()) continue;
    bool seen = false;
    for (const IpNet& x : ipNets) seen = seen || x.ssid == n.ssid;
    if (seen) continue;
    ipNets.push_back({n.ssid, privateSubnet(r), false});
  }
  d.sweepWorld = !ipNets.empty() && r.percent(hostile ? 20 : 12);
  if (d.sweepWorld) {
    IpNet& x = ipNets[size_t(r.range(0, int64_t(ipNets.size()) - 1))];
    x.sweep = true;
    x.unknown = r.percent(25);  // the [ip] side does not know it: no DHCP answer at all
  }
  for (const Net& n : d.nets) d.reaching += n.reachesIp;
}

void ipAdapters(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  const std::vector<Net>& nets = d.nets;
  const std::vector<IpNet>& ipNets = d.ipNets;
  const bool sweepWorld = d.sweepWorld;
  const int reaching = d.reaching;
  const std::string& nicName = d.nicName;
  const int associated = d.associated;
  t.table("ip");
  t.strs("dns", {"10.20.0.1"});
  // The device's time for lookups, leases and renewals, now and then other
  // than the defaults: instant, slow, slower than the sweep waits.
  Rng& timing = d.timing;
  if (timing.percent(30)) t.num("lookup_ms", timing.pick<int64_t>({0, 5, 40, 300, 1500, 2500}));
  if (timing.percent(15)) t.num("lookup_timeout_ms", timing.range(500, 20000));
  if (timing.percent(20)) t.num("lease_ms", timing.range(0, 4000));
  if (timing.percent(15)) t.num("renew_ms", timing.range(0, 3000));
  if (hostile) {
    if (r.percent(10)) d.someFaults(FaultCall::AdaptersInfo, 20);
    if (r.percent(10)) d.someFaults(FaultCall::NetworkParams, 20);
    if (sweepWorld && r.percent(10)) d.someFaults(FaultCall::ForwardTable, 2);
    if (r.percent(10)) d.someFaults(FaultCall::AddAddress, 2);
    if (r.percent(10)) d.someFaults(FaultCall::DeleteAddress, 4);
    // Without the index no renewal happens, so every bad address is swept.
    if (reaching <= 2 && r.percent(4)) d.everyCall(FaultCall::AdapterIndex);
    if (r.percent(4)) d.everyCall(FaultCall::IcmpCreate);
    if (r.percent(10)) {
      d.someFaults(FaultCall::Echo, 30);
      if (r.percent(50)) t.num("echo_error", 11010);
    }
    if (r.percent(10)) d.someFaults(FaultCall::HostByName, 5);
    if (r.percent(10)) d.someFaults(FaultCall::HostByAddr, 200);
  } else if (d.more.percent(5)) {
    // One refresh's second adapter-list call fails: a read that fails, on a
    // device whose configuration is fine.
    d.faultCalls(FaultCall::AdaptersInfo, {2 * d.more.range(1, 8)});
  }
  if (r.percent(40)) {
    t.array("ip.adapter");
    t.str("name", "PCI\\ETHMAN1");
    t.str("description", "Ethernet");
    t.num("index", 1);
    t.flag("dhcp", false);
    t.strs("gateways", {"10.20.0.1"});
    // Sometimes plugged in during the run: it appears, and a refresh may
    // find the list grown between its two calls.
    if (d.more.percent(10)) t.num("appears_at", d.more.range(0, 40000));
    t.array("ip.adapter.address");
    t.str("address", "10.20.0.57");
  }
  const bool wlanInIp = !r.percent(4);
  const bool fixed = r.percent(18);
  if (wlanInIp) {
    t.array("ip.adapter");
    t.str("name", nicName);
    t.str("description", "802.11 adapter");
    t.num("index", r.range(2, 9));
    if (fixed) {
      t.flag("dhcp", false);
      // Usually an address of one of the networks, so that one can pass.
      Subnet s = !ipNets.empty() && r.percent(60)
                     ? ipNets[size_t(r.range(0, int64_t(ipNets.size()) - 1))].subnet
                     : privateSubnet(r);
      t.strs("gateways", {dotted(s.host(1))});
      t.array("ip.adapter.address");
      t.str("address",
            r.percent(85) ? dotted(s.host(uint32_t(r.range(2, 254)))) : publicAddress(r));
    } else if (associated >= 0 && r.percent(60)) {
      // On a network at start: it keeps what it holds now.
      const Net& n = nets[size_t(associated)];
      Subnet s = privateSubnet(r);
      for (const IpNet& x : ipNets)
        if (x.ssid == n.ssid) s = x.subnet;
      t.strs("gateways", {dotted(s.host(1))});
      t.str("dhcp_server", dotted(s.host(1)));
      t.num("lease_obtained", r.range(946684800, 2000000000));
      t.array("ip.adapter.address");
      t.str("address", r.percent(80) ? dotted(s.host(uint32_t(r.range(2, 254)))) : "169.254.3.4");
      if (r.percent(10)) {
        t.num("context", 3);
        d.context3Held = true;
      }
    }
  }
}

// Networks named by raw bytes (a NUL, Latin-1 characters): the [ip] side
// names them by the same bytes now and then. Drawn from the later stream,
// after everything the main stream decides for [ip].
void ipRawPlan(Draft& d) {
  for (const Net& n : d.nets) {
    if (n.rawSsid.empty() || !d.more.percent(30)) continue;
    bool seen = false;
    for (const IpNet& x : d.ipNets) seen = seen || airBytes({x.ssid, x.rawSsid}) == airBytes(n);
    if (!seen) d.ipNets.push_back({"", privateSubnet(d.more), false, false, n.rawSsid});
  }
}

// The network's lease as DHCP hands it out, its subnet and name servers;
// answers the kind of lease (0 good, 1 stale, 2 automatic, 3 none). Now and
// then the network sets the adapter's configuration on it: `fixed` (its own
// address, none of DHCP's keys), or DHCP even for a fixed adapter.
int ipLease(Draft& d, const IpNet& x, const std::string& gateway, bool& fixed) {
  Rng& r = d.r;
  Rng& more = d.more;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  t.array("ip.network");
  if (x.rawSsid.empty())
    t.str("ssid", x.ssid);
  else
    t.nums("ssid_bytes", x.rawSsid);
  Rng& timing = d.timing;
  if (timing.percent(20)) t.str("name_server", timing.pick({"route", "answers", "silent"}));
  const Subnet& s = x.subnet;
  int lease = x.sweep ? int(r.range(1, 3)) : (r.percent(65) ? 0 : int(r.range(1, 3)));
  const int config = x.sweep || !more.percent(10) ? 0 : more.percent(60) ? 1 : 2;
  fixed = config == 1;
  // A fixed network gets no lease, so no lease time either.
  if (!fixed && timing.percent(10)) t.num("lease_ms", timing.range(0, 5000));
  switch (lease) {
    case 0:  // a good lease
      t.str("address", dotted(s.host(uint32_t(r.range(2, 254)))));
      t.str("mask", s.mask());
      t.str("gateway", gateway);
      break;
    case 1:  // a stale lease from elsewhere
      t.str("address", r.percent(50) ? "10.99.1.17" : publicAddress(r));
      t.str("mask", "255.255.0.0");
      t.str("gateway", "10.99.0.1");
      break;
    case 2:  // an automatic private address
      t.str("address",
            "169.254." + std::to_string(r.range(0, 255)) + "." + std::to_string(r.range(1, 254)));
      t.str("mask", "255.255.0.0");
      break;
    default:  // no DHCP answer
      break;
  }
  if (fixed) {
    t.flag("dhcp", false);
    if (lease == 3) {  // a fixed configuration has its address
      t.str("address", dotted(s.host(uint32_t(more.range(2, 254)))));
      t.str("mask", s.mask());
      t.str("gateway", gateway);
    }
  } else if (config == 2) {
    t.flag("dhcp", true);
  }
  // Context 3 only while no adapter's own address holds it: the WLAN
  // adapter's would be replaced by the lease, but where no binding makes
  // that adapter the WLAN one the two would be held at once.
  if ((lease != 3 || fixed) && more.percent(10)) {
    const bool three = more.percent(20);
    const int64_t other = more.range(1, 0xFFFF);
    t.num("context", three && !d.context3Held ? 3 : other == 3 ? 4 : other);
  }
  if (lease != 3) {
    int64_t obtained = hostile && r.percent(20) ? r.range(-2147483647 - 1, 2147483647)
                                                : r.range(946684800, 2000000000);
    if (!fixed) {
      t.str("dhcp_server", gateway);
      t.num("lease_obtained", obtained);
    }
  }
  t.str("subnet", s.text());
  if (r.percent(30))
    t.strs("dns", {gateway, "1.1.1.1", dotted(s.host(2))});
  else
    t.strs("dns", {gateway});
  if (r.percent(10)) {
    int64_t code = r.pick({RELEASE_CODES[0], RELEASE_CODES[1], RELEASE_CODES[2], RELEASE_CODES[3]});
    if (!fixed) t.num("release_error", code);
  }
  return lease;
}

// Renewals: the sweep's network never gets a good address; any other gets
// one at the latest on the second try.
void ipRenewals(Draft& d, const IpNet& x, const std::string& gateway, int lease) {
  Rng& r = d.r;
  Toml& t = d.t;
  const Subnet& s = x.subnet;
  // Now and then the Context of the address a renewal gives.
  auto context = [&] {
    if (d.more.percent(10)) t.num("context", d.more.range(1, 0xFFFF));
  };
  if (x.sweep) {
    for (int k = int(r.range(1, 2)); k > 0; k--) {
      t.array("ip.network.renewal");
      switch (r.range(0, 3)) {
        case 0:
          t.str("result", "apipa");
          t.num("poll", r.range(1, 8));
          context();
          break;
        case 1:
          t.str("result", "nothing");
          break;
        case 2:
          t.str("result", "refused");
          if (r.percent(50)) t.num("error", 1231);
          break;
        default:  // valid, but after the program stops polling
          t.str("result", "valid");
          t.num("poll", r.range(9, 12));
          t.str("address", dotted(s.host(uint32_t(r.range(2, 254)))));
          t.str("mask", s.mask());
          t.str("gateway", gateway);
          context();
          break;
      }
    }
  } else if (lease != 0 || r.percent(50)) {
    if (r.percent(40)) {
      t.array("ip.network.renewal");
      std::string kind = r.pick({"apipa", "nothing", "refused"});
      t.str("result", kind);
      if (kind == "apipa") context();
    }
    t.array("ip.network.renewal");
    t.str("result", "valid");
    if (d.timing.percent(10)) t.num("ms", d.timing.range(0, 5000));
    t.num("poll", r.range(1, 8));
    t.str("address", dotted(s.host(uint32_t(r.range(2, 254)))));
    t.str("mask", s.mask());
    t.str("gateway", gateway);
    context();
  }
}

}  // namespace

// One [[ip.network]]. A fixed network draws its renewals as any other, so
// that the stream stays as it was, but they are not written: a fixed
// configuration is never renewed.
void ipNetwork(Draft& d, const IpNet& x) {
  std::string gateway = dotted(x.subnet.host(1));
  bool fixed = false;
  int lease = ipLease(d, x, gateway, fixed);
  size_t mark = d.t.s.size();
  ipRenewals(d, x, gateway, lease);
  if (fixed) d.t.s.resize(mark);
  ipHosts(d, x, gateway);
  ipSweepHosts(d, x);
}

void ipSection(Draft& d) {
  ipPlan(d);
  ipAdapters(d);
  const size_t planned = d.ipNets.size();
  ipRawPlan(d);
  for (size_t i = 0; i < d.ipNets.size(); i++) {
    const IpNet& x = d.ipNets[i];
    if (x.unknown) continue;
    if (i < planned) {
      ipNetwork(d, x);
      continue;
    }
    // A network the later stream added draws from a stream of its own.
    Rng main = d.r;
    d.r = Rng{d.more.next()};
    ipNetwork(d, x);
    d.r = main;
  }
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  const bool sweepWorld = d.sweepWorld;
  if (hostile && r.percent(sweepWorld ? 25 : 5)) {
    t.array("ip.route");
    t.str("next_hop", "10.20.0.254");
    t.num("if_index", 1);
    t.flag("delete_fails", true);
  }
  // A route that appears during the run (a default one is deleted with the
  // others), at times that sometimes fall between the route table's calls.
  if (d.more.percent(8)) {
    t.array("ip.route");
    if (!d.more.percent(30)) {
      t.str("destination", "10.30.0.0");
      t.str("mask", "255.255.0.0");
    }
    t.str("next_hop", "10.20.0.253");
    t.num("if_index", 1);
    t.num("appears_at", d.more.percent(50) ? d.more.range(0, 5000) : d.more.range(30000, 90000));
  }
}

}  // namespace sim::worlds
