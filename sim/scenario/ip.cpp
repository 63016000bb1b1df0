// The [ip] section: adapters, DNS, networks' DHCP, hosts and names, routes
// and injected failures of the IP helper interface.
#include "ip/ipv4.h"
#include "scenario/scenario.h"
#include "system/calendar.h"

namespace sim {
namespace {

constexpr uint32_t CLASS_C_MASK = 0xFFFFFF00;   // 255.255.255.0
constexpr uint32_t APIPA_ADDRESS = 0xA9FE1711;  // 169.254.23.17
constexpr uint32_t APIPA_MASK = 0xFFFF0000;     // 255.255.0.0
// The longest a scenario may make one request block: ten minutes.
constexpr int64_t MAX_BLOCK_MS = 600000;
constexpr const char* ADDRESS_FORMAT = "must be a dotted IPv4 address like 192.168.1.1";

// A dotted address, parsed; absent: fallback.
uint32_t address(Section& s, const char* key, uint32_t fallback) {
  if (!s.has(key)) return fallback;
  uint32_t v = 0;
  if (!parseIpv4(s.text(key, ""), v)) s.fail(key, ADDRESS_FORMAT);
  return v;
}

// An address the file may leave out; "" is the same as none.
Address optionalAddress(Section& s, const char* key, Address fallback) {
  if (!s.has(key)) return fallback;
  std::string text = s.text(key, "");
  if (text.empty()) return std::nullopt;
  uint32_t v = 0;
  if (!parseIpv4(text, v)) s.fail(key, ADDRESS_FORMAT);
  return v;
}

std::vector<uint32_t> addresses(Section& s, const char* key) {
  std::vector<uint32_t> out;
  for (const std::string& a : s.texts(key)) {
    uint32_t v = 0;
    if (!parseIpv4(a, v)) {
      s.fail(key, "every entry must be a dotted IPv4 address");
      break;
    }
    out.push_back(v);
  }
  return out;
}

// An error code key: 1..2^32-1, default the fault kind's answer.
uint32_t errorCode(Section& s, const char* key, FaultCall call) {
  return uint32_t(s.integer(key, faultKind(call).answer, 1, UINT32_MAX));
}

// A `context` key: absent, the stack assigns one. 0 is refused: it is the
// Context of an adapter's empty 0.0.0.0 entry, never of an address.
uint32_t contextKey(Section& s) {
  if (!s.has("context")) return STACK_ASSIGNS;
  uint32_t c = uint32_t(s.integer("context", 1, 0, UINT32_MAX));
  if (c == 0)
    s.fail("context",
           "0 is the Context of an adapter's empty 0.0.0.0 entry, never of an address "
           "(leave the key out and the stack assigns one)");
  return c;
}

int64_t seconds(Section& s, const char* key) {
  const toml::node* n = s.node(key);
  if (!n) return 0;
  if (auto v = n->value_exact<int64_t>()) {
    if (*v < INT32_MIN || *v > INT32_MAX) s.fail(key, "must fit a signed 32-bit count of seconds");
    return *v;
  }
  if (auto dt = n->value_exact<toml::date_time>()) {
    if (!dt->offset) {
      s.fail(key, "a date-time must carry its offset, like 2006-10-04T22:13:20Z");
      return 0;
    }
    int64_t days = daysFromCivil(dt->date.year, dt->date.month, dt->date.day);
    int64_t t = days * 86400 + dt->time.hour * 3600 + dt->time.minute * 60 + dt->time.second -
                int64_t(dt->offset->minutes) * 60;
    if (t < INT32_MIN || t > INT32_MAX) s.fail(key, "must fit a signed 32-bit count of seconds");
    return t;
  }
  s.fail(key, "must be seconds since 1970 or a date-time with offset");
  return 0;
}

// When an adapter or route appears (virtual ms); -1: from the start.
int64_t appearsAt(Section& s) {
  return s.has("appears_at") ? s.integer("appears_at", 0, 0, 3600000) : -1;
}

void loadAdapter(Section& a, AdapterConfig& x) {
  x.name = a.text("name", "");
  if (x.name.size() > 259) a.fail("name", "at most 259 bytes");
  x.description = a.text("description", "");
  if (x.description.size() > 131) a.fail("description", "at most 131 bytes");
  x.index = uint32_t(a.integer("index", 1, 0, UINT32_MAX));
  x.dhcp = a.boolean("dhcp", true);
  for (Section& e : a.tables("address")) {
    IpAddressEntry ip;
    ip.address = address(e, "address", 0);
    ip.mask = address(e, "mask", CLASS_C_MASK);
    ip.context = contextKey(e);
    e.done();
    x.addresses.push_back(ip);
  }
  x.gateways = addresses(a, "gateways");
  x.dhcpServer = optionalAddress(a, "dhcp_server", std::nullopt).value_or(0);
  x.leaseObtained = seconds(a, "lease_obtained");
  x.appearsAt = appearsAt(a);
  a.done();
}

// "a.b.c.d/n" into the network's subnet.
void loadSubnet(Section& n, NetworkIp& x) {
  std::string subnet = n.text("subnet", "");
  if (subnet.empty()) return;
  size_t slash = subnet.find('/');
  uint32_t net = 0;
  int bits = -1;
  if (slash != std::string::npos && parseIpv4(subnet.substr(0, slash), net)) {
    std::string b = subnet.substr(slash + 1);
    if (!b.empty() && b.size() <= 2 && b.find_first_not_of("0123456789") == std::string::npos)
      bits = std::stoi(b);
  }
  if (bits < 0 || bits > 32) {
    n.fail("subnet", "must look like 192.168.1.0/24");
  } else {
    x.subnetMask = bits == 0 ? 0 : uint32_t(0xFFFFFFFFu << (32 - bits));
    x.subnet = net & x.subnetMask;
    x.subnetGiven = true;
  }
}

void loadHosts(Section& n, NetworkIp& x) {
  for (Section& h : n.tables("host")) {
    EchoHost e;
    e.address = address(h, "address", 0);
    e.rtt = uint32_t(h.integer("rtt", 1, 0, 3600000));
    e.status = uint32_t(h.integer("status", 0, 0, UINT32_MAX));
    e.replyFrom = optionalAddress(h, "reply_from", std::nullopt);
    h.done();
    x.hosts.push_back(e);
  }
  for (Section& h : n.tables("name")) {
    NameEntry e;
    e.name = h.text("name", "");
    e.addresses = addresses(h, "addresses");
    e.addressLength = uint32_t(h.integer("address_length", 4, 0, MAX_ADDRESS_LENGTH));
    h.done();
    x.names.push_back(e);
  }
  for (Section& h : n.tables("reverse")) {
    ReverseEntry e;
    e.address = address(h, "address", 0);
    e.name = h.text("name", "");
    e.addresses = h.has("addresses") ? addresses(h, "addresses") : std::vector<uint32_t>{e.address};
    e.addressLength = uint32_t(h.integer("address_length", 4, 0, MAX_ADDRESS_LENGTH));
    h.done();
    x.reverse.push_back(e);
  }
}

void loadRenewals(Section& n, NetworkIp& x, const IpTiming& t) {
  for (Section& r : n.tables("renewal")) {
    Renewal e;
    std::string kind = r.text("result", "valid");
    if (kind == "valid")
      e.kind = Renewal::Valid;
    else if (kind == "apipa")
      e.kind = Renewal::Apipa;
    else if (kind == "nothing")
      e.kind = Renewal::Nothing;
    else if (kind == "refused")
      e.kind = Renewal::Refused;
    else
      r.fail("result", "must be valid, apipa, nothing or refused");
    const bool apipa = e.kind == Renewal::Apipa, valid = e.kind == Renewal::Valid;
    e.poll = uint32_t(r.integer("poll", 1, 1, 1000));
    e.address = optionalAddress(r, "address", apipa ? Address(APIPA_ADDRESS) : x.address);
    e.mask = address(r, "mask", apipa ? APIPA_MASK : x.mask);
    e.gateway = optionalAddress(r, "gateway", valid ? x.gateway : std::nullopt);
    e.error = uint32_t(r.integer("error", 1231, 1, UINT32_MAX));
    e.ms = uint32_t(r.integer("ms", t.renewMs, 0, MAX_BLOCK_MS));
    e.context = contextKey(r);
    if (valid && !e.address) r.fail("address", "a valid renewal needs an address");
    if (e.context != STACK_ASSIGNS && !valid && !apipa)
      r.fail("context", "is for a renewal that gives an address (valid or apipa)");
    r.done();
    x.renewals.push_back(e);
  }
}

// A network on which the adapter is fixed: it holds the network's address
// and never asks a DHCP server, so what only DHCP gives cannot be meant.
void checkFixed(Section& n, const NetworkIp& x) {
  if (!x.dhcp || *x.dhcp) return;
  if (!x.address) n.fail("dhcp", "a fixed configuration (dhcp = false) needs its address");
  for (const char* key : {"dhcp_server", "lease_obtained", "lease_ms", "release_error"})
    if (n.has(key)) n.fail(key, "is for DHCP, and the adapter is fixed on this network");
  if (n.has("renewal"))
    n.fail("renewal", "is for DHCP, and the adapter is fixed on this network (dhcp = false)");
}

void loadNetwork(Section& n, NetworkIp& x, const IpWorld& w) {
  x.ssid = loadSsid(n);
  if (n.has("dhcp")) x.dhcp = n.boolean("dhcp", true);
  x.address = optionalAddress(n, "address", std::nullopt);
  x.mask = address(n, "mask", CLASS_C_MASK);
  x.gateway = optionalAddress(n, "gateway", std::nullopt);
  x.context = contextKey(n);
  if (x.context != STACK_ASSIGNS && !x.address)
    n.fail("context", "is the Context of the lease, and this network hands out none");
  x.dhcpServer = optionalAddress(n, "dhcp_server", std::nullopt).value_or(0);
  x.leaseObtained = seconds(n, "lease_obtained");
  loadSubnet(n, x);
  x.dns = n.has("dns") ? addresses(n, "dns") : w.dns;
  std::string server = n.text("name_server", "route");
  if (server == "route")
    x.nameServer = NameServer::Route;
  else if (server == "answers")
    x.nameServer = NameServer::Answers;
  else if (server == "silent")
    x.nameServer = NameServer::Silent;
  else
    n.fail("name_server", "must be route, answers or silent");
  x.leaseMs = uint32_t(n.integer("lease_ms", w.timing.leaseMs, 0, MAX_BLOCK_MS));
  loadHosts(n, x);
  x.releaseError = uint32_t(n.integer("release_error", 0, 0, UINT32_MAX));
  checkFixed(n, x);
  loadRenewals(n, x, w.timing);
  n.done();
}

}  // namespace

bool wlanAdapterName(const DriverWorld& driver, const std::string& name) {
  for (const Binding& b : driver.bindings)
    if (b.acceptsScan && !b.deviceName.empty() && utf8(b.deviceName) == name) return true;
  return false;
}

void loadIp(Section& s, IpWorld& w, std::vector<Fault>& faults) {
  w.dns = addresses(s, "dns");
  IpTiming& t = w.timing;
  t.lookupMs = uint32_t(s.integer("lookup_ms", t.lookupMs, 0, MAX_BLOCK_MS));
  t.lookupTimeoutMs = uint32_t(s.integer("lookup_timeout_ms", t.lookupTimeoutMs, 0, MAX_BLOCK_MS));
  t.leaseMs = uint32_t(s.integer("lease_ms", t.leaseMs, 0, MAX_BLOCK_MS));
  t.renewMs = uint32_t(s.integer("renew_ms", t.renewMs, 0, MAX_BLOCK_MS));
  // Each call list, then its error code.
  const struct {
    FaultCall call;
    const char* error;
  } LISTS[] = {{FaultCall::AdaptersInfo, "adapters_info_error"},
               {FaultCall::NetworkParams, "network_params_error"},
               {FaultCall::ForwardTable, "forward_table_error"},
               {FaultCall::AddAddress, "add_address_error"},
               {FaultCall::DeleteAddress, "delete_address_error"}};
  for (const auto& l : LISTS) {
    std::vector<int64_t> calls = faultOccurrences(s, l.call);
    uint32_t error = errorCode(s, l.error, l.call);
    if (!calls.empty()) addFaults(faults, l.call, 0, calls, error);
  }
  bool indexFails = s.boolean("adapter_index_fails", false);
  uint32_t indexError = errorCode(s, "adapter_index_error", FaultCall::AdapterIndex);
  if (indexFails) addFaults(faults, FaultCall::AdapterIndex, 0, {}, indexError);
  if (s.boolean("icmp_create_fails", false))
    addFaults(faults, FaultCall::IcmpCreate, 0, {}, faultKind(FaultCall::IcmpCreate).answer);
  std::vector<int64_t> echo = faultOccurrences(s, FaultCall::Echo);
  uint32_t echoError = errorCode(s, "echo_error", FaultCall::Echo);
  if (!echo.empty()) addFaults(faults, FaultCall::Echo, 0, echo, echoError);
  std::vector<int64_t> byName = faultOccurrences(s, FaultCall::HostByName);
  std::vector<int64_t> byAddr = faultOccurrences(s, FaultCall::HostByAddr);
  uint32_t lookupError = errorCode(s, "lookup_error", FaultCall::HostByName);
  if (!byName.empty()) addFaults(faults, FaultCall::HostByName, 0, byName, lookupError);
  if (!byAddr.empty()) addFaults(faults, FaultCall::HostByAddr, 0, byAddr, lookupError);
  for (Section& a : s.tables("adapter")) {
    AdapterConfig x;
    loadAdapter(a, x);
    w.adapters.push_back(x);
  }
  for (Section& n : s.tables("network")) {
    NetworkIp x;
    loadNetwork(n, x, w);
    w.networks.push_back(x);
  }
  for (Section& r : s.tables("route")) {
    RouteEntry x;
    x.destination = address(r, "destination", 0);
    x.mask = address(r, "mask", 0);
    x.nextHop = address(r, "next_hop", 0);
    x.ifIndex = uint32_t(r.integer("if_index", 1, 0, UINT32_MAX));
    x.metric = uint32_t(r.integer("metric", 1, 0, UINT32_MAX));
    x.deleteFails = r.boolean("delete_fails", false);
    x.appearsAt = appearsAt(r);
    r.done();
    w.routes.push_back(x);
  }
  s.done();
}

}  // namespace sim
