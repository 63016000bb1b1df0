#include "ip/ipstack.h"

#include <algorithm>

#include "harness/trace.h"
#include "ip/ipv4.h"
#include "platform/assert.h"
#include "radio/radio_link.h"
#include "scenario/world.h"

namespace sim {
namespace {

IpState state;

// Whether an IP adapter's name is that of an 802.11 binding. The radio is
// shared by every such binding, so the first IP adapter named like any of
// them is the one joins and the DHCP client act on (one that the program
// cannot reach, say a binding whose query fails, has no part in it).
bool wlanName(const std::string& name) {
  for (const Binding& b : world.driver.bindings)
    if (b.acceptsScan && !b.deviceName.empty() && utf8(b.deviceName) == name) return true;
  return false;
}

// An adapter as the scenario gives it, with the routes of its gateway and
// addresses added to the table.
LiveAdapter liveAdapter(const AdapterConfig& c) {
  LiveAdapter a;
  a.config = &c;
  a.wlan = wlanName(c.name);
  a.dhcp = c.dhcp;
  for (const IpAddressEntry& e : c.addresses)
    a.addresses.push_back({e.address, e.mask, e.context ? e.context : newContext()});
  a.gateways = c.gateways;
  a.dhcpServer = c.dhcpServer;
  a.leaseObtained = c.leaseObtained;
  if (!a.gateways.empty()) state.routes.push_back({0, 0, a.gateways[0], c.index, 1, false});
  for (const LiveAddress& x : a.addresses)
    if (x.address)
      state.routes.push_back({x.address & x.mask, x.mask, x.address, c.index, 1, false});
  return a;
}

LiveRoute liveRoute(const RouteEntry& r) {
  return {r.destination, r.mask, r.nextHop, r.ifIndex, r.metric, r.deleteFails};
}

void initState() {
  QV_ASSERT(!state.ready, "the stack starts once");
  state.ready = true;
  for (size_t i = 0; i < world.ip.adapters.size(); i++) {
    const AdapterConfig& c = world.ip.adapters[i];
    if (c.appearsAt >= 0)
      state.appearances.push_back({true, i});
    else
      state.adapters.push_back(liveAdapter(c));
  }
  for (size_t i = 0; i < world.ip.routes.size(); i++) {
    const RouteEntry& r = world.ip.routes[i];
    if (r.appearsAt >= 0)
      state.appearances.push_back({false, i});
    else
      state.routes.push_back(liveRoute(r));
  }
  // Joins are counted from the start: an adapter on a network at start
  // keeps what the scenario gives it until it joins anew.
  state.joins = 0;
}

// A new join: a DHCP adapter drops what it held and holds 0.0.0.0 until the
// network's lease arrives, lease_ms after the join (a network that hands
// out no lease never sends one).
void joined() {
  state.lease.active = false;
  LiveAdapter* w = wlanAdapter();
  if (!w || !w->dhcp) return;
  const NetworkIp* n = currentNetwork();
  w->addresses.clear();
  w->gateways.clear();
  w->dhcpServer = 0;
  w->leaseObtained = 0;
  setWlanDefaultRoute(0);
  if (n && n->address) {
    state.lease.active = true;
    state.lease.at = lastJoinAt() + n->leaseMs;
  }
  trace("sim.dhcp", {{"event", "joined"},
                     {"lease_at", state.lease.active ? state.lease.at : 0},
                     {"address", "0.0.0.0"}});
}

// The lease handed out on joining, once its exchange is over.
void applyDueLease() {
  PendingLease& p = state.lease;
  if (!p.active || now() < p.at) return;
  p.active = false;
  LiveAdapter* w = wlanAdapter();
  const NetworkIp* n = currentNetwork();
  if (!w || !n || !n->address) return;
  w->addresses.push_back({*n->address, n->mask, newContext()});
  uint32_t gateway = 0;
  if (n->gateway) w->gateways.push_back(gateway = *n->gateway);
  w->dhcpServer = n->dhcpServer;
  w->leaseObtained = n->leaseObtained;
  setWlanDefaultRoute(gateway);
  trace("sim.dhcp", {{"event", "lease on join"}, {"address", formatIpv4(*n->address)}});
}

void applyDueRenewal() {
  PendingRenewal& p = state.pending;
  if (!p.active || now() < p.showsAt) return;
  p.active = false;
  LiveAdapter* w = wlanAdapter();
  if (!w) return;
  const Renewal& r = p.result;
  if (r.kind != Renewal::Valid && r.kind != Renewal::Apipa) return;
  w->addresses.clear();
  w->addresses.push_back({r.address.value_or(0), r.mask, newContext()});
  w->gateways.clear();
  const NetworkIp* n = currentNetwork();
  uint32_t gateway = 0;
  if (r.kind == Renewal::Valid && r.gateway) w->gateways.push_back(gateway = *r.gateway);
  if (r.kind == Renewal::Valid && n) {
    w->dhcpServer = n->dhcpServer;
    w->leaseObtained = n->leaseObtained;
  }
  setWlanDefaultRoute(gateway);
  trace("sim.dhcp", {{"event", r.kind == Renewal::Valid ? "renewed" : "apipa"},
                     {"address", r.address ? formatIpv4(*r.address) : ""}});
}

// An appearing adapter takes its place in the file's order among those
// there; a route goes to the end of the table.
void land(const Appearance& x) {
  if (!x.adapter) {
    const RouteEntry& r = world.ip.routes[x.index];
    state.routes.push_back(liveRoute(r));
    trace("sim.ip", {{"event", "route appears"}, {"destination", formatIpv4(r.destination)}});
    return;
  }
  const AdapterConfig& c = world.ip.adapters[x.index];
  auto at = std::find_if(state.adapters.begin(), state.adapters.end(),
                         [&](const LiveAdapter& a) { return a.config > &c; });
  state.adapters.insert(at, liveAdapter(c));
  trace("sim.ip", {{"event", "adapter appears"}, {"name", c.name}});
}

// Lands what an earlier call armed and what is past due; a query of its
// own table at the very moment arms what is due now.
void appear(IpQuery query) {
  for (Appearance& x : state.appearances) {
    if (x.state == Appearance::Landed) continue;
    Ms at =
        Ms(x.adapter ? world.ip.adapters[x.index].appearsAt : world.ip.routes[x.index].appearsAt);
    bool own = query == (x.adapter ? IpQuery::Adapters : IpQuery::Routes);
    if (x.state == Appearance::Armed || now() > at) {
      x.state = Appearance::Landed;
      land(x);
    } else if (now() == at && own) {
      x.state = Appearance::Armed;
    }
  }
}

bool inside(uint32_t a, uint32_t net, uint32_t mask) { return (a & mask) == (net & mask); }

}  // namespace

int defaultRoutesLeft() {
  int defaults = 0;
  if (state.ready)
    for (const LiveRoute& r : state.routes) defaults += r.destination == 0;
  else
    for (const AdapterConfig& a : world.ip.adapters) defaults += !a.gateways.empty();
  return defaults;
}

uint32_t newContext() { return state.nextContext++; }

IpState& ipNow(IpQuery query) {
  if (!state.ready) initState();
  appear(query);
  if (joinCount() != state.joins) {
    state.joins = joinCount();
    state.pending.active = false;
    joined();
  }
  applyDueLease();
  applyDueRenewal();
  return state;
}

LiveAdapter* wlanAdapter() {
  for (LiveAdapter& a : state.adapters)
    if (a.wlan) return &a;
  return nullptr;
}

LiveAdapter* adapterByIndex(uint32_t index) {
  for (LiveAdapter& a : state.adapters) {
    QV_ASSERT(a.config != nullptr, "every live adapter has its configuration");
    if (a.config->index == index) return &a;
  }
  return nullptr;
}

const NetworkIp* currentNetwork() {
  const std::string* ssid = associatedSsid();
  if (!ssid) return nullptr;
  for (const NetworkIp& n : world.ip.networks)
    if (n.ssid == *ssid) return &n;
  return nullptr;
}

void setWlanDefaultRoute(uint32_t gateway) {
  LiveAdapter* w = wlanAdapter();
  if (!w) return;
  uint32_t index = w->config->index;
  std::erase_if(state.routes, [&](const LiveRoute& r) { return r.ifIndex == index; });
  for (const LiveAddress& a : w->addresses)
    if (a.address) state.routes.push_back({a.address & a.mask, a.mask, a.address, index, 1, false});
  if (gateway) state.routes.push_back({0, 0, gateway, index, 1, false});
}

bool routedThroughWlan(uint32_t destination) {
  IpState& s = ipNow();
  const NetworkIp* n = currentNetwork();
  LiveAdapter* w = wlanAdapter();
  if (!n || !w) return false;
  uint32_t net = n->subnetGiven ? n->subnet : n->address.value_or(0);
  uint32_t mask = n->subnetGiven ? n->subnetMask : n->mask;
  bool onNetwork = false;  // the adapter holds an address of the network's own subnet
  bool onLink = false;     // some address of the adapter covers the destination
  for (const LiveAddress& a : w->addresses) {
    if (!a.address) continue;
    if ((net || mask) && inside(a.address, net, mask)) onNetwork = true;
    if (inside(destination, a.address, a.mask)) onLink = true;
  }
  // A neighbour on a link one of the adapter's addresses covers is reached
  // directly; so is any host of the network once the adapter holds an
  // address of it.
  if (onLink) return true;
  bool local = (net || mask) && inside(destination, net, mask);
  if (local) return onNetwork;
  // Beyond the network: a default route through a gateway of the network.
  if (!onNetwork) return false;
  for (const LiveRoute& r : s.routes)
    if (r.destination == 0 && r.ifIndex == w->config->index && inside(r.nextHop, net, mask))
      return true;
  return false;
}

const EchoHost* echoAnswer(uint32_t destination) {
  const NetworkIp* n = currentNetwork();
  if (!n) return nullptr;
  const EchoHost* host = nullptr;
  for (const EchoHost& h : n->hosts)
    if (h.address == destination) host = &h;
  return host && routedThroughWlan(destination) ? host : nullptr;
}

const std::vector<uint32_t>& dnsServers() {
  const NetworkIp* n = currentNetwork();
  return n ? n->dns : world.ip.dns;
}

Lookup lookupNow() {
  ipNow();
  const IpTiming& t = world.ip.timing;
  const NetworkIp* n = currentNetwork();
  NameServer kind = n ? n->nameServer : NameServer::Route;
  if (kind == NameServer::Answers) return {Lookup::Answered, t.lookupMs};
  const std::vector<uint32_t>& servers = dnsServers();
  if (servers.empty()) return {Lookup::NoServer, 0};
  if (kind == NameServer::Route) {
    // The resolver asks the first server, and after its first time-out
    // (1 s) all of them.
    for (size_t i = 0; i < servers.size(); i++)
      if (routedThroughWlan(servers[i])) return {Lookup::Answered, t.lookupMs + (i ? 1000u : 0u)};
  }
  return {Lookup::TimedOut, t.lookupTimeoutMs};
}

}  // namespace sim
