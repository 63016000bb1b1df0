// The [ip] section: adapters, DNS, networks' DHCP, hosts and names, routes
// and injected failures of the IP helper interface.
#include "ip/ipv4.h"
#include "scenario/scenario.h"

namespace sim {
namespace {

std::string address(Section& s, const char* key, const std::string& fallback, bool allowEmpty) {
  std::string v = s.text(key, fallback);
  uint32_t ignored;
  if (v.empty() && allowEmpty) return v;
  if (!parseIpv4(v, ignored)) s.fail(key, "must be a dotted IPv4 address like 192.168.1.1");
  return v;
}

std::vector<std::string> addresses(Section& s, const char* key) {
  std::vector<std::string> out = s.texts(key);
  for (const std::string& a : out) {
    uint32_t ignored;
    if (!parseIpv4(a, ignored)) {
      s.fail(key, "every entry must be a dotted IPv4 address");
      break;
    }
  }
  return out;
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
    // Days from civil (UTC), then the offset.
    int64_t y = dt->date.year, m = dt->date.month, d = dt->date.day;
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days = era * 146097 + doe - 719468;
    int64_t t = days * 86400 + dt->time.hour * 3600 + dt->time.minute * 60 + dt->time.second -
                int64_t(dt->offset->minutes) * 60;
    if (t < INT32_MIN || t > INT32_MAX) s.fail(key, "must fit a signed 32-bit count of seconds");
    return t;
  }
  s.fail(key, "must be seconds since 1970 or a date-time with offset");
  return 0;
}

std::vector<uint32_t> calls(Section& s, const char* key) {
  std::vector<uint32_t> out;
  for (int64_t v : s.integers(key, 1, INT32_MAX)) out.push_back(uint32_t(v));
  return out;
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
    ip.address = address(e, "address", "0.0.0.0", false);
    ip.mask = address(e, "mask", "255.255.255.0", false);
    ip.context = uint32_t(e.integer("context", 0, 0, UINT32_MAX));
    e.done();
    x.addresses.push_back(ip);
  }
  x.gateways = addresses(a, "gateways");
  x.dhcpServer = address(a, "dhcp_server", "", true);
  x.leaseObtained = seconds(a, "lease_obtained");
  a.done();
}

void loadNetwork(Section& n, NetworkIp& x, const IpWorld& w) {
  x.ssid = n.text("ssid", "");
  x.address = address(n, "address", "", true);
  x.mask = address(n, "mask", "255.255.255.0", false);
  x.gateway = address(n, "gateway", "", true);
  x.dhcpServer = address(n, "dhcp_server", "", true);
  x.leaseObtained = seconds(n, "lease_obtained");
  std::string subnet = n.text("subnet", "");
  if (!subnet.empty()) {
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
  x.dns = n.has("dns") ? addresses(n, "dns") : w.dns;
  for (Section& h : n.tables("host")) {
    EchoHost e;
    e.address = address(h, "address", "0.0.0.0", false);
    e.rtt = uint32_t(h.integer("rtt", 1, 0, 3600000));
    e.status = uint32_t(h.integer("status", 0, 0, UINT32_MAX));
    e.replyFrom = address(h, "reply_from", "", true);
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
    e.address = address(h, "address", "0.0.0.0", false);
    e.name = h.text("name", "");
    e.addresses = h.has("addresses") ? addresses(h, "addresses") : std::vector<std::string>{e.address};
    e.addressLength = uint32_t(h.integer("address_length", 4, 0, MAX_ADDRESS_LENGTH));
    h.done();
    x.reverse.push_back(e);
  }
  x.releaseError = uint32_t(n.integer("release_error", 0, 0, UINT32_MAX));
  for (Section& r : n.tables("renewal")) {
    Renewal e;
    std::string kind = r.text("result", "valid");
    if (kind == "valid") e.kind = Renewal::Valid;
    else if (kind == "apipa") e.kind = Renewal::Apipa;
    else if (kind == "nothing") e.kind = Renewal::Nothing;
    else if (kind == "refused") e.kind = Renewal::Refused;
    else r.fail("result", "must be valid, apipa, nothing or refused");
    e.poll = uint32_t(r.integer("poll", 1, 1, 1000));
    e.address = address(r, "address", e.kind == Renewal::Apipa ? "169.254.23.17" : x.address, true);
    e.mask = address(r, "mask", e.kind == Renewal::Apipa ? "255.255.0.0" : x.mask, false);
    e.gateway = address(r, "gateway", e.kind == Renewal::Valid ? x.gateway : "", true);
    e.error = uint32_t(r.integer("error", 1231, 1, UINT32_MAX));
    if (e.kind == Renewal::Valid && e.address.empty()) r.fail("address", "a valid renewal needs an address");
    r.done();
    x.renewals.push_back(e);
  }
  n.done();
}

} // namespace

void loadIp(Section& s, IpWorld& w) {
  w.dns = addresses(s, "dns");
  w.failAdaptersInfo = calls(s, "fail_adapters_info");
  w.adaptersInfoError = uint32_t(s.integer("adapters_info_error", 31, 1, UINT32_MAX));
  w.failNetworkParams = calls(s, "fail_network_params");
  w.networkParamsError = uint32_t(s.integer("network_params_error", 31, 1, UINT32_MAX));
  w.failForwardTable = calls(s, "fail_forward_table");
  w.forwardTableError = uint32_t(s.integer("forward_table_error", 31, 1, UINT32_MAX));
  w.failAddAddress = calls(s, "fail_add_address");
  w.addAddressError = uint32_t(s.integer("add_address_error", 31, 1, UINT32_MAX));
  w.failDeleteAddress = calls(s, "fail_delete_address");
  w.deleteAddressError = uint32_t(s.integer("delete_address_error", 31, 1, UINT32_MAX));
  w.adapterIndexFails = s.boolean("adapter_index_fails", false);
  w.adapterIndexError = uint32_t(s.integer("adapter_index_error", 1168, 1, UINT32_MAX));
  w.icmpCreateFails = s.boolean("icmp_create_fails", false);
  w.failEcho = calls(s, "fail_echo");
  w.echoError = uint32_t(s.integer("echo_error", 11050, 1, UINT32_MAX));
  w.failHostByName = calls(s, "fail_host_by_name");
  w.failHostByAddr = calls(s, "fail_host_by_addr");
  w.lookupError = uint32_t(s.integer("lookup_error", 11002, 1, UINT32_MAX));
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
    x.destination = address(r, "destination", "0.0.0.0", false);
    x.mask = address(r, "mask", "0.0.0.0", false);
    x.nextHop = address(r, "next_hop", "0.0.0.0", false);
    x.ifIndex = uint32_t(r.integer("if_index", 1, 0, UINT32_MAX));
    x.metric = uint32_t(r.integer("metric", 1, 0, UINT32_MAX));
    x.deleteFails = r.boolean("delete_fails", false);
    r.done();
    w.routes.push_back(x);
  }
  s.done();
}

} // namespace sim
