// Random worlds for the explorer, written as scenario text. Most worlds are
// reasonable (a WLAN adapter, open networks that join, DHCP that works or can
// be repaired, hosts that answer) so that runs reach deep into the node
// loop; some are hostile (refusals, failing calls, odd records, a user who
// closes the window). Each world is kept small: at most one network whose
// addressing cannot be repaired, since every subnet sweep costs real
// threads.
#include <algorithm>
#include <cstdio>

#include "explore/explore.h"
#include "explore/world.h"
#include "harness/text.h"

namespace sim {
namespace worlds {

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

std::string hexBssid(const uint8_t b[6], char sep, bool upper) {
  char t[24];
  std::snprintf(t, sizeof t,
                upper ? "%02X%c%02X%c%02X%c%02X%c%02X%c%02X" : "%02x%c%02x%c%02x%c%02x%c%02x%c%02x",
                b[0], sep, b[1], sep, b[2], sep, b[3], sep, b[4], sep, b[5]);
  return t;
}

int sweepHost(Rng& r) { return r.percent(50) ? int(r.range(1, 15)) : int(r.range(240, 254)); }
int sweepSubnet(Rng& r) { return r.percent(50) ? int(r.range(0, 15)) : int(r.range(240, 255)); }

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

std::string airBytes(const Net& n) {
  std::string out;
  for (int64_t b : n.rawSsid) out += char(uint8_t(b));
  for (char16_t c : widen(n.ssid)) out += char(c);  // the generator writes no character past 0xFF
  return out;
}

void Draft::someFaults(FaultCall call, int64_t most) {
  std::vector<int64_t> v;
  for (int c = int(r.range(1, 3)); c > 0; c--) v.push_back(r.range(1, most));
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  faultCalls(call, v);
}

}  // namespace worlds

std::string exploreWorld(uint64_t seed, uint64_t run) {
  using namespace worlds;
  Draft d{};
  d.r = Rng{seed};
  Rng& r = d.r;
  r.s = r.next() ^ (run * 0xD1B54A32D192ED03ull);
  r.next();
  d.hostile = r.percent(25);
  d.more = Rng{r.s ^ 0x5851F42D4C957F2Dull};
  d.more.next();
  d.t.s = "# Explorer world: seed " + std::to_string(seed) + ", run " + std::to_string(run) +
          (d.hostile ? " (hostile)" : "") + "\n";
  clockSection(d);
  radioNetworks(d);  // decided first: the other parts refer to them
  systemSection(d);
  driverSection(d);
  radioSection(d);
  ipSection(d);
  uiSection(d);
  return d.t.s;
}

}  // namespace sim
