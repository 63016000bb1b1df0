// What a field log tells about the world it came from, and what had to be
// chosen where it tells nothing. The reader fills it line by line; the
// writer turns it into a scenario.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::fromlog {

// One row of the survey, as printed.
struct SeenNetwork {
  std::string ssid;   // 8-bit, as the row shows it
  std::string bssid;  // dotted, as printed
  bool rssiShown = false;
  long long rssi = 0;
  int channel = 0;       // 0..13
  char type = 'O';       // 'O', 'W' or 'A'
  bool privacy = false;  // the key cause was given (an ad hoc network's privacy shows only so)
  bool listed = true;
  // Association, filled by the node loop (first network with this SSID).
  int joinPolls = -1;  // -1: never asked; 0: never joined; k: joined at poll k
};

// Contexts from here up are given to addresses no line shows the Context
// of, out of the way of the stack's own numbering.
constexpr long CONTEXT_ASIDE = 0x7F000000;

struct Renewal {
  enum Kind { Valid, Apipa, Nothing, Refused } kind = Valid;
  int poll = 1;
  std::string address, mask = "255.255.255.0", gateway;
  bool addressKnown = false;
  // The first connection data after it: what it showed besides the
  // address (mask, gateway, server, lease), as one text.
  bool detailsKnown = false;
  std::string detailsShown;
  long context = -1;  // as a release line showed it; -1: the stack's own
};

struct EchoHost {
  std::string address, replyFrom;
  long rtt = 1;
};

// Per SSID: the lease handed out on joining and what answers there.
struct NetworkIp {
  std::string ssid;
  // The WLAN adapter's configuration on this network where it differs from
  // the one it showed first: -1 none, 0 fixed (the address, mask and
  // gateway below are its fixed ones), 1 DHCP on a fixed adapter.
  int dhcpHere = -1;
  bool leaseKnown = false;  // the address after joining was seen
  std::string address;      // empty: no DHCP answer
  std::string mask = "255.255.255.0", gateway, dhcpServer;
  long long leaseObtained = 0;
  bool detailsKnown = false;  // mask, gateway, server and lease seen
  std::vector<std::string> dns;
  bool dnsKnown = false;
  std::vector<Renewal> renewals;
  std::vector<EchoHost> hosts;
  std::string dnsHostAddress;  // the address the test host name resolves to
  std::string subnet;          // a.b.c.d/n, or empty
  long releaseError = 0;
  long context = -1;  // of the address handed out on joining, as a release showed it
  // How long after the join holds its lease comes ([ip.network] lease_ms);
  // -1: at once ([ip] lease_ms 0).
  long leaseMs = -1;
  // Never joined: it only names the address contexts the dropped oldest
  // lines took.
  bool spare = false;
};

// The WLAN adapter's IP configuration before any join.
struct AdapterStart {
  bool dhcp = true;
  bool dhcpKnown = false;
  std::vector<std::pair<std::string, std::string>> addresses;  // address, mask
  std::vector<long> contexts;                                  // -1: assigned by the stack
  std::vector<std::string> gateways;
  std::string dhcpServer;
  long long leaseObtained = 0;
  bool seen = false;
};

struct Model {
  // [clock]
  int month = 12, day = 7, year = 2026, hour = 9, minute = 30, second = 0;
  int biasHours = 0;
  // [system]
  std::string commandLine;
  std::vector<std::pair<long, std::string>> messages;
  // [driver]: the NIC name, or none found.
  bool nicFound = false;
  std::string nicName;
  // [radio]
  long long itemsReported = -1;  // the "APs found" count
  std::vector<SeenNetwork> networks;
  bool startAssociated = false;  // "-Current state.... ASSOCIATED"
  // The first count of nodes left, and how many survey rows were known
  // then (with the oldest lines dropped, the survey is made from the node
  // lines, and the count tells of nodes the run never came to).
  long long firstNodesLeft = -1;
  size_t rowsAtFirstCount = 0;
  std::string associatedBssid;  // the network it was on, once the first node names it
  // [ip]
  AdapterStart adapter;
  // Addresses of an adapter the log never shows, which the stack numbered
  // at start, before the first Context a release line shows.
  long unseenAddresses = 0;
  bool ipAdapterMissing = false;  // "NIC not found in IP configuration."
  std::vector<std::string> dnsNoNetwork;
  bool dnsNoNetworkKnown = false;
  std::vector<NetworkIp> ipNetworks;
  std::vector<int> failEcho;
  // How long each name lookup takes ([ip] lookup_ms): 0 unless a sweep's
  // count of unfinished probes needs lookups that long; fixed by the
  // first sweep placed.
  long lookupMs = 0;
  bool lookupFixed = false;
  // What the log left open and the value taken for it, one sentence each.
  std::vector<std::string> choices;
  std::vector<std::pair<size_t, std::string>> inferred;  // from which line, what
  bool complete = true;                                  // ends with the closing lines
  bool headDropped = false;                              // the oldest lines are missing
  bool zoneFromLease = false;
  bool lfOnly = false;
  bool noRun = false;  // an empty log
  // A log cut short: its last bytes, which an exit tap waits to see painted
  // (empty: no such tap).
  std::string cutTail;
};

}  // namespace sim::fromlog
