// The IP helper calls that change the simulated device's configuration:
// addresses, routes, DHCP release and renewal.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "harness/trace.h"
#include "ip/ipstack.h"
#include "ip/ipv4.h"
#include "platform/iphlp.h"
#include "system/switch_point.h"

namespace sim {
namespace {

constexpr plat::DWORD ERROR_NOT_FOUND = 1168;

// What the next renewal on the current network yields: its lists are
// counted per network, so each network's first renewal takes its first
// entry, whatever was renewed elsewhere before (the last one listed
// repeats). A network that lists none renews to its own lease at the first
// poll, or to nothing when it hands out no lease.
Renewal nextRenewal(IpState& s) {
  const NetworkIp* net = currentNetwork();
  size_t n = 0;
  if (net) n = s.renewals[size_t(net - world.ip.networks.data())]++;
  if (net && !net->renewals.empty())
    return net->renewals[std::min<size_t>(n, net->renewals.size() - 1)];
  Renewal r;
  r.ms = world.ip.timing.renewMs;
  if (net && net->address) {
    r.kind = Renewal::Valid;
    r.address = net->address;
    r.mask = net->mask;
    r.gateway = net->gateway;
  } else {
    r.kind = Renewal::Nothing;
  }
  return r;
}

}  // namespace
}  // namespace sim

namespace plat {

DWORD addIPAddress(IPAddr address, IPMask mask, DWORD ifIndex, ULONG* context, ULONG* instance) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow();
  LiveAdapter* a = adapterByIndex(ifIndex);
  DWORD answer = 0;
  if (const Fault* f = nextCallFails(FaultCall::AddAddress))
    answer = f->answer;
  else if (!a || !context || !instance)
    answer = ERROR_INVALID_PARAMETER;
  uint32_t ctx = 0;
  if (!answer) {
    ctx = newContext();
    a->addresses.push_back({fromNetwork(address), fromNetwork(mask), ctx});
    s.routes.push_back({fromNetwork(address) & fromNetwork(mask), fromNetwork(mask),
                        fromNetwork(address), ifIndex, 1, false});
    *context = ctx;
    *instance = ctx;
  }
  trace("AddIPAddress", {{"address", formatIpv4(fromNetwork(address))},
                         {"mask", formatIpv4(fromNetwork(mask))},
                         {"if", ifIndex},
                         {"context", ctx},
                         {"answer", answer}});
  return answer;
}

DWORD deleteIPAddress(ULONG context) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow();
  DWORD answer = ERROR_INVALID_PARAMETER;
  if (const Fault* f = nextCallFails(FaultCall::DeleteAddress)) {
    answer = f->answer;
  } else {
    for (LiveAdapter& a : s.adapters) {
      auto it = std::find_if(a.addresses.begin(), a.addresses.end(),
                             [&](const LiveAddress& x) { return x.context == context; });
      if (it != a.addresses.end()) {
        uint32_t gone = it->address;
        a.addresses.erase(it);
        std::erase_if(s.routes,
                      [&](const LiveRoute& r) { return r.destination != 0 && r.nextHop == gone; });
        answer = 0;
        break;
      }
    }
  }
  trace("DeleteIPAddress", {{"context", context}, {"answer", answer}});
  return answer;
}

// The route table. No size: ERROR_INVALID_PARAMETER. A table without any
// route answers ERROR_NO_DATA (232) whatever the buffer (none, too small or
// large enough), leaving the size as it was and writing nothing: the
// platform documents ERROR_NO_DATA for "no routes present", and its other
// tables (the ARP table) answer so to the sizing call itself. Otherwise a
// missing or short block answers ERROR_INSUFFICIENT_BUFFER with the size
// needed.
DWORD getIpForwardTable(MIB_IPFORWARDTABLE* table, ULONG* size, BOOL) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow(IpQuery::Routes);
  uint32_t call = countCall(FaultCall::ForwardTable);
  size_t needed = offsetof(MIB_IPFORWARDTABLE, table) + s.routes.size() * sizeof(MIB_IPFORWARDROW);
  DWORD answer = 0;
  if (!size)
    answer = ERROR_INVALID_PARAMETER;
  else if (const Fault* f = faultFires(FaultCall::ForwardTable, call))
    answer = f->answer;
  else if (s.routes.empty())
    answer = ERROR_NO_DATA;
  else if (!table || *size < needed) {
    *size = ULONG(needed);
    answer = ERROR_INSUFFICIENT_BUFFER;
  }
  trace("GetIpForwardTable",
        {{"size", size ? *size : 0u}, {"rows", uint64_t(s.routes.size())}, {"answer", answer}});
  if (answer) return answer;
  table->dwNumEntries = DWORD(s.routes.size());
  for (size_t i = 0; i < s.routes.size(); i++) {
    const LiveRoute& r = s.routes[i];
    MIB_IPFORWARDROW& row = table->table[i];
    std::memset(&row, 0, sizeof row);
    row.dwForwardDest = toNetwork(r.destination);
    row.dwForwardMask = toNetwork(r.mask);
    row.dwForwardNextHop = toNetwork(r.nextHop);
    row.dwForwardIfIndex = r.ifIndex;
    row.dwForwardType = r.destination == 0 ? 4 : 3;  // indirect / direct
    row.dwForwardProto = 3;                          // netmgmt
    row.dwForwardMetric1 = r.metric;
  }
  return 0;
}

DWORD deleteIpForwardEntry(MIB_IPFORWARDROW* route) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow();
  DWORD answer = ERROR_NOT_FOUND;
  uint32_t dest = fromNetwork(route->dwForwardDest), mask = fromNetwork(route->dwForwardMask);
  uint32_t hop = fromNetwork(route->dwForwardNextHop);
  for (auto it = s.routes.begin(); it != s.routes.end(); ++it) {
    if (it->destination == dest && it->mask == mask && it->nextHop == hop &&
        it->ifIndex == route->dwForwardIfIndex) {
      if (it->deleteFails) {
        answer = ERROR_GEN_FAILURE;
      } else {
        s.routes.erase(it);
        answer = 0;
      }
      break;
    }
  }
  trace("DeleteIpForwardEntry", {{"destination", formatIpv4(dest)},
                                 {"next_hop", formatIpv4(hop)},
                                 {"if", route->dwForwardIfIndex},
                                 {"answer", answer}});
  return answer;
}

DWORD getAdapterIndex(char16_t* adapterName, ULONG* index) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow();
  std::u16string name;
  for (size_t i = 0; adapterName && i < 260 && adapterName[i]; i++) name += adapterName[i];
  DWORD answer = ERROR_NOT_FOUND;
  if (const Fault* f = nextCallFails(FaultCall::AdapterIndex)) {
    answer = f->answer;
  } else if (index) {
    for (const LiveAdapter& a : s.adapters) {
      if (utf8(name) == a.config->name) {
        *index = a.config->index;
        answer = 0;
        break;
      }
    }
  }
  trace("GetAdapterIndex", {{"name", utf8(name)}, {"answer", answer}});
  return answer;
}

DWORD ipReleaseAddress(IP_ADAPTER_INDEX_MAP* map) {
  sim::switchPoint();
  using namespace sim;
  ipNow();
  LiveAdapter* a = map ? adapterByIndex(map->Index) : nullptr;
  const NetworkIp* net = currentNetwork();
  DWORD answer = 0;
  if (!a)
    answer = ERROR_INVALID_PARAMETER;
  else if (net && net->releaseError)
    answer = net->releaseError;
  if (!answer) {
    a->addresses.erase(std::remove_if(a->addresses.begin(), a->addresses.end(),
                                      [](const LiveAddress& x) { return x.context != 3; }),
                       a->addresses.end());
    a->gateways.clear();
    a->dhcpServer = 0;
    a->leaseObtained = 0;
    if (a->wlan) setWlanDefaultRoute(0);
  }
  trace("IpReleaseAddress", {{"index", map ? map->Index : 0u}, {"answer", answer}});
  return answer;
}

DWORD ipRenewAddress(IP_ADAPTER_INDEX_MAP* map) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow();
  LiveAdapter* a = map ? adapterByIndex(map->Index) : nullptr;
  DWORD answer = 0;
  Renewal r;
  if (!a) {
    answer = ERROR_INVALID_PARAMETER;
  } else {
    r = nextRenewal(s);
    if (r.kind == Renewal::Refused) answer = r.error;
  }
  if (!answer) {
    // The new address shows half-way before the given poll (polls come
    // every 2000 ms after the request), so poll k is the first to see it.
    // The renewal's exchange takes over from a lease still on its way
    // after the join.
    s.lease.active = false;
    s.pending.active = true;
    s.pending.result = r;
    s.pending.showsAt = now() + Ms(r.poll) * 2000 - 1000;
    if (r.kind == Renewal::Nothing) {
      // Renewing drops what the adapter held; nothing comes back.
      a->addresses.erase(std::remove_if(a->addresses.begin(), a->addresses.end(),
                                        [](const LiveAddress& x) { return x.context != 3; }),
                         a->addresses.end());
      s.pending.active = false;
    }
  }
  // The call blocks for the renewal's exchange (an unknown adapter is
  // refused at once); the address it brings still shows at its poll,
  // counted from the request.
  Ms ms = a ? r.ms : 0;
  static const char* const kinds[] = {"valid", "apipa", "nothing", "refused"};
  trace("IpRenewAddress", {{"index", map ? map->Index : 0u},
                           {"result", a ? kinds[r.kind] : "none"},
                           {"poll", r.poll},
                           {"answer", answer},
                           {"ms", ms}});
  if (ms) sleepUntil(now() + ms, "a DHCP renewal");
  return answer;
}

}  // namespace plat
