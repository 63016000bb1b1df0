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

// Every Context the file names, so that the stack's own never meets one.
void nameContexts() {
  std::vector<uint32_t>& v = state.namedContexts;
  for (const AdapterConfig& c : world.ip.adapters)
    for (const IpAddressEntry& e : c.addresses) v.push_back(e.context);
  for (const NetworkIp& n : world.ip.networks) {
    v.push_back(n.context);
    for (const Renewal& r : n.renewals) v.push_back(r.context);
  }
  std::erase(v, STACK_ASSIGNS);
  std::sort(v.begin(), v.end());
}

uint32_t contextFor(uint32_t named) { return named != STACK_ASSIGNS ? named : newContext(); }

// An adapter's own addresses, as its [[ip.adapter]] gives them.
std::vector<LiveAddress> ownAddresses(const AdapterConfig& c) {
  std::vector<LiveAddress> v;
  for (const IpAddressEntry& e : c.addresses)
    v.push_back({e.address, e.mask, contextFor(e.context)});
  return v;
}

// An adapter as the scenario gives it, with the routes of its gateway and
// addresses added to the table.
LiveAdapter liveAdapter(const AdapterConfig& c) {
  LiveAdapter a;
  a.config = &c;
  // An adapter that the program cannot reach (say a binding whose query
  // fails) still counts: the radio is shared by every 802.11 binding.
  a.wlan = wlanAdapterName(world.driver, c.name);
  a.dhcp = c.dhcp;
  a.addresses = ownAddresses(c);
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
  nameContexts();
  state.renewals.assign(world.ip.networks.size(), 0);
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

// The record of what the adapter took: its first address and that
// address's Context (0: it holds none).
void traceTaken(const char* event, const LiveAdapter& a) {
  bool none = a.addresses.empty();
  trace("sim.dhcp", {{"event", event},
                     {"address", none ? "0.0.0.0" : formatIpv4(a.addresses[0].address)},
                     {"context", none ? 0u : a.addresses[0].context}});
}

// A fixed configuration on joining: the network's own (dhcp = false there),
// or, back from such a network, the adapter's own. DhcpEnabled is off and
// nothing of a lease is left.
void fixedOnJoin(LiveAdapter& w, const NetworkIp* n) {
  w.dhcp = false;
  w.dhcpServer = 0;
  w.leaseObtained = 0;
  w.addresses.clear();
  w.gateways.clear();
  if (n) {
    w.addresses.push_back({n->address.value_or(0), n->mask, contextFor(n->context)});
    if (n->gateway) w.gateways.push_back(*n->gateway);
  } else {
    w.addresses = ownAddresses(*w.config);
    w.gateways = w.config->gateways;
  }
  setWlanDefaultRoute(w.gateways.empty() ? 0 : w.gateways[0]);
  traceTaken(n ? "fixed by network on join" : "own fixed on join", w);
}

// A new join: the adapter takes the configuration it has on that network.
// A fixed configuration holds at once. With DHCP the adapter drops what it
// held and holds 0.0.0.0 until the network's lease arrives, lease_ms after
// the join (a network that hands out no lease never sends one). An adapter
// fixed by its own configuration keeps what it holds.
void joined() {
  state.lease.active = false;
  LiveAdapter* w = wlanAdapter();
  if (!w) return;
  const NetworkIp* n = currentNetwork();
  const bool networkConfig = n && n->dhcp;
  const bool dhcp = networkConfig ? *n->dhcp : w->config->dhcp;
  const bool restore = w->networkConfig && !networkConfig;
  w->networkConfig = networkConfig;
  if (!dhcp) {
    if (networkConfig || restore) fixedOnJoin(*w, networkConfig ? n : nullptr);
    return;
  }
  w->dhcp = true;
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
  w->addresses.push_back({*n->address, n->mask, contextFor(n->context)});
  uint32_t gateway = 0;
  if (n->gateway) w->gateways.push_back(gateway = *n->gateway);
  w->dhcpServer = n->dhcpServer;
  w->leaseObtained = n->leaseObtained;
  setWlanDefaultRoute(gateway);
  traceTaken("lease on join", *w);
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
  w->addresses.push_back({r.address.value_or(0), r.mask, contextFor(r.context)});
  w->gateways.clear();
  const NetworkIp* n = currentNetwork();
  uint32_t gateway = 0;
  if (r.kind == Renewal::Valid && r.gateway) w->gateways.push_back(gateway = *r.gateway);
  if (r.kind == Renewal::Valid && n) {
    w->dhcpServer = n->dhcpServer;
    w->leaseObtained = n->leaseObtained;
  }
  setWlanDefaultRoute(gateway);
  traceTaken(r.kind == Renewal::Valid ? "renewed" : "apipa", *w);
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

uint32_t newContext() {
  auto taken = [](uint32_t c) {
    if (c == STACK_ASSIGNS ||
        std::binary_search(state.namedContexts.begin(), state.namedContexts.end(), c))
      return true;
    for (const LiveAdapter& a : state.adapters)
      for (const LiveAddress& x : a.addresses)
        if (x.context == c) return true;
    return false;
  };
  uint32_t c = state.nextContext++;
  while (taken(c)) c = state.nextContext++;
  return c;
}

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
