// The explorer's worlds: the radio's networks, the [driver] bindings and
// the [radio] records.
#include <algorithm>
#include <set>

#include "explore/world.h"

namespace sim::worlds {

void radioNetworks(Draft& d) {
  Rng& r = d.r;
  const bool hostile = d.hostile;
  std::vector<Net>& nets = d.nets;
  std::set<std::string> bssids;
  int count = r.percent(4) ? 0 : int(r.range(1, hostile ? 9 : 6));
  // Now and then a long run: many networks to try, enough text to fill the
  // console so that it has to drop its oldest lines.
  d.longRun = r.percent(6);
  if (d.longRun) count = int(r.range(10, 18));
  for (int i = 0; i < count; i++) {
    Net n;
    do {
      for (uint8_t& b : n.bssid) b = uint8_t(r.next());
      n.bssid[0] &= 0xFE;
    } while (!bssids.insert(hexBssid(n.bssid, ':', false)).second);
    n.ssid = !nets.empty() && r.percent(8) ? nets[size_t(r.range(0, int64_t(nets.size()) - 1))].ssid
                                           : ssidText(r);
    // Now and then a character beyond ASCII, one byte on the air: the IP
    // side must find the network by the same bytes.
    // Only into an SSID of ASCII, so that the insertion and the cut land
    // between characters (a copied SSID may hold one already).
    bool ascii = true;
    for (char c : n.ssid) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (!n.ssid.empty() && d.more.percent(6) && ascii) {
      if (n.ssid.size() > 31) n.ssid.resize(31);
      n.ssid.insert(size_t(d.more.range(0, int64_t(n.ssid.size()))),
                    d.more.pick({"\xC3\xA9", "\xC3\xBC", "\xC3\x9F", "\xC3\xB1", "\xC3\x98"}));
    }
    nets.push_back(n);
  }
}

void driverSection(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  t.table("driver");
  if (r.percent(3)) t.flag("opens", false);
  std::string& nicName = d.nicName;
  nicName = r.pick({"WLAGN1", "TIACXWLN1", "AR6K_SD1", "BCMSDDHD1", "NETWLAN"});
  if (r.percent(20)) nicName += std::to_string(r.range(0, 9));
  if (hostile && r.percent(5)) nicName = std::string(size_t(r.range(70, 90)), 'W');
  // Long device names: the most the NIC name holds (79), just past it, and
  // up to the most the driver side holds (257).
  Rng& more = d.more;
  if (more.percent(hostile ? 8 : 2))
    nicName = std::string(
        size_t(more.percent(50) ? more.pick<int64_t>({79, 80, 257}) : more.range(70, 257)), 'W');
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
    d.everyCall(FaultCall::BindingQuery);
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
}

void radioSection(Draft& d) {
  Rng& r = d.r;
  Toml& t = d.t;
  const bool hostile = d.hostile;
  std::vector<Net>& nets = d.nets;
  t.table("radio");
  d.timing = Rng{d.more.s ^ 0x9E3779B97F4A7C15ull};
  d.timing.next();
  // A scan that takes longer than the program waits for it, now and then.
  if (d.timing.percent(15)) t.num("scan_ms", d.timing.range(200, 6000));
  int& associated = d.associated;
  associated = !nets.empty() && r.percent(35) ? int(r.range(0, int64_t(nets.size()) - 1)) : -1;
  if (associated >= 0) t.str("associated", hexBssid(nets[size_t(associated)].bssid, ':', false));
  if (hostile && r.percent(10)) t.num("bssid_error", 0);
  if (hostile && r.percent(4)) t.num("number_of_items", r.range(0, 50));
  // A careless driver that cuts a list too large for the request and says
  // it succeeded (crowded lists and large records then arrive in part).
  if (d.more.percent(hostile ? 30 : 4)) t.flag("cut_list", true);
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
    if (r.percent(10))
      t.num("extra_bytes", r.range(1, 200));
    else if (d.more.percent(4))  // large records: the list may not fit the request
      t.num("extra_bytes", d.more.range(1200, 3000));
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
      const FaultKind& refuse = faultKind(FaultCall::Oid);
      t.array(std::string(refuse.section) + "." + refuse.key);
      constexpr size_t OIDS = sizeof REFUSABLE_OIDS / sizeof REFUSABLE_OIDS[0];
      t.str("oid", REFUSABLE_OIDS[r.next() % OIDS].name);
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
}

}  // namespace sim::worlds
