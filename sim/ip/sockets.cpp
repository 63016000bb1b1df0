// Address parsing and name lookup of the simulated handheld. Names resolve
// through the network the adapter is on, and a lookup blocks its thread as
// long as the name server takes to answer (lookupNow: [ip] lookup_ms), or as
// long as the resolver's time-outs when nobody answers (lookup_timeout_ms).
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "ip/ipstack.h"
#include "ip/ipv4.h"
#include "platform/core.h"
#include "platform/sockets.h"

namespace sim {
namespace {

// The record a lookup answers with belongs to the calling thread, as the
// sockets interface's does.
struct HostStore {
  plat::hostent entry;
  char name[256];
  char* aliases[1];
  // Each address holds h_length bytes: the IPv4 address first, zeros after
  // (an entry may claim another length than 4: hostile entries).
  unsigned char addresses[16][MAX_ADDRESS_LENGTH];
  char* list[17];
};
PerThread<HostStore> store;

plat::hostent* answer(const std::string& name, const std::vector<uint32_t>& addresses,
                      uint32_t length) {
  HostStore& s = store.get();
  std::memset(&s, 0, sizeof s);
  std::strncpy(s.name, name.c_str(), sizeof s.name - 1);
  size_t n = std::min<size_t>(addresses.size(), 16);
  for (size_t i = 0; i < n; i++) {
    uint32_t a = toNetwork(addresses[i]);
    std::memcpy(s.addresses[i], &a, std::min<size_t>(4, length));
    s.list[i] = reinterpret_cast<char*>(s.addresses[i]);
  }
  s.list[n] = nullptr;
  s.aliases[0] = nullptr;
  s.entry.h_name = s.name;
  s.entry.h_aliases = s.aliases;
  s.entry.h_addrtype = plat::AF_INET;
  s.entry.h_length = short(length);
  s.entry.h_addr_list = s.list;
  return &s.entry;
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

constexpr uint32_t WSAHOST_NOT_FOUND = 11001;
// What the resolver leaves when no server answered in time: "a temporary
// error during host name resolution".
constexpr uint32_t WSATRY_AGAIN = 11002;

// Blocks the lookup's thread for its device time; answers the error the
// lookup ends with when no server answered (0: one did).
uint32_t waitForNameServer(const Lookup& l) {
  if (l.ms) sleepUntil(now() + l.ms, "a name lookup");
  if (l.outcome == Lookup::TimedOut) return WSATRY_AGAIN;
  if (l.outcome == Lookup::NoServer) return WSAHOST_NOT_FOUND;
  return 0;
}

const char* outcomeName(const Lookup& l) {
  return l.outcome == Lookup::Answered   ? "answered"
         : l.outcome == Lookup::TimedOut ? "timed out"
                                         : "no name server";
}

}  // namespace
}  // namespace sim

namespace plat {

uint32_t inetAddr(const char* text) {
  uint32_t v = 0;
  if (!text || !sim::parseIpv4(text, v)) return INADDR_NONE;
  return sim::toNetwork(v);
}

hostent* getHostByName(const char* name) {
  using namespace sim;
  uint32_t call = countCall(FaultCall::HostByName);
  std::string n = name ? name : "";
  Lookup lookup = lookupNow();
  const NetworkIp* net = currentNetwork();
  const NameEntry* found = nullptr;
  if (net && lookup.outcome == Lookup::Answered)
    for (const NameEntry& e : net->names)
      if (sameName(e.name, n)) found = &e;
  // An injected failure: the lookup itself fails (no answer from the name
  // server), whatever names the network knows, after the resolver's wait.
  if (const Fault* f = faultFires(FaultCall::HostByName, call)) {
    Ms ms = world.ip.timing.lookupTimeoutMs;
    trace("gethostbyname", {{"name", n}, {"found", false}, {"error", f->answer}, {"ms", ms}});
    sleepUntil(now() + ms, "a name lookup");
    setLastError(f->answer);
    return nullptr;
  }
  if (found && found->addressLength != 4)
    trace("gethostbyname", {{"name", n},
                            {"found", true},
                            {"length", found->addressLength},
                            {"server", outcomeName(lookup)},
                            {"ms", lookup.ms}});
  else
    trace("gethostbyname", {{"name", n},
                            {"found", found != nullptr},
                            {"server", outcomeName(lookup)},
                            {"ms", lookup.ms}});
  uint32_t error = waitForNameServer(lookup);
  if (!found) {
    setLastError(error ? error : WSAHOST_NOT_FOUND);
    return nullptr;
  }
  return answer(found->name, found->addresses, found->addressLength);
}

hostent* getHostByAddr(const char* address, int length, int type) {
  using namespace sim;
  uint32_t call = countCall(FaultCall::HostByAddr);
  if (!address || length != 4 || type != AF_INET) {
    ipNow();
    setLastError(10014);  // WSAEFAULT
    return nullptr;
  }
  uint32_t a;
  std::memcpy(&a, address, 4);
  a = fromNetwork(a);
  Lookup lookup = lookupNow();
  const NetworkIp* net = currentNetwork();
  const ReverseEntry* found = nullptr;
  if (net && lookup.outcome == Lookup::Answered)
    for (const ReverseEntry& e : net->reverse)
      if (e.address == a) found = &e;
  if (const Fault* f = faultFires(FaultCall::HostByAddr, call)) {
    Ms ms = world.ip.timing.lookupTimeoutMs;
    trace("gethostbyaddr",
          {{"address", formatIpv4(a)}, {"found", false}, {"error", f->answer}, {"ms", ms}});
    sleepUntil(now() + ms, "a name lookup");
    setLastError(f->answer);
    return nullptr;
  }
  trace("gethostbyaddr", {{"address", formatIpv4(a)},
                          {"found", found != nullptr},
                          {"server", outcomeName(lookup)},
                          {"ms", lookup.ms}});
  uint32_t error = waitForNameServer(lookup);
  if (!found) {
    setLastError(error ? error : WSAHOST_NOT_FOUND);
    return nullptr;
  }
  return answer(found->name, found->addresses, found->addressLength);
}

}  // namespace plat
