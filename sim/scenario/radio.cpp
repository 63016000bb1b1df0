// The [driver] table (the bindings) and the [radio] table: the networks,
// the adapter's association and injected refusals. docs/scenarios.md
// documents every key.
#include <cstring>
#include <unordered_set>

#include "scenario/scenario.h"

namespace sim {
namespace {

constexpr int64_t U32 = UINT32_MAX;
// The most bindings and networks (copies of repeat included) a scenario may
// have: far beyond what a device holds (the scan reply carries 39 records).
constexpr size_t MAX_BINDINGS = 256;
constexpr size_t MAX_NETWORKS = 4096;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Six two-digit hex bytes, separated by ':', '-' or '.'.
bool parseBssid(const std::string& t, uint8_t out[6]) {
  if (t.size() != 17) return false;
  for (int i = 0; i < 6; i++) {
    int hi = hexDigit(t[size_t(i) * 3]), lo = hexDigit(t[size_t(i) * 3 + 1]);
    if (hi < 0 || lo < 0) return false;
    if (i < 5 && std::strchr(":-.", t[size_t(i) * 3 + 2]) == nullptr) return false;
    out[i] = uint8_t(hi * 16 + lo);
  }
  return true;
}

void bssidPlus(const uint8_t in[6], uint64_t add, uint8_t out[6]) {
  uint64_t v = 0;
  for (int i = 0; i < 6; i++) v = (v << 8) | in[i];
  v += add;
  for (int i = 5; i >= 0; i--, v >>= 8) out[i] = uint8_t(v);
}

// The centre frequency of a channel in kHz: 2.4 GHz channels 1..14 and the
// 5 GHz channels 32..196; 0 for anything else.
uint32_t channelKhz(int64_t ch) {
  if (ch >= 1 && ch <= 13) return uint32_t(2407000 + 5000 * ch);
  if (ch == 14) return 2484000;
  if (ch >= 32 && ch <= 196) return uint32_t(5000000 + 5000 * ch);
  return 0;
}

void loadRadioSsid(Section& n, RadioNetwork& x) {
  x.ssid = loadSsid(n);
  x.ssidLength = n.integer("ssid_length", -1, 0, U32);
}

void loadChannel(Section& n, RadioNetwork& x) {
  if (n.has("channel") && n.has("ds_config"))
    n.fail("ds_config", "give channel or ds_config, not both");
  if (n.has("ds_unit") && !n.has("channel")) n.fail("ds_unit", "needs channel");
  std::string unit = n.text("ds_unit", "khz");
  if (unit != "khz" && unit != "100khz" && unit != "number")
    n.fail("ds_unit", "must be \"khz\", \"100khz\" or \"number\"");
  if (n.has("channel")) {
    int64_t ch = n.integer("channel", 6, 0, 1000);
    if (unit == "number") {
      x.dsConfig = uint32_t(ch);
    } else if (uint32_t khz = channelKhz(ch)) {
      x.dsConfig = unit == "khz" ? khz : khz / 100;
    } else {
      n.fail("channel", "must be 1..14 or 32..196 (any number with ds_unit = \"number\")");
    }
  }
  x.dsConfig = uint32_t(n.integer("ds_config", x.dsConfig, 0, U32));
}

void loadNetwork(Section& n, RadioWorld& w) {
  RadioNetwork x;
  loadRadioSsid(n, x);
  uint8_t bssid[6] = {0x02, 0, 0, 0, 0, 0};
  bssidPlus(bssid, w.networks.size() + 1, bssid);
  if (n.has("bssid") && !parseBssid(n.text("bssid", ""), bssid))
    n.fail("bssid", "must be six hex bytes like 00:1a:2b:3c:4d:5e");
  x.rssi = int32_t(n.integer("rssi", -60, INT32_MIN, INT32_MAX));
  if (n.boolean("rssi_upper_half", false)) {
    if (x.rssi < -32768 || x.rssi > 32767)
      n.fail("rssi", "must lie in -32768..32767 with rssi_upper_half");
    else
      x.rssi = int32_t(uint32_t(x.rssi) << 16);
  }
  loadChannel(n, x);
  x.privacy = uint32_t(n.integer("privacy", 0, 0, U32));
  std::string mode = n.text("mode", "infrastructure");
  if (mode == "infrastructure")
    x.mode = plat::Ndis802_11Infrastructure;
  else if (mode == "ibss")
    x.mode = plat::Ndis802_11IBSS;
  else if (mode == "auto")
    x.mode = plat::Ndis802_11AutoUnknown;
  else
    n.fail("mode", "must be \"infrastructure\", \"ibss\" or \"auto\"");
  x.extraBytes = uint32_t(n.integer("extra_bytes", 0, 0, 4096));
  x.length = n.integer("length", -1, 0, U32);
  x.listed = n.boolean("listed", true);
  x.joins = n.boolean("joins", true);
  if (!x.joins && n.has("join_polls")) n.fail("join_polls", "is for a network that joins");
  x.joinPolls = uint32_t(n.integer("join_polls", 1, 0, 1000));
  int64_t repeat = n.integer("repeat", 1, 1, 256);
  n.done();
  for (int64_t k = 0; k < repeat; k++) {
    bssidPlus(bssid, uint64_t(k), x.bssid);
    w.networks.push_back(x);
  }
}

// A refusal: the listed requests of one OID (all of them when none is
// listed) fail with its error.
void loadRefusal(Section& f, std::vector<Fault>& faults) {
  std::string name = f.text("oid", "");
  uint32_t oid = 0;
  bool found = false;
  for (const OidName& o : REFUSABLE_OIDS) {
    if (name == o.name) {
      oid = o.oid;
      found = true;
    }
  }
  if (!found)
    f.fail("oid",
           "must be one of BSSID_LIST_SCAN, BSSID_LIST, BSSID, SSID, "
           "INFRASTRUCTURE_MODE, AUTHENTICATION_MODE, DISASSOCIATE");
  std::vector<int64_t> calls = f.integers("calls", 1, U32);
  uint32_t error = uint32_t(f.integer("error", faultKind(FaultCall::Oid).answer, 0, U32));
  f.done();
  if (found) addFaults(faults, FaultCall::Oid, oid, calls, error);
}

}  // namespace

void loadDriver(Section& s, DriverWorld& w, std::vector<Fault>& faults) {
  bool opens = s.boolean("opens", true);
  w.openError = uint32_t(s.integer("open_error", 2, 0, UINT32_MAX));
  if (!opens) addFaults(faults, FaultCall::DriverOpen, 0, {}, w.openError);
  std::unordered_set<uint32_t> indexes;  // one pass: 64k bindings must not take seconds
  for (Section& b : s.tables("binding", MAX_BINDINGS)) {
    Binding x;
    x.index = uint32_t(b.integer("index", int64_t(w.bindings.size()), 0, UINT32_MAX));
    x.deviceName = b.wideText("name", u"");
    x.description = b.wideText("description", u"");
    bool queryFails = b.boolean("query_fails", false);
    uint32_t queryError = uint32_t(
        b.integer("query_error", faultKind(FaultCall::BindingQuery).answer, 0, UINT32_MAX));
    if (queryFails) addFaults(faults, FaultCall::BindingQuery, x.index, {}, queryError);
    x.acceptsScan = b.boolean("wlan", false);
    x.nameLength = b.integer("name_length", -1, -1, UINT32_MAX);
    x.nameOffset = b.integer("name_offset", -1, -1, UINT32_MAX);
    if (!indexes.insert(x.index).second)
      b.fail("index", "two bindings with index " + std::to_string(x.index));
    b.done();
    w.bindings.push_back(x);
  }
  s.done();
}

void loadRadio(Section& s, RadioWorld& w, std::vector<Fault>& faults) {
  for (Section& n : s.tables("network")) {
    loadNetwork(n, w);
    if (w.networks.size() > MAX_NETWORKS) {
      n.fail("repeat", "makes more than " + std::to_string(MAX_NETWORKS) +
                           " networks in all, more than a scenario may have");
      w.networks.resize(MAX_NETWORKS);
      break;
    }
  }
  for (Section& f : s.tables("refuse")) loadRefusal(f, faults);
  w.numberOfItems = s.integer("number_of_items", -1, 0, U32);
  w.bssidError = uint32_t(s.integer("bssid_error", plat::ERROR_GEN_FAILURE, 0, U32));
  w.cutList = s.boolean("cut_list", false);
  w.scanMs = uint32_t(s.integer("scan_ms", w.scanMs, 0, 600000));
  if (s.has("associated")) {
    uint8_t b[6];
    if (!parseBssid(s.text("associated", ""), b)) {
      s.fail("associated", "must be six hex bytes like 00:1a:2b:3c:4d:5e");
    } else {
      for (size_t i = 0; i < w.networks.size() && w.associated < 0; i++)
        if (std::memcmp(w.networks[i].bssid, b, 6) == 0) w.associated = int(i);
      if (w.associated < 0)
        s.fail("associated",
               "names no [[radio.network]] (one off the scan list has listed = false)");
    }
  }
  s.done();
}

}  // namespace sim
