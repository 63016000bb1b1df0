// The simulated device's IP stack: the live state of every adapter, the
// route table and the DHCP client of the WLAN adapter, kept in step with
// the radio.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "harness/scheduler.h"
#include "scenario/fault.h"
#include "scenario/world.h"

namespace sim {

struct LiveAddress {
  uint32_t address = 0;  // host byte order
  uint32_t mask = 0;
  uint32_t context = 0;
};

struct LiveAdapter {
  const AdapterConfig* config = nullptr;
  bool wlan = false;
  bool dhcp = true;  // DhcpEnabled: its own setting, or the joined network's
  // It holds the configuration of the network it joined ([[ip.network]]
  // dhcp), not its own: joining a network without one restores its own.
  bool networkConfig = false;
  std::vector<LiveAddress> addresses;
  std::vector<uint32_t> gateways;
  uint32_t dhcpServer = 0;
  int64_t leaseObtained = 0;
};

struct LiveRoute {
  uint32_t destination = 0, mask = 0, nextHop = 0, ifIndex = 0, metric = 1;
  bool deleteFails = false;
};

struct PendingRenewal {
  bool active = false;
  Renewal result;
  Ms showsAt = 0;
};

// An adapter or route of the world that is not there from the start
// (appears_at T, virtual ms). Every IP call (IP helper, ICMP, name lookup)
// made before T answers without it, every call made after T with it. At T
// itself the first query of its own table made at T (GetIpForwardTable for
// a route, GetAdaptersInfo for an adapter) still answers without it and
// arms it; it lands before the next IP call looks, as if it came while the
// caller worked on that answer (with no such query at T it is there from
// the first call after T). The program makes both calls of a two-call
// pattern at one virtual moment (allocating takes no time: the clock does
// not move between them), so T = the moment of the sizing call puts the
// appearance between the sizing call and the read, which then needs more
// room.
struct Appearance {
  bool adapter = false;  // an [[ip.adapter]]; else an [[ip.route]]
  size_t index = 0;      // in world.ip.adapters or world.ip.routes
  enum State { Waiting, Armed, Landed } state = Waiting;
};

struct PendingLease {
  bool active = false;
  Ms at = 0;  // when the DHCP exchange after the join is over
};

struct IpState {
  bool ready = false;
  std::vector<LiveAdapter> adapters;
  std::vector<LiveRoute> routes;
  uint64_t joins = 0;
  uint32_t nextContext = 0x100;
  std::vector<uint32_t> namedContexts;  // every Context the file names, sorted
  // IpRenewAddress calls made on each [[ip.network]] so far, by its index:
  // each network's renewals are taken from its own list, from its first.
  std::vector<size_t> renewals;
  PendingRenewal pending;
  PendingLease lease;
  std::vector<Appearance> appearances;
};

// Which table an IP call reads, for appearances due at this very moment.
enum class IpQuery { Other, Routes, Adapters };

// The state, brought up to date with the radio, with renewals and with
// appearances due by now.
IpState& ipNow(IpQuery query = IpQuery::Other);
LiveAdapter* wlanAdapter();
LiveAdapter* adapterByIndex(uint32_t index);
// The network the WLAN adapter is on, if the scenario describes it.
const NetworkIp* currentNetwork();
// A Context for an address the stack makes: from 0x100 upward, never one
// the file names nor one an address holds.
uint32_t newContext();
// Replaces the WLAN adapter's default routes by one through gateway (none
// when gateway is 0).
void setWlanDefaultRoute(uint32_t gateway);
// Whether a packet to `destination` has a way out through the WLAN adapter
// (only its link is modelled): on a link one of its addresses covers, on the
// network's subnet while it holds an address there, or beyond it through a
// default route via a gateway of the network.
bool routedThroughWlan(uint32_t destination);
// Whether an echo to `destination` through the current network is answered,
// and by what.
const EchoHost* echoAnswer(uint32_t destination);
// The name servers the device holds now (GetNetworkParams reports them):
// the current network's, else [ip].dns.
const std::vector<uint32_t>& dnsServers();
// What a lookup made now gets and how long it blocks.
struct Lookup {
  enum Outcome { NoServer, Answered, TimedOut } outcome;
  Ms ms;
};
Lookup lookupNow();
// The default routes the run leaves behind (for the trace's end record).
int defaultRoutesLeft();

}  // namespace sim
