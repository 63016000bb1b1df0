// A node's addressing: DHCP or fixed, the internet and DNS tests, and the
// verdicts with their causes.
#include "fromlog/track.h"

namespace sim::fromlog {

bool readRecovery(Cursor& c, RunTrack& t, bool& valid);

namespace {

// The address the run names in the DNS test's success: not in the log.
const char* const DNS_HOST_ADDRESS = "142.250.74.36";

bool roundTrip(const std::string& piece, long& rtt) {
  long long v;
  if (piece.size() < 7 || piece[0] != ' ' || piece.substr(piece.size() - 2) != "ms" ||
      !wholeNumber(piece.substr(1, piece.size() - 3), v) || v < 0 || v >= 1000)
    return false;
  rtt = long(v);
  return true;
}

void addHost(Cursor& c, int net, const std::string& address, long rtt, const std::string& from) {
  Model& m = c.m;
  if (net < 0) return;
  for (EchoHost& h : m.ipNetworks[size_t(net)].hosts)
    if (h.address == address) {
      if (h.rtt != rtt || h.replyFrom != from)
        notMadeAgain(c, "the host " + address + " answered differently on another pass");
      return;
    }
  m.ipNetworks[size_t(net)].hosts.push_back({address, from, rtt});
}

// "-Testing Internet connection....OK:  23ms" and the replying address, or "Error.".
bool readInternet(Cursor& c, RunTrack& t, bool& ok) {
  std::string rest;
  if (c.done() || !after(c.peek(), "-Testing Internet connection....", rest))
    return fail(c, "expected the internet test");
  EchoEvent e{EchoEvent::Internet, t.cur, false, 1};
  ok = false;
  if (rest == "Error.") {
    c.at++;
  } else {
    long rtt;
    std::string piece;
    if (!after(rest, "OK:", piece) || !roundTrip(piece, rtt)) return fail(c, "not a test result");
    c.at++;
    if (c.done()) return fail(c, "the log ends before the replying address");
    if (!addressText(c.peek())) return fail(c, "not the replying address");
    addHost(c, t.cur, "1.1.1.1", rtt, c.peek());
    c.at++;
    ok = e.ok = true;
    reachedNow(t, c.at, "1.1.1.1");
  }
  t.echoes.push_back(e);
  return true;
}

bool readDns(Cursor& c, RunTrack& t, bool& ok) {
  std::string rest;
  if (c.done() || !after(c.peek(), "-Testing DNS resolution....", rest))
    return fail(c, "expected the DNS test");
  ok = false;
  c.at++;
  if (rest == "ERROR") {
    t.echoes.push_back({EchoEvent::Dns, t.cur, false, 1});
    return expectLine(c, "   Incorrect DNS. Check it.") &&
           expectLine(c, "   Try setting fixed DNS on adapter properties.") && readNodeFailed(c, t);
  }
  long rtt;
  std::string piece;
  if (!after(rest, "OK:", piece) || !roundTrip(piece, rtt) || t.cur < 0) {
    c.at--;
    return fail(c, "not a DNS test result");
  }
  NetworkIp& n = c.m.ipNetworks[size_t(t.cur)];
  n.dnsHostAddress = DNS_HOST_ADDRESS;
  addHost(c, t.cur, DNS_HOST_ADDRESS, rtt, "");
  t.echoes.push_back({EchoEvent::Dns, t.cur, true, 1});
  reachedNow(t, c.at, DNS_HOST_ADDRESS);
  ok = true;
  return expectLine(c, "Already connected to Internet. Exiting OK") && readConnectionData(c, t);
}

// A valid address through which the internet did not answer.
bool readNoInternet(Cursor& c, RunTrack& t, const char* heading, const char* key) {
  if (!expectLine(c, heading)) return false;
  if (!c.done() && c.peek() == key) {
    if (t.entry >= 0) c.m.networks[size_t(t.entry)].privacy = true;
    c.at++;
  }
  return expectLine(c, "   IP Address.") && expectLine(c, "   Default Gateway.") &&
         expectLine(c, "   May work with proxy configuration.") && readNodeFailed(c, t);
}

bool readNoValidAddress(Cursor& c, RunTrack& t) {
  return expectLine(c, "Cannot get a valid Ip address. Check:") &&
         expectLine(c, "   DHCP server available.") &&
         expectLine(c, "   Signal (RSSI) between  -10 and -70dB.") && readNodeFailed(c, t);
}

bool readFixed(Cursor& c, RunTrack& t, bool& success) {
  Model& m = c.m;
  // A fixed address on a network after DHCP was seen: the network's own
  // configuration (a device that keeps its settings per network).
  const bool known = m.adapter.dhcpKnown;
  const bool here = known && m.adapter.dhcp && t.cur >= 0;
  if (!here) m.adapter.dhcp = false, m.adapter.dhcpKnown = true;
  t.src = RunTrack::Initial, t.pendingAddress = false;
  std::string a, mask, gw;
  if (c.done() || !after(c.peek(), "IP Address:        ", a))
    return fail(c, "expected the address");
  c.at++;
  if (c.done() || !after(c.peek(), "IP Mask:           ", mask))
    return fail(c, "expected the mask");
  c.at++;
  if (c.done() || !after(c.peek(), "Gateway:           ", gw))
    return fail(c, "expected the gateway");
  if (!addressText(a) || !addressText(mask) || !addressText(gw, true))
    return fail(c, "not the fixed configuration's addresses");
  c.at++;
  // A fixed adapter that shows another fixed configuration than its own
  // after a join: the network's own (the adapter's comes back on networks
  // that set none). The first one shown is taken as the adapter's.
  bool network = here;
  if (!here && known && t.cur >= 0 && !m.adapter.addresses.empty()) {
    const NetworkIp& n = m.ipNetworks[size_t(t.cur)];
    const std::string ownGateway = m.adapter.gateways.empty() ? "" : m.adapter.gateways[0];
    network = n.dhcpHere == 0 ||
              (n.dhcpHere < 0 && (a != m.adapter.addresses[0].first ||
                                  mask != m.adapter.addresses[0].second || gw != ownGateway));
  }
  if (network) {
    NetworkIp& n = m.ipNetworks[size_t(t.cur)];
    if (n.dhcpHere < 0) {
      n.dhcpHere = 0, n.address = a, n.mask = mask, n.gateway = gw, n.leaseKnown = true;
      n.detailsKnown = true;
    }
    t.src = RunTrack::Join, t.srcNet = t.cur, t.srcEvent = t.lastJoin;
  } else if (!m.adapter.seen) {
    m.adapter.addresses = {{a, mask}};
    m.adapter.contexts = {-1};
    if (!gw.empty()) m.adapter.gateways = {gw};
  }
  bool ok;
  if (!readInternet(c, t, ok)) return false;
  if (ok) return readDns(c, t, success);
  return expectLine(c, "ERROR") &&
         readNoInternet(
             c, t, "Fixed IP but no internet Connection. Check:", "   Check valid WEP / WPA key");
}

bool readDhcp(Cursor& c, RunTrack& t, bool& success) {
  // DHCP on a network after a fixed address was seen: the network's own.
  if (c.m.adapter.dhcpKnown && !c.m.adapter.dhcp && t.cur >= 0) {
    c.m.ipNetworks[size_t(t.cur)].dhcpHere = 1;
    // Its lease is what the adapter holds now.
    t.src = RunTrack::Join, t.srcNet = t.cur, t.pendingAddress = true, t.leaseNet = t.cur;
    t.srcEvent = t.lastJoin;
  } else
    c.m.adapter.dhcp = true, c.m.adapter.dhcpKnown = true;
  std::string a;
  bool tested = false;
  if (!c.done() && after(c.peek(), "     Actual IP Address: ", a)) {
    if (!addressText(a)) return fail(c, "not an address");
    observeAddress(c.m, t, a);
    c.at++;
    bool ok;
    if (!readInternet(c, t, ok)) return false;
    if (ok) return readDns(c, t, success);
    tested = true;
  }
  bool valid = false;
  if (!readRecovery(c, t, valid)) return false;
  if (!valid) return readNoValidAddress(c, t);
  if (!c.done() && startsWith(c.peek(), "-Testing DNS resolution...."))
    return readDns(c, t, success);
  if (c.done() || !after(c.peek(), "     Got valid IP Add.:", a))
    return fail(c, "expected the repaired address");
  if (!addressText(a)) return fail(c, "not an address");
  observeAddress(c.m, t, a);
  c.at++;
  bool ok;
  if (!readInternet(c, t, ok)) return false;
  if (ok) return readDns(c, t, success);
  (void)tested;
  return readNoInternet(c, t,
                        "Valid IP but no internet connection. Check:", "   Valid WEP / WPA key");
}

}  // namespace

bool readAddressing(Cursor& c, RunTrack& t, bool& success) {
  success = false;
  if (c.done()) return fail(c, "the log ends where the node's addressing was due");
  const std::string& l = c.peek();
  if (l == "     NIC DHCP Enabled") {
    c.at++;
    return readDhcp(c, t, success);
  }
  if (l == "-System configured as fixed IP : ") {
    c.at++;
    return readFixed(c, t, success);
  }
  if (l == "     NIC not found in IP configuration.") {
    notMadeAgain(c, "the WLAN adapter is missing from the IP configuration");
    c.m.ipAdapterMissing = true;
    c.at++;
    return readNoValidAddress(c, t);
  }
  std::string code;
  if (after(l, "Cannot read the IP adapter list, ERROR ", code)) {
    notMadeAgain(c, "a failed read of the IP adapter list");
    c.at++;
    return readNodeFailed(c, t);
  }
  return fail(c, "not a node's addressing");
}

}  // namespace sim::fromlog
