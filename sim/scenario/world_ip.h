// The IP part of the world: adapters, addresses, routes, DHCP servers, hosts
// that answer echoes and names that resolve.
//
// Every address is parsed once, when the scenario loads, and kept as a
// number in host byte order: the model compares and formats numbers only,
// so "001.002.003.004" in a file is 1.2.3.4 wherever it is used. An address
// the file may leave out is an Address (absent: none given).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Address = std::optional<uint32_t>;

// IP_ADDR_STRING.Context: the address's net table entry, what AddIPAddress
// answers and DeleteIPAddress takes. It names one address: no two addresses
// held at once share one, and none is 0 (the Context of an adapter's empty
// 0.0.0.0 entry). The file may name one; else the stack assigns one from
// 0x100 upward, skipping every Context the file names.
constexpr uint32_t STACK_ASSIGNS = 0;

struct IpAddressEntry {
  uint32_t address = 0;
  uint32_t mask = 0;
  uint32_t context = STACK_ASSIGNS;
};

// One IP adapter as GetAdaptersInfo reports it. The WLAN adapter is the one
// whose name equals the WLAN binding's device name.
struct AdapterConfig {
  std::string name;
  std::string description;
  uint32_t index = 1;
  bool dhcp = true;
  std::vector<IpAddressEntry> addresses;
  std::vector<uint32_t> gateways;
  uint32_t dhcpServer = 0;    // 0: none
  int64_t leaseObtained = 0;  // seconds since 1970 (UTC)
  // Virtual ms at which the adapter appears (with its addresses, gateways
  // and their routes); -1: there from the start. When it lands: Appearance
  // in ip/ipstack.h.
  int64_t appearsAt = -1;
};

// A destination that answers echoes through a network.
struct EchoHost {
  uint32_t address = 0;
  uint32_t rtt = 1;     // ms; at or above the time-out: no answer in time
  uint32_t status = 0;  // nonzero: an error report comes back instead
  Address replyFrom;    // the reply's address (absent: the destination)
};

// Most bytes a host entry's address may claim (h_length).
constexpr int MAX_ADDRESS_LENGTH = 64;

struct NameEntry {
  std::string name;
  std::vector<uint32_t> addresses;  // may be empty: a host entry without address
  uint32_t addressLength = 4;       // h_length as sent (hostile entries)
};

struct ReverseEntry {
  uint32_t address = 0;
  std::string name;
  std::vector<uint32_t> addresses;  // default: the address itself
  uint32_t addressLength = 4;
};

// What one renewal of the lease yields, poll by poll.
struct Renewal {
  enum Kind { Valid, Apipa, Nothing, Refused } kind = Valid;
  uint32_t poll = 1;  // the poll (1-based) from which the new address shows
  Address address;    // the address then held (Valid, Apipa)
  uint32_t mask = 0xFFFFFF00;
  Address gateway;                   // Valid: the gateway then held
  uint32_t error = 1231;             // Refused: IpRenewAddress's answer
  uint32_t ms = 200;                 // how long IpRenewAddress blocks (default: [ip] renew_ms)
  uint32_t context = STACK_ASSIGNS;  // Valid, Apipa: the new address's Context
};

// Whom a lookup on a network reaches. Route: the first of the network's
// name servers to which the WLAN adapter has a route answers; none routed,
// nobody answers; a device that holds no name server fails every lookup at
// once. Answers: every lookup on the network is answered, whatever the
// route and the servers held (a world the model of routes cannot say).
// Silent: the servers are there but never answer.
enum class NameServer : uint8_t { Route, Answers, Silent };

// Per network (by SSID): what the WLAN adapter holds after joining it, and
// what can be reached through it.
struct NetworkIp {
  std::string ssid;  // its bytes, as the radio's networks hold theirs
  // Whether the WLAN adapter uses DHCP on this network; absent: as its
  // [[ip.adapter]] says. False: on joining it holds the fixed address,
  // mask and gateway below, with DhcpEnabled off; true: it takes the lease
  // even if its own configuration is fixed.
  std::optional<bool> dhcp;
  // The DHCP lease handed out on joining (DHCP adapters only). No address
  // means no DHCP answer: the adapter holds 0.0.0.0.
  Address address;
  uint32_t mask = 0xFFFFFF00;
  Address gateway;
  uint32_t context = STACK_ASSIGNS;  // the lease's (or fixed address's) Context
  uint32_t dhcpServer = 0;           // 0: none
  int64_t leaseObtained = 0;
  // The network's own subnet; default: the lease's address and mask.
  uint32_t subnet = 0, subnetMask = 0;
  bool subnetGiven = false;
  std::vector<uint32_t> dns;  // default: [ip].dns
  NameServer nameServer = NameServer::Route;
  // The lease arrives this long after the join (default: [ip] lease_ms).
  uint32_t leaseMs = 800;
  std::vector<EchoHost> hosts;
  std::vector<NameEntry> names;
  std::vector<ReverseEntry> reverse;
  // DHCP release and renewals.
  uint32_t releaseError = 0;  // nonzero: IpReleaseAddress answers it
  // One per IpRenewAddress made on this network, in order, counted from
  // the network's own first renewal; then the last repeats.
  std::vector<Renewal> renewals;
};

struct RouteEntry {
  uint32_t destination = 0;
  uint32_t mask = 0;
  uint32_t nextHop = 0;
  uint32_t ifIndex = 1;
  uint32_t metric = 1;
  bool deleteFails = false;
  int64_t appearsAt = -1;  // virtual ms at which the route appears; -1: from the start
};

// Device time of the IP stack's blocking requests, in ms, and where each
// default comes from (docs/scenarios.md says the same).
struct IpTiming {
  // A lookup the name server answers, found or not: one query and its answer
  // over the WLAN to a server on or near the network.
  uint32_t lookupMs = 40;
  // A lookup nobody answers: the resolver's time-outs of 1, 2, 2, 4 and 8 s
  // between its retries, 17 s in all, before it gives up.
  uint32_t lookupTimeoutMs = 17000;
  // The DHCP exchange after a join (DISCOVER, OFFER, REQUEST, ACK with a
  // server on the network, the server's offer delay included).
  uint32_t leaseMs = 800;
  // IpRenewAddress blocks for the renewal's REQUEST and ACK.
  uint32_t renewMs = 200;
};

struct IpWorld {
  IpTiming timing;
  std::vector<AdapterConfig> adapters;
  std::vector<uint32_t> dns;  // DNS servers while on no listed network
  std::vector<NetworkIp> networks;
  std::vector<RouteEntry> routes;  // routes besides those of the adapters' gateways
  // Its injected failures are faults (fault.h).
};

// Whether an IP adapter's name is that of an 802.11 binding of `driver`.
// The radio is shared by every such binding; the first IP adapter named
// like any of them is the WLAN adapter, the one joins and the DHCP client
// act on.
struct DriverWorld;
bool wlanAdapterName(const DriverWorld& driver, const std::string& name);

}  // namespace sim
