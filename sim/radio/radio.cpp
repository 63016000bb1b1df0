// The radio: scanning, the scan list and association.
//
// Association runs on virtual time. An accepted SSID request drops the
// network the adapter is on and starts a join to the first network of the
// world with that SSID (listed or not). A join whose network has
// join_polls = k holds from 2000 * k - 1000 ms after the request (k = 0: at
// once): a caller that polls every 2000 ms after the request sees it first
// at its k-th poll. A network that never joins, or an SSID no network has,
// leaves the adapter on no network.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/assert.h"
#include "radio/driver.h"
#include "radio/radio_link.h"

namespace sim {
namespace {

constexpr uint64_t POLL_MS = 2000;

// A due join completes before anyone looks at the adapter. The adapter is
// on, and joins, networks of the world only.
void settle() {
  RadioWorld& w = world.radio;
  const int networks = int(w.networks.size());
  QV_ASSERT(w.associated >= -1 && w.associated < networks, "the adapter is on a known network");
  QV_ASSERT(w.joining >= -1 && w.joining < networks, "a join is to a known network");
  if (w.joining >= 0 && now() >= w.joinAt) {
    w.associated = w.joining;
    w.joining = -1;
    w.joins++;
    w.joinedAt = w.joinAt;
  }
}

std::string bssidText(const uint8_t* b) {
  char t[18];
  std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
  return t;
}

// 8-bit text (SSID bytes) for the trace, byte for byte as ISO 8859-1.
std::string latin1(const uint8_t* bytes, size_t n) {
  std::u16string w;
  for (size_t i = 0; i < n; i++) w += char16_t(bytes[i]);
  return utf8(w);
}

// When, after a scan request, the scan reaches a network's channel: the
// 2.4 GHz band (2412-2484 MHz) in frequency order over the first half of
// the scan, the 5 GHz band (5150-5850 MHz) over the second; a DSConfig in
// neither (a driver's odd unit) is reached at the scan's end.
uint64_t scanReaches(const RadioNetwork& n, uint32_t scanMs) {
  const uint64_t f = n.dsConfig, half = scanMs / 2;
  if (f >= 2412000 && f <= 2484000) return half * (f - 2412000 + 1000) / (2484000 - 2412000 + 1000);
  if (f >= 5150000 && f <= 5850000) return half + half * (f - 5150000) / (5850000 - 5150000);
  return scanMs;
}

// The scan list as the driver builds it: every listed network the scan has
// reached (before the first scan request, the driver's list holds them
// all), each record its published size plus its extra bytes long.
std::vector<uint8_t> scanList(uint32_t& listed) {
  const RadioWorld& w = world.radio;
  std::vector<uint8_t> list(plat::BSSID_LIST_HEADER, 0);
  listed = 0;
  for (const RadioNetwork& n : w.networks) {
    if (!n.listed) continue;
    if (w.scanning && now() < w.scanAt + scanReaches(n, w.scanMs)) continue;
    listed++;
    plat::NDIS_WLAN_BSSID r{};
    size_t size = sizeof r + n.extraBytes;
    r.Length = plat::ULONG(n.length >= 0 ? uint64_t(n.length) : size);
    std::memcpy(r.MacAddress, n.bssid, 6);
    size_t ssidBytes = std::min(n.ssid.size(), sizeof r.Ssid.Ssid);
    r.Ssid.SsidLength = plat::ULONG(n.ssidLength >= 0 ? uint64_t(n.ssidLength) : ssidBytes);
    std::memcpy(r.Ssid.Ssid, n.ssid.data(), ssidBytes);
    r.Privacy = n.privacy;
    r.Rssi = n.rssi;
    r.NetworkTypeInUse = 1;  // Ndis802_11DS
    r.Configuration.Length = sizeof r.Configuration;
    r.Configuration.BeaconPeriod = 100;
    r.Configuration.DSConfig = n.dsConfig;
    r.InfrastructureMode = n.mode;
    const uint8_t rates[8] = {0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24};
    std::memcpy(r.SupportedRates, rates, sizeof rates);
    size_t at = list.size();
    list.resize(at + size, 0xEE);  // the extra bytes: stand-ins for information elements
    std::memcpy(list.data() + at, &r, sizeof r);
  }
  plat::ULONG items = plat::ULONG(w.numberOfItems >= 0 ? uint64_t(w.numberOfItems) : listed);
  std::memcpy(list.data(), &items, sizeof items);
  return list;
}

// Fills a list query's reply. A list larger than the room is refused the
// way a conforming miniport refuses it (NDIS_STATUS_BUFFER_TOO_SHORT with
// BytesNeeded, which the user-mode I/O driver hands on as a failed
// DeviceIoControl with ERROR_INSUFFICIENT_BUFFER and the request's whole
// size as bytes returned), writing nothing; with cut_list the driver is a
// careless one instead: it cuts the list, the record that straddles the end
// arriving in part, and reports success.
bool listReply(OidRequest& r) {
  uint32_t listed = 0;
  std::vector<uint8_t> list = scanList(listed);
  plat::ULONG items;
  std::memcpy(&items, list.data(), sizeof items);
  r.detail.emplace_back("items", unsigned(items));
  r.detail.emplace_back("bytes", unsigned(list.size()));
  if (list.size() > r.dataBytes && !world.radio.cutList) {
    r.detail.emplace_back("needed", unsigned(plat::OID_DATA_OFFSET + list.size()));
    r.error = plat::ERROR_INSUFFICIENT_BUFFER;
    r.needed = list.size();
    return false;
  }
  std::memcpy(r.data, list.data(), std::min(list.size(), r.dataBytes));
  if (list.size() > r.dataBytes) r.detail.emplace_back("cut", true);
  return true;
}

bool bssidReply(OidRequest& r) {
  settle();
  const RadioWorld& w = world.radio;
  if (w.associated < 0) {
    r.error = w.bssidError;
    return false;
  }
  if (r.dataBytes < 6) {
    r.error = plat::ERROR_INSUFFICIENT_BUFFER;
    return false;
  }
  const uint8_t* b = w.networks[size_t(w.associated)].bssid;
  std::memcpy(r.data, b, 6);
  r.detail.emplace_back("bssid", bssidText(b));
  return true;
}

bool ssidRequest(OidRequest& r, bool refused) {
  plat::NDIS_802_11_SSID s;
  if (r.dataBytes < sizeof s) {
    r.error = plat::ERROR_INVALID_PARAMETER;
    return false;
  }
  std::memcpy(&s, r.data, sizeof s);
  r.detail.emplace_back("ssid_length", unsigned(s.SsidLength));
  if (s.SsidLength > sizeof s.Ssid) {
    r.error = plat::ERROR_INVALID_PARAMETER;
    return false;
  }
  std::string ssid(reinterpret_cast<const char*>(s.Ssid), s.SsidLength);
  r.detail.emplace_back("ssid", latin1(s.Ssid, s.SsidLength));
  if (refused) return false;
  RadioWorld& w = world.radio;
  settle();
  w.associated = -1;
  w.joining = -1;
  for (size_t i = 0; i < w.networks.size(); i++) {
    const RadioNetwork& n = w.networks[i];
    if (n.ssid != ssid) continue;
    if (n.joins) {
      w.joining = int(i);
      w.joinAt = now() + (n.joinPolls ? POLL_MS * n.joinPolls - POLL_MS / 2 : 0);
      r.detail.emplace_back("joins", bssidText(n.bssid));
    }
    break;
  }
  return true;
}

bool ulongSet(OidRequest& r) {
  plat::ULONG v;
  if (r.dataBytes < sizeof v) {
    r.error = plat::ERROR_INVALID_PARAMETER;
    return false;
  }
  std::memcpy(&v, r.data, sizeof v);
  r.detail.emplace_back("value", unsigned(v));
  return true;
}

}  // namespace

bool radioOid(const Binding&, OidRequest& r) {
  // Requests are counted per OID over the whole run.
  const Fault* refusal = nextCallFails(FaultCall::Oid, r.oid);
  bool known = true;
  bool ok = false;
  // A refused query still writes its reply (the list, the BSSID): a caller
  // that reads a refused reply gets what a careless driver leaves there.
  switch (r.oid) {
    case plat::OID_802_11_BSSID_LIST_SCAN:
      known = r.set;
      ok = known;
      // A new scan starts the list afresh; a refused one changes nothing.
      if (known && !refusal) {
        world.radio.scanning = true;
        world.radio.scanAt = now();
      }
      break;
    case plat::OID_802_11_BSSID_LIST:
      known = !r.set;
      ok = known && listReply(r);
      break;
    case plat::OID_802_11_BSSID:
      known = !r.set;
      ok = known && bssidReply(r);
      break;
    case plat::OID_802_11_SSID:
      known = r.set;
      ok = known && ssidRequest(r, refusal != nullptr);
      break;
    case plat::OID_802_11_INFRASTRUCTURE_MODE:
    case plat::OID_802_11_AUTHENTICATION_MODE:
      known = r.set;
      ok = known && ulongSet(r);
      break;
    case plat::OID_802_11_DISASSOCIATE:
      known = r.set;
      if (known && !refusal) {
        settle();
        world.radio.associated = -1;
        world.radio.joining = -1;
      }
      ok = known;
      break;
    default:
      known = false;
      break;
  }
  if (!known) r.error = plat::ERROR_NOT_SUPPORTED;
  if (refusal) {
    r.error = refusal->answer;
    r.needed = 0;
    r.detail.emplace_back("refused", true);
    return false;
  }
  return ok;
}

int associatedNetwork() {
  settle();
  return world.radio.associated;
}

const std::string* associatedSsid() {
  int i = associatedNetwork();
  return i >= 0 ? &world.radio.networks[size_t(i)].ssid : nullptr;
}

uint64_t joinCount() {
  settle();
  return world.radio.joins;
}

uint64_t lastJoinAt() {
  settle();
  return world.radio.joinedAt;
}

}  // namespace sim
