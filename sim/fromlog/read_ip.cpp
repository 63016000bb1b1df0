// The connection data, and what each report tells about where the adapter's
// address came from.
#include <cstdio>

#include "fromlog/track.h"

namespace sim::fromlog {
namespace {

struct Snapshot {
  bool adapter = false;  // the "-Connection data:" part was there
  // How far the adapter's part was read: all of it, or up to where the
  // log was cut (the addresses and gateways, the DHCP line, the server).
  enum Stage { Addresses, Dhcp, Server, Lease, Whole } stage = Addresses;
  std::vector<std::pair<std::string, std::string>> addresses;
  std::vector<std::string> gateways;
  bool dhcp = false;
  std::string server;
  long long lease = 0;
  std::vector<std::string> dns;
};

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// "   Lease Obtained: M/DD/YY h:MM:SS local" back to seconds since 1970: the
// program moves the moment itself by the whole hours of the time zone.
bool leaseSeconds(const std::string& text, int biasHours, long long& t) {
  int mo, d, y, h, mi, s;
  if (std::sscanf(text.c_str(), "%d/%2d/%2d %d:%2d:%2d local", &mo, &d, &y, &h, &mi, &s) != 6)
    return false;
  char again[64];
  std::snprintf(again, sizeof again, "%d/%02d/%02d %d:%02d:%02d local", mo, d, y, h, mi, s);
  if (text != again || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
    return false;
  // A signed 32-bit count of seconds reaches from 1901 to 2038.
  long long year = y <= 37 ? 2000 + y : 1900 + y;
  t = daysFromCivil(year, mo, d) * 86400 + (h + biasHours) * 3600LL + mi * 60 + s;
  return t >= -2147483648LL && t <= 2147483647LL;
}

// A lease time of moment 0 (an adapter that holds no lease: before the
// join's lease comes, after a release or an APIPA renewal) pins the time
// zone's whole hours, which the clock line shows only within a day (a
// bias of 12 hours and one of -12 give the same clock line), and which
// nothing shows at all once the clock line was dropped with the oldest
// lines. The first such lease fixes the zone; leases read before it are
// moved so that they still show as they did.
void zoneFromLease(Cursor& c, const std::string& text, int& biasHours) {
  Model& m = c.m;
  if (m.zoneFromLease) return;
  std::vector<int> candidates;
  if (m.headDropped) {
    for (int h = -24; h <= 24; h++) candidates.push_back(h);
  } else {
    for (int h : {biasHours, biasHours - 24, biasHours + 24})
      if (h >= -24 && h <= 24) candidates.push_back(h);
  }
  for (int h : candidates) {
    long long t;
    if (!leaseSeconds(text, h, t) || t != 0) continue;
    const long long shift = (h - biasHours) * 3600LL;
    auto move = [&](long long& lease) {
      if (!lease) return;
      lease += shift;
      if (lease < -2147483648LL || lease > 2147483647LL)
        notMadeAgain(c, "a lease time that no time zone of this log can give with the others");
    };
    move(m.adapter.leaseObtained);
    for (NetworkIp& n : m.ipNetworks) move(n.leaseObtained);
    biasHours = h;
    m.biasHours = h;
    m.zoneFromLease = true;
    m.choices.push_back("the time zone's whole hours from a lease time of moment 0");
    return;
  }
}

bool numbered(const std::string& l, const char* format, int n, std::string& value) {
  char head[40];
  std::snprintf(head, sizeof head, format, n);
  return after(l, head, value);
}

bool readAdapterPart(Cursor& c, Snapshot& s, int& biasHours) {
  std::string v, mask;
  for (int i = 0; !c.done() && numbered(c.peek(), "IP Address %d:      ", i, v); i++) {
    c.at++;
    if (c.done() || !numbered(c.peek(), "IP Mask %d:         ", i, mask))
      return fail(c, "expected the address's mask");
    if (!addressText(v) || !addressText(mask)) return fail(c, "not an address and mask");
    s.addresses.push_back({v, mask});
    c.at++;
  }
  for (int i = 0; !c.done() && numbered(c.peek(), "Gateway %d:         ", i, v); i++, c.at++) {
    if (!addressText(v, true)) return fail(c, "not a gateway's address");
    s.gateways.push_back(v);
  }
  if (c.done()) return fail(c, "the log ends inside the connection data");
  // A gateway line cut short is no whole line yet.
  if (c.atCutLine()) return fail(c, "the log ends in a line");
  s.stage = Snapshot::Dhcp;
  if (c.peek() == "DHCP Enabled: No") {
    c.at++;
    s.stage = Snapshot::Whole;
    return true;
  }
  if (c.peek() != "DHCP Enabled:      Yes") return fail(c, "expected the DHCP line");
  s.dhcp = true;
  s.stage = Snapshot::Server;
  c.at++;
  if (c.done() || !after(c.peek(), "   DHCP Server:    ", s.server) || c.atCutLine()) {
    s.server.clear();
    return fail(c, "expected the DHCP server");
  }
  if (!addressText(s.server, true)) return fail(c, "not the DHCP server's address");
  s.stage = Snapshot::Lease;
  c.at++;
  if (!c.done() && after(c.peek(), "   Lease Obtained: ", v)) zoneFromLease(c, v, biasHours);
  if (c.done() || !after(c.peek(), "   Lease Obtained: ", v) ||
      !leaseSeconds(v, biasHours, s.lease))
    return fail(c, "not a lease time this log's time zone can give");
  c.at++;
  s.stage = Snapshot::Whole;
  return true;
}

std::vector<std::string> dropEmpty(const std::vector<std::string>& v) {
  std::vector<std::string> out;
  for (const std::string& s : v)
    if (!s.empty()) out.push_back(s);
  return out;
}

}  // namespace

// Its own, the lease of the network it joined, or the renewal's.
bool heldAddress(const Model& m, const RunTrack& t, std::string& address) {
  if (t.pendingAddress) return false;
  if (t.src == RunTrack::Initial && (m.adapter.seen || !m.adapter.addresses.empty())) {
    address = m.adapter.addresses.empty() ? "0.0.0.0" : m.adapter.addresses[0].first;
    return true;
  }
  if (t.srcNet < 0) return false;
  const NetworkIp& n = m.ipNetworks[size_t(t.srcNet)];
  if (t.src == RunTrack::Join && n.leaseKnown) {
    address = n.address.empty() ? "0.0.0.0" : n.address;
    return true;
  }
  if (t.src == RunTrack::Renew && n.renewals[size_t(t.srcRenewal)].addressKnown) {
    address = n.renewals[size_t(t.srcRenewal)].address;
    return true;
  }
  return false;
}

void reachedNow(RunTrack& t, size_t line, const std::string& target) {
  Reach r;
  r.line = line, r.net = t.cur, r.target = target;
  r.src = t.src, r.srcNet = t.srcNet, r.srcRenewal = t.srcRenewal;
  t.reached.push_back(r);
}

namespace {

void applyAdapter(Model& m, RunTrack& t, const Snapshot& s, size_t line) {
  if (!m.adapter.dhcpKnown && s.stage >= Snapshot::Server)
    m.adapter.dhcp = s.dhcp, m.adapter.dhcpKnown = true;
  std::string first = s.addresses.empty() ? "0.0.0.0" : s.addresses[0].first;
  std::string firstMask = s.addresses.empty() ? "0.0.0.0" : s.addresses[0].second;
  std::string gateway = s.gateways.empty() ? "" : s.gateways[0];
  observeAddress(m, t, first);
  // Another address than the one the adapter got, with no join, release or
  // renewal the log shows in between: a lease or renewal that came after
  // the program had stopped waiting for it, or a join its BSSID polls did
  // not see. When it came is a matter of timings the log leaves open.
  std::string held;
  const bool changed = heldAddress(m, t, held) && held != first;
  if (changed) {
    notMadeAgain(m, line, "the adapter's address changed with no join or renewal the log shows");
    first = held;
  }
  // Tests answered since the last look took what this one shows, when the
  // adapter still holds the address it held then (a look that failed in
  // between leaves them to placeUnseenReach).
  for (Reach& r : t.reached)
    if (r.address.empty() && r.src == t.src && r.srcNet == t.srcNet && r.srcRenewal == t.srcRenewal)
      r.address = first, r.gateway = gateway;
  // A server and lease time shown after a release that failed or a renewal
  // that gave nothing are still the join's: on a network only its lease
  // (or a valid renewal, which brings the same) gives them.
  if ((t.src == RunTrack::Released || t.src == RunTrack::Renew) && t.leaseNet >= 0 &&
      !s.server.empty()) {
    NetworkIp& n = m.ipNetworks[size_t(t.leaseNet)];
    if (!n.detailsKnown && n.dhcpServer.empty()) n.dhcpServer = s.server, n.leaseObtained = s.lease;
  }
  if (t.src == RunTrack::Initial && !m.adapter.seen) {
    m.adapter.seen = true;
    m.adapter.addresses.clear();
    for (const auto& a : s.addresses)
      if (a.first != "0.0.0.0" || s.addresses.size() > 1) m.adapter.addresses.push_back(a);
    m.adapter.contexts.assign(m.adapter.addresses.size(), -1);
    m.adapter.gateways = dropEmpty(s.gateways);
    m.adapter.dhcpServer = s.server;
    m.adapter.leaseObtained = s.lease;
  } else if (t.src == RunTrack::Join && t.srcNet >= 0) {
    NetworkIp& n = m.ipNetworks[size_t(t.srcNet)];
    if (!n.detailsKnown) {
      n.detailsKnown = true;
      if (first != "0.0.0.0") n.mask = firstMask;
      n.gateway = gateway;
      n.dhcpServer = s.server;
      n.leaseObtained = s.lease;
    }
  } else if (t.src == RunTrack::Released && t.srcNet >= 0 && first != "0.0.0.0" &&
             first == m.ipNetworks[size_t(t.srcNet)].address &&
             !m.ipNetworks[size_t(t.srcNet)].detailsKnown) {
    // The lease's address outlived its release (its Context is the one a
    // release keeps), and this is the first look at it: its mask is the
    // lease's. What else the list shows after a release is not the lease's.
    m.ipNetworks[size_t(t.srcNet)].mask = firstMask;
  } else if (t.src == RunTrack::Renew && t.srcNet >= 0) {
    NetworkIp& n = m.ipNetworks[size_t(t.srcNet)];
    Renewal& r = n.renewals[size_t(t.srcRenewal)];
    // The first look after the renewal shows what it gave. A later one
    // that shows another address (marked above) or other details shows a
    // renewal that came after the program stopped waiting for it: the
    // address kept through the release was taken for the renewal's.
    const std::string details =
        firstMask + " " + gateway + " " + s.server + " " + std::to_string(s.lease);
    if (r.detailsKnown) {
      if (!changed && details != r.detailsShown)
        notMadeAgain(m, line,
                     "the adapter's gateway, mask or lease changed with no renewal the log shows");
      return;
    }
    r.detailsKnown = true;
    r.detailsShown = details;
    if (r.kind == Renewal::Valid || r.kind == Renewal::Apipa) r.mask = firstMask;
    if (r.kind == Renewal::Valid) {
      r.gateway = gateway;
      if (!n.detailsKnown) n.dhcpServer = s.server, n.leaseObtained = s.lease;
    }
  }
}

}  // namespace

void notMadeAgain(Model& m, size_t line, const std::string& what) {
  m.inferred.push_back({line, what});
}

int networkFor(Model& m, const std::string& ssid) {
  for (size_t i = 0; i < m.ipNetworks.size(); i++)
    if (m.ipNetworks[i].ssid == ssid) return int(i);
  NetworkIp n;
  n.ssid = ssid;
  m.ipNetworks.push_back(n);
  return int(m.ipNetworks.size() - 1);
}

// A network whose first read after the join showed no address, and whose
// address then shows in the same pass with no renewal giving it: its lease
// came late. The join holds 1000 ms before the poll that saw it, and that
// read is made at the poll: a lease 1001 ms after the join comes with the
// next read.
void lateLease(Model& m, RunTrack& t, const std::string& address) {
  if (t.src != RunTrack::Join || t.srcNet < 0 || t.srcNet != t.cur || address == "0.0.0.0") return;
  NetworkIp& n = m.ipNetworks[size_t(t.srcNet)];
  if (!n.leaseKnown || !n.address.empty() || n.dhcpHere == 0 || n.leaseMs >= 0) return;
  n.address = address;
  n.leaseMs = 1001;
  t.srcNumbered = true;
  m.choices.push_back("the lease of " + n.ssid +
                      " 1001 ms after its join (its first read showed none)");
}

void observeAddress(Model& m, RunTrack& t, const std::string& address) {
  if (!t.pendingAddress) return lateLease(m, t, address);
  t.pendingAddress = false;
  t.srcNumbered = false;
  bool some = address != "0.0.0.0";
  if (t.src == RunTrack::Join && t.srcNet >= 0) {
    NetworkIp& n = m.ipNetworks[size_t(t.srcNet)];
    if (!n.leaseKnown) n.leaseKnown = true, n.address = some ? address : "";
    t.srcNumbered = some;
  } else if (t.src == RunTrack::Renew && t.srcNet >= 0) {
    Renewal& r = m.ipNetworks[size_t(t.srcNet)].renewals[size_t(t.srcRenewal)];
    r.addressKnown = true;
    r.address = address;
    if (r.kind == Renewal::Nothing && some) r.kind = Renewal::Valid, r.poll = 1;
    t.srcNumbered = r.kind != Renewal::Nothing && some;
  } else if (t.src == RunTrack::Initial && !m.adapter.seen && some) {
    m.adapter.addresses = {{address, "255.255.255.0"}};
    m.adapter.contexts = {-1};
  }
}

bool readConnectionData(Cursor& c, RunTrack& t) {
  Snapshot s;
  size_t line = 0;  // of the first address shown
  if (!c.done() && c.peek() == "-Connection data:") {
    s.adapter = true;
    c.at++;
    line = c.at + 1;
    // Cut short after its gateways: what it shows up to the cut is taken
    // (the rest shows after the cut, whatever it is).
    if (!readAdapterPart(c, s, c.m.biasHours)) {  // may learn the zone
      if (c.error.empty() && s.stage >= Snapshot::Dhcp) applyAdapter(c.m, t, s, line);
      return false;
    }
  }
  std::string v;
  if (c.done() || !after(c.peek(), "DNS Servers:       ", v))
    return fail(c, "expected the DNS servers");
  const size_t dnsLine = c.at + 1;
  // Without its adapter part the WLAN adapter was not in the list that
  // refresh read (decided after the last node: see finishRun).
  if (!s.adapter && !c.m.ipAdapterMissing) t.withoutAdapter.push_back(c.at + 1);
  if (!addressText(v, true)) return fail(c, "not a DNS server's address");
  if (!v.empty()) s.dns.push_back(v);
  c.at++;
  while (!c.done() && after(c.peek(), std::string(19, ' '), v) && !v.empty() && v[0] != ' ') {
    if (!addressText(v)) return fail(c, "not a DNS server's address");
    s.dns.push_back(v);
    c.at++;
  }
  Model& m = c.m;
  if (s.adapter) applyAdapter(m, t, s, line);
  if (t.cur >= 0) {
    NetworkIp& n = m.ipNetworks[size_t(t.cur)];
    if (!n.dnsKnown) n.dns = s.dns, n.dnsKnown = true;
  } else if (!m.dnsNoNetworkKnown) {
    m.dnsNoNetwork = s.dns, m.dnsNoNetworkKnown = true;
  } else if (s.dns != m.dnsNoNetwork) {
    // Another network's servers with no join shown: a join its BSSID
    // polls did not see, which came while the failure was written.
    notMadeAgain(m, dnsLine, "the DNS servers changed with no join the log shows");
  }
  return true;
}

}  // namespace sim::fromlog
