// The IP part of the world: adapters, addresses, routes, DHCP servers, hosts
// that answer echoes and names that resolve.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct IpAddressEntry {
  std::string address;
  std::string mask;
  uint32_t context = 0; // 0: assigned by the stack
};

// One IP adapter as GetAdaptersInfo reports it. The WLAN adapter is the one
// whose name equals the WLAN binding's device name.
struct AdapterConfig {
  std::string name;
  std::string description;
  uint32_t index = 1;
  bool dhcp = true;
  std::vector<IpAddressEntry> addresses;
  std::vector<std::string> gateways;
  std::string dhcpServer;
  int64_t leaseObtained = 0; // seconds since 1970 (UTC)
};

// A destination that answers echoes through a network.
struct EchoHost {
  std::string address;
  uint32_t rtt = 1;        // ms; at or above the time-out: no answer in time
  uint32_t status = 0;     // nonzero: an error report comes back instead
  std::string replyFrom;   // the reply's address (default: the destination)
};

// Most bytes a host entry's address may claim (h_length).
constexpr int MAX_ADDRESS_LENGTH = 64;

struct NameEntry {
  std::string name;
  std::vector<std::string> addresses; // may be empty: a host entry without address
  uint32_t addressLength = 4;         // h_length as sent (hostile entries)
};

struct ReverseEntry {
  std::string address;
  std::string name;
  std::vector<std::string> addresses; // default: the address itself
  uint32_t addressLength = 4;
};

// What one renewal of the lease yields, poll by poll.
struct Renewal {
  enum Kind { Valid, Apipa, Nothing, Refused } kind = Valid;
  uint32_t poll = 1;     // the poll (1-based) from which the new address shows
  std::string address;   // the address then held (Valid, Apipa)
  std::string mask = "255.255.255.0";
  std::string gateway;   // Valid: the gateway then held
  uint32_t error = 1231; // Refused: IpRenewAddress's answer
};

// Per network (by SSID): what the WLAN adapter holds after joining it, and
// what can be reached through it.
struct NetworkIp {
  std::string ssid;
  // The DHCP lease handed out on joining (DHCP adapters only). An empty
  // address means no DHCP answer: the adapter holds 0.0.0.0.
  std::string address;
  std::string mask = "255.255.255.0";
  std::string gateway;
  std::string dhcpServer;
  int64_t leaseObtained = 0;
  // The network's own subnet; default: the lease's address and mask.
  uint32_t subnet = 0, subnetMask = 0;
  bool subnetGiven = false;
  std::vector<std::string> dns; // default: [ip].dns
  std::vector<EchoHost> hosts;
  std::vector<NameEntry> names;
  std::vector<ReverseEntry> reverse;
  // DHCP release and renewals.
  uint32_t releaseError = 0;          // nonzero: IpReleaseAddress answers it
  std::vector<Renewal> renewals;      // one per IpRenewAddress, in order; then repeats the last
};

struct RouteEntry {
  std::string destination = "0.0.0.0";
  std::string mask = "0.0.0.0";
  std::string nextHop;
  uint32_t ifIndex = 1;
  uint32_t metric = 1;
  bool deleteFails = false;
};

struct IpWorld {
  std::vector<AdapterConfig> adapters;
  std::vector<std::string> dns; // DNS servers while on no listed network
  std::vector<NetworkIp> networks;
  std::vector<RouteEntry> routes; // routes besides those of the adapters' gateways
  // Injected failures: the n-th call (1-based) answers the error.
  std::vector<uint32_t> failAdaptersInfo;
  uint32_t adaptersInfoError = 31;
  std::vector<uint32_t> failNetworkParams;
  uint32_t networkParamsError = 31;
  std::vector<uint32_t> failForwardTable;
  uint32_t forwardTableError = 31;
  std::vector<uint32_t> failAddAddress;
  uint32_t addAddressError = 31;
  std::vector<uint32_t> failDeleteAddress;
  uint32_t deleteAddressError = 31;
  bool adapterIndexFails = false;
  uint32_t adapterIndexError = 1168; // ERROR_NOT_FOUND
  bool icmpCreateFails = false;
  std::vector<uint32_t> failEcho;    // n-th IcmpSendEcho calls refused at once
  uint32_t echoError = 11050;        // IP_GENERAL_FAILURE
  std::vector<uint32_t> failHostByName; // n-th lookups that fail whatever the names
  std::vector<uint32_t> failHostByAddr;
  uint32_t lookupError = 11002;      // WSATRY_AGAIN: the name server did not answer
};

} // namespace sim
