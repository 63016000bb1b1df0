// Random worlds for the explorer, written as scenario text. Most worlds are
// reasonable (a WLAN adapter, open networks that join, DHCP that works or can
// be repaired, hosts that answer) so that runs reach deep into the node
// loop; some are hostile (refusals, failing calls, odd records, a user who
// closes the window). Each world is kept small: at most one network whose
// addressing cannot be repaired, since every subnet sweep costs real
// threads.
#include <algorithm>
#include <cstdio>
#include <set>

#include "explore/explore.h"

namespace sim {
namespace {

// splitmix64: small, fast and good enough to pick worlds; the same pair
// (seed, run) gives the same stream on every machine.
struct Rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int64_t range(int64_t lo, int64_t hi) { return lo + int64_t(next() % uint64_t(hi - lo + 1)); }
  bool percent(int p) { return int(next() % 100) < p; }
  template <class T>
  T pick(std::initializer_list<T> v) {
    return *(v.begin() + next() % v.size());
  }
};

// ---- scenario text --------------------------------------------------------

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04X", c);
      out += b;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

struct Toml {
  std::string s;
  void table(const std::string& name) { s += "\n[" + name + "]\n"; }
  void array(const std::string& name) { s += "\n[[" + name + "]]\n"; }
  void raw(const char* k, const std::string& v) { s += std::string(k) + " = " + v + "\n"; }
  void num(const char* k, int64_t v) { raw(k, std::to_string(v)); }
  void flag(const char* k, bool v) { raw(k, v ? "true" : "false"); }
  void str(const char* k, const std::string& v) { raw(k, quoted(v)); }
  void nums(const char* k, const std::vector<int64_t>& v) {
    std::string t = "[";
    for (size_t i = 0; i < v.size(); i++) t += (i ? ", " : "") + std::to_string(v[i]);
    raw(k, t + "]");
  }
  void strs(const char* k, const std::vector<std::string>& v) {
    std::string t = "[";
    for (size_t i = 0; i < v.size(); i++) t += (i ? ", " : "") + quoted(v[i]);
    raw(k, t + "]");
  }
};

std::string dotted(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
         std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
}

std::string hexBssid(const uint8_t b[6], char sep, bool upper) {
  char t[24];
  std::snprintf(t, sizeof t,
                upper ? "%02X%c%02X%c%02X%c%02X%c%02X%c%02X" : "%02x%c%02x%c%02x%c%02x%c%02x%c%02x",
                b[0], sep, b[1], sep, b[2], sep, b[3], sep, b[4], sep, b[5]);
  return t;
}

// ---- the world's parts -----------------------------------------------------

// The sweep's octets: hosts 1..15 and 240..254, subnets 0..15 and 240..255.
int sweepHost(Rng& r) { return r.percent(50) ? int(r.range(1, 15)) : int(r.range(240, 254)); }
int sweepSubnet(Rng& r) { return r.percent(50) ? int(r.range(0, 15)) : int(r.range(240, 255)); }

struct Net {
  std::string ssid;              // as text (ASCII, controls allowed but no CR or LF)
  std::vector<int64_t> rawSsid;  // or as bytes (Latin-1, NUL): such a network never reaches IP
  uint8_t bssid[6] = {};
  bool reachesIp = true;  // open, strong, infrastructure and joins: it may get an address
  bool joins = true;
};

// An IP subnet: base address (host part zero) and prefix length.
struct Subnet {
  uint32_t base = 0;
  int bits = 24;
  uint32_t host(uint32_t h) const { return base + h; }
  std::string text() const { return dotted(base) + "/" + std::to_string(bits); }
  std::string mask() const { return dotted(bits == 0 ? 0 : uint32_t(0xFFFFFFFFu << (32 - bits))); }
};

Subnet privateSubnet(Rng& r) {
  Subnet n;
  switch (r.range(0, 3)) {
    case 0:
    case 1:
      n.base = (192u << 24) | (168u << 16) | (uint32_t(r.range(0, 255)) << 8);
      break;
    case 2:
      n.base = (10u << 24) | (uint32_t(r.range(0, 255)) << 16) | (uint32_t(r.range(0, 255)) << 8);
      break;
    default:
      n.base = (172u << 24) | (uint32_t(r.range(16, 31)) << 16) | (uint32_t(r.range(0, 255)) << 8);
      break;
  }
  return n;
}

std::string publicAddress(Rng& r) {
  uint32_t a = uint32_t(r.pick({142, 151, 185, 203, 84, 9})) << 24;
  return dotted(a | uint32_t(r.range(0, 0xFFFFFF)));
}

const char* const WORDS[] = {"Cafe",  "Guest", "Lobby",  "Dock", "Office", "Lab",    "Store",
                             "Plant", "Yard",  "Floor2", "Net",  "Corner", "Hangar", "Annex"};

std::string ssidText(Rng& r) {
  if (r.percent(3)) return "";
  std::string s = WORDS[r.next() % (sizeof WORDS / sizeof WORDS[0])];
  if (r.percent(60)) s += std::to_string(r.range(1, 99));
  if (r.percent(4)) s += " \x01\x1b\t!";  // control characters, sent as they are
  if (r.percent(4))
    s += std::string(size_t(32 - std::min<size_t>(s.size(), 32)), 'x');  // the longest SSID
  return s.substr(0, 32);
}

// ---- sections ----------------------------------------------------------------

void clock(Toml& t, Rng& r, bool hostile) {
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

}  // namespace

std::string exploreWorld(uint64_t seed, uint64_t run) {
  Rng r{seed};
  r.s = r.next() ^ (run * 0xD1B54A32D192ED03ull);
  r.next();
  const bool hostile = r.percent(25);
  Toml t;
  // The n-th calls of one kind that fail: a few small numbers.
  auto someCalls = [&](const char* key, int64_t most) {
    std::vector<int64_t> v;
    for (int c = int(r.range(1, 3)); c > 0; c--) v.push_back(r.range(1, most));
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    t.nums(key, v);
  };
  t.s = "# Explorer world: seed " + std::to_string(seed) + ", run " + std::to_string(run) +
        (hostile ? " (hostile)" : "") + "\n";
  clock(t, r, hostile);

  // ---- radio networks (decided first: the other parts refer to them)
  std::vector<Net> nets;
  std::set<std::string> bssids;
  int count = r.percent(4) ? 0 : int(r.range(1, hostile ? 9 : 6));
  // Now and then a long run: many networks to try, enough text to fill the
  // console so that it has to drop its oldest lines.
  const bool longRun = r.percent(6);
  if (longRun) count = int(r.range(10, 18));
  for (int i = 0; i < count; i++) {
    Net n;
    do {
      for (uint8_t& b : n.bssid) b = uint8_t(r.next());
      n.bssid[0] &= 0xFE;
    } while (!bssids.insert(hexBssid(n.bssid, ':', false)).second);
    n.ssid = !nets.empty() && r.percent(8) ? nets[size_t(r.range(0, int64_t(nets.size()) - 1))].ssid
                                           : ssidText(r);
    nets.push_back(n);
  }

  // ---- system
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
  if (r.percent(50)) {
    t.num("preempt", r.range(10, 90));
    t.num("preempt_seed", int64_t(r.next() >> 1));
  }
  const bool noTemp = r.percent(4);
  if (noTemp) t.flag("temp_folder", false);
  bool workerMayFail = false;
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
    t.nums("fail_thread_starts", v);
  }
  if (hostile && r.percent(15)) someCalls("fail_allocations", 120);
  if (hostile && r.percent(5)) someCalls("fail_file_opens", 2);
  if (hostile && r.percent(8)) someCalls("fail_text_conversions", 40);
  if (hostile && r.percent(8)) someCalls("fail_file_times", 10);
  // Messages for release errors; one with characters the code page lacks.
  const int64_t releaseCodes[] = {5, 87, 1231, 2202};
  bool messages = r.percent(60);
  if (messages) {
    t.table("system.messages");
    t.str("5", "Access is denied.\r\n");
    t.str("1231", "The network location cannot be reached.");
    if (r.percent(30)) t.str("87", "Param\xC3\xA8tre incorrect \xE2\x80\x93 \xF0\x9F\x93\xB6");
  }

  // ---- driver
  t.table("driver");
  if (r.percent(3)) t.flag("opens", false);
  std::string nicName = r.pick({"WLAGN1", "TIACXWLN1", "AR6K_SD1", "BCMSDDHD1", "NETWLAN"});
  if (r.percent(20)) nicName += std::to_string(r.range(0, 9));
  if (hostile && r.percent(5)) nicName = std::string(size_t(r.range(70, 90)), 'W');
  if (hostile && r.percent(4))
    nicName += r.pick({"\xC3\xA9", "\xCE\xA9"});  // beyond ASCII, beyond the code page
  bool wlanBinding = !r.percent(4);
  int64_t index = 0;
  if (r.percent(40)) {
    t.array("driver.binding");
    t.num("index", index++);
    t.str("name", "PCI\\ETHMAN1");
    t.str("description", "Ethernet");
  }
  if (hostile && r.percent(10)) {
    t.array("driver.binding");
    t.num("index", index++);
    t.str("name", "OLDWLAN");
    t.flag("wlan", true);
    t.flag("query_fails", true);
    if (r.percent(50)) t.num("query_error", 31);
  }
  if (wlanBinding) {
    t.array("driver.binding");
    t.num("index", index++);
    t.str("name", nicName);
    t.str("description", "802.11 adapter");
    t.flag("wlan", true);
    if (hostile && r.percent(6)) t.num("name_length", r.pick<int64_t>({0, 1, 3, 500, 4096, 70000}));
    if (hostile && r.percent(6)) t.num("name_offset", r.pick<int64_t>({0, 8, 19, 21, 1000, 5000}));
  }

  // ---- radio
  t.table("radio");
  int associated = !nets.empty() && r.percent(35) ? int(r.range(0, int64_t(nets.size()) - 1)) : -1;
  if (associated >= 0) t.str("associated", hexBssid(nets[size_t(associated)].bssid, ':', false));
  if (hostile && r.percent(10)) t.num("bssid_error", 0);
  if (hostile && r.percent(4)) t.num("number_of_items", r.range(0, 50));
  for (size_t i = 0; i < nets.size(); i++) {
    Net& n = nets[i];
    t.array("radio.network");
    int64_t rssi = r.range(-88, -35);
    bool weak = r.percent(8);
    if (weak) rssi = r.range(-100, -90);
    bool privacy = r.percent(hostile ? 30 : 20);
    int mode = r.percent(88) ? 0 : int(r.range(1, 2));  // infrastructure, ibss, auto
    n.joins = !r.percent(hostile ? 25 : 12);
    n.reachesIp = !weak && !privacy && mode != 1 && n.joins;
    // Raw SSID bytes (code page characters, a NUL) only for networks that
    // never get an address: the [ip] side names networks by text.
    if (!n.reachesIp && r.percent(15)) {
      for (int k = int(r.range(1, 12)); k > 0; k--) {
        int64_t b = r.pick<int64_t>({0x00, 0xE9, 0xFC, 0xA0, 0xFF, 0x41, 0x7E, 0x80});
        n.rawSsid.push_back(b);
      }
      t.nums("ssid_bytes", n.rawSsid);
    } else {
      t.str("ssid", n.ssid);
    }
    t.str("bssid", hexBssid(n.bssid, r.pick({':', '-'}), r.percent(20)));
    if (!weak && r.percent(5)) {
      t.num("rssi", rssi);
      t.flag("rssi_upper_half", true);
    } else if (hostile && r.percent(4)) {
      t.num("rssi", r.pick<int64_t>({-30000, -30001, 0, 2147483647, -2147483647 - 1}));
    } else {
      t.num("rssi", rssi);
    }
    if (hostile && r.percent(6)) {
      t.num("ds_config", r.pick<int64_t>({0, 19, 20, 24119, 2412000, 4294967295LL,
                                          int64_t(r.next() & 0xFFFFFFFF)}));
    } else if (r.percent(6)) {
      t.num("channel", r.pick<int64_t>({14, 36, 40, 149, 165}));
    } else {
      t.num("channel", r.range(1, 13));
      if (r.percent(10)) t.str("ds_unit", r.pick({"100khz", "number"}));
    }
    if (privacy)
      t.num("privacy", hostile && r.percent(20) ? int64_t(r.next() & 0xFFFFFFFF) | 1 : 1);
    if (mode) t.str("mode", mode == 1 ? "ibss" : "auto");
    if (r.percent(10)) t.num("extra_bytes", r.range(1, 200));
    if (hostile && r.percent(3)) t.num("length", r.pick<int64_t>({0, 50, 103, 400}));
    // Off the scan list, now and then the very network the adapter is on.
    if (r.percent(int(i) == associated ? 20 : 3)) t.flag("listed", false);
    if (!n.joins) {
      t.flag("joins", false);
    } else {
      t.num("join_polls", r.percent(8) ? r.range(5, 12) : r.range(0, 4));
    }
    // A crowded list: copies that cannot take the node loop far.
    if (hostile && r.percent(3) && !n.reachesIp) t.num("repeat", r.range(5, 40));
  }
  if (hostile && r.percent(35)) {
    for (int k = int(r.range(1, 2)); k > 0; k--) {
      t.array("radio.refuse");
      t.str("oid", r.pick({"BSSID_LIST_SCAN", "BSSID_LIST", "BSSID", "SSID", "INFRASTRUCTURE_MODE",
                           "AUTHENTICATION_MODE", "DISASSOCIATE"}));
      if (!r.percent(15)) {
        std::vector<int64_t> calls;
        for (int c = int(r.range(1, 3)); c > 0; c--) calls.push_back(r.range(1, 6));
        std::sort(calls.begin(), calls.end());
        calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
        t.nums("calls", calls);
      }
      if (r.percent(30)) t.num("error", r.pick<int64_t>({0, 5, 87}));
    }
  }

  // ---- IP: one network (by SSID) at most cannot be repaired by renewals.
  struct IpNet {
    std::string ssid;
    Subnet subnet;
    bool sweep = false;
    bool unknown = false;
  };
  std::vector<IpNet> ipNets;
  for (const Net& n : nets) {
    if (!n.rawSsid.empty()) continue;
    bool seen = false;
    for (const IpNet& x : ipNets) seen = seen || x.ssid == n.ssid;
    if (seen) continue;
    ipNets.push_back({n.ssid, privateSubnet(r), false});
  }
  bool sweepWorld = !ipNets.empty() && r.percent(hostile ? 20 : 12);
  if (sweepWorld) {
    IpNet& x = ipNets[size_t(r.range(0, int64_t(ipNets.size()) - 1))];
    x.sweep = true;
    x.unknown = r.percent(25);  // the [ip] side does not know it: no DHCP answer at all
  }
  int reaching = 0;  // networks that may get as far as addressing
  for (const Net& n : nets) reaching += n.reachesIp;

  t.table("ip");
  t.strs("dns", {"10.20.0.1"});
  if (hostile) {
    if (r.percent(10)) someCalls("fail_adapters_info", 20);
    if (r.percent(10)) someCalls("fail_network_params", 20);
    if (sweepWorld && r.percent(10)) someCalls("fail_forward_table", 2);
    if (r.percent(10)) someCalls("fail_add_address", 2);
    if (r.percent(10)) someCalls("fail_delete_address", 4);
    // Without the index no renewal happens, so every bad address is swept.
    if (reaching <= 2 && r.percent(4)) t.flag("adapter_index_fails", true);
    if (r.percent(4)) t.flag("icmp_create_fails", true);
    if (r.percent(10)) {
      someCalls("fail_echo", 30);
      if (r.percent(50)) t.num("echo_error", 11010);
    }
    if (r.percent(10)) someCalls("fail_host_by_name", 5);
    if (r.percent(10)) someCalls("fail_host_by_addr", 200);
  }
  if (r.percent(40)) {
    t.array("ip.adapter");
    t.str("name", "PCI\\ETHMAN1");
    t.str("description", "Ethernet");
    t.num("index", 1);
    t.flag("dhcp", false);
    t.strs("gateways", {"10.20.0.1"});
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
      if (r.percent(10)) t.num("context", 3);
    }
  }

  for (const IpNet& x : ipNets) {
    if (x.unknown) continue;
    t.array("ip.network");
    t.str("ssid", x.ssid);
    const Subnet& s = x.subnet;
    std::string gateway = dotted(s.host(1));
    int lease = x.sweep ? int(r.range(1, 3)) : (r.percent(65) ? 0 : int(r.range(1, 3)));
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
    if (lease != 3) {
      t.str("dhcp_server", gateway);
      t.num("lease_obtained", hostile && r.percent(20) ? r.range(-2147483647 - 1, 2147483647)
                                                       : r.range(946684800, 2000000000));
    }
    t.str("subnet", s.text());
    if (r.percent(30))
      t.strs("dns", {gateway, "1.1.1.1", dotted(s.host(2))});
    else
      t.strs("dns", {gateway});
    if (r.percent(10))
      t.num("release_error",
            r.pick({releaseCodes[0], releaseCodes[1], releaseCodes[2], releaseCodes[3]}));

    // Renewals: the sweep's network never gets a good address; any other
    // gets one at the latest on the second try.
    if (x.sweep) {
      for (int k = int(r.range(1, 2)); k > 0; k--) {
        t.array("ip.network.renewal");
        switch (r.range(0, 3)) {
          case 0:
            t.str("result", "apipa");
            t.num("poll", r.range(1, 8));
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
            break;
        }
      }
    } else if (lease != 0 || r.percent(50)) {
      if (r.percent(40)) {
        t.array("ip.network.renewal");
        t.str("result", r.pick({"apipa", "nothing", "refused"}));
      }
      t.array("ip.network.renewal");
      t.str("result", "valid");
      t.num("poll", r.range(1, 8));
      t.str("address", dotted(s.host(uint32_t(r.range(2, 254)))));
      t.str("mask", s.mask());
      t.str("gateway", gateway);
    }

    // The internet test's host, the name the DNS test resolves and its host.
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
    // Hosts the sweep can find (any network: a later sweep elsewhere
    // finds none of them).
    if (x.sweep || r.percent(10)) {
      // A crowded subnet answers from hundreds of addresses: the probes'
      // lines alone fill the console.
      int64_t answering = !x.sweep        ? r.range(0, 4)
                          : r.percent(20) ? r.range(50, 400)
                                          : r.range(1, 4);
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
            t.str("address", "192.168." + std::to_string(at < 16 ? at : 224 + at) + "." +
                                 std::to_string(host));
            t.num("rtt", rtt - n);
          }
        }
      }
    }
  }
  if (hostile && r.percent(sweepWorld ? 25 : 5)) {
    t.array("ip.route");
    t.str("next_hop", "10.20.0.254");
    t.num("if_index", 1);
    t.flag("delete_fails", true);
  }

  // ---- the user
  t.table("ui");
  bool windowFails = false;
  if (r.percent(2)) {
    t.flag("register_fails", true);
    windowFails = true;
  } else if (r.percent(2)) {
    t.flag("create_fails", true);
    windowFails = true;
  }
  if (r.percent(45)) {
    int64_t at = 0;
    bool first = true;
    for (int k = int(r.range(1, 5)); k > 0; k--) {
      at += r.range(0, 25000);
      int64_t x = 0, y = 0;
      auto inBox = [&] {
        x = r.range(210, 219);
        y = r.percent(50) ? r.range(0, 9) : r.range(229, 238);
      };
      auto outside = [&] {
        do {
          x = r.range(0, 230);
          y = r.range(0, 250);
        } while (x >= 210 && x < 220 && (y < 10 || (y >= 229 && y < 239)));
      };
      // A press at (x, y) now, and its release up to `hold` ms later; the
      // caller then sets where the release lands.
      auto pressThenRelease = [&](int64_t hold) {
        t.str("action", "press");
        t.num("x", x);
        t.num("y", y);
        t.array("ui.event");
        at += r.range(0, hold);
        t.num("at", at);
        t.str("action", "release");
      };
      t.array("ui.event");
      if (first && !windowFails && !workerMayFail && r.percent(8)) {
        // Wait for text every run prints first: the step happens inside a paint.
        t.str("shown", r.pick({"Olvash Quorvelta V0.18",
                               "======================", "-Searching for NDIS WLAN NIC"}));
        at = 0;
      }
      first = false;
      t.num("at", at);
      int64_t roll = r.range(0, 99);
      bool ends = false;
      if (roll < 40) {  // scroll by a tap on a box
        inBox();
        t.str("action", "tap");
      } else if (roll < 60) {  // hold a box, then lift inside it or elsewhere
        inBox();
        pressThenRelease(3000);
        if (r.percent(25)) {
          outside();
          ends = true;
        }
      } else if (roll < 66) {  // press elsewhere, lift on a box: no exit
        outside();
        pressThenRelease(500);
        inBox();
      } else if (roll < 74) {
        t.str("action", "timer");
        t.num("id", r.percent(70) ? 746 : r.range(0, 1000));
      } else if (roll < 84) {
        t.str("action", "start");
      } else if (roll < 90) {
        t.str("action", "close");
        ends = true;
      } else if (roll < 92) {
        t.str("action", "message_error");  // the message loop ends at once
        ends = true;
      } else {
        outside();
        t.str("action", "tap");
        ends = true;
      }
      if (roll < 66 || roll >= 92) {
        t.num("x", x);
        t.num("y", y);
      }
      if (ends) break;
    }
  }
  return t.s;
}

}  // namespace sim
