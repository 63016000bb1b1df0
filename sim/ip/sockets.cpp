// Address parsing and name lookup of the simulated handheld. Names resolve
// through the network the adapter is on; lookups take no virtual time.
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
  ipNow();
  uint32_t call = countCall(FaultCall::HostByName);
  std::string n = name ? name : "";
  const NetworkIp* net = currentNetwork();
  const NameEntry* found = nullptr;
  if (net)
    for (const NameEntry& e : net->names)
      if (sameName(e.name, n)) found = &e;
  // An injected failure: the lookup itself fails (no answer from the name
  // server), whatever names the network knows.
  if (const Fault* f = faultFires(FaultCall::HostByName, call)) {
    trace("gethostbyname", {{"name", n}, {"found", false}, {"error", f->answer}});
    setLastError(f->answer);
    return nullptr;
  }
  if (found && found->addressLength != 4)
    trace("gethostbyname", {{"name", n}, {"found", true}, {"length", found->addressLength}});
  else
    trace("gethostbyname", {{"name", n}, {"found", found != nullptr}});
  if (!found) {
    setLastError(11001);  // WSAHOST_NOT_FOUND
    return nullptr;
  }
  return answer(found->name, found->addresses, found->addressLength);
}

hostent* getHostByAddr(const char* address, int length, int type) {
  using namespace sim;
  ipNow();
  uint32_t call = countCall(FaultCall::HostByAddr);
  if (!address || length != 4 || type != AF_INET) {
    setLastError(10014);  // WSAEFAULT
    return nullptr;
  }
  uint32_t a;
  std::memcpy(&a, address, 4);
  a = fromNetwork(a);
  const NetworkIp* net = currentNetwork();
  const ReverseEntry* found = nullptr;
  if (net)
    for (const ReverseEntry& e : net->reverse)
      if (e.address == a) found = &e;
  if (const Fault* f = faultFires(FaultCall::HostByAddr, call)) {
    trace("gethostbyaddr", {{"address", formatIpv4(a)}, {"found", false}, {"error", f->answer}});
    setLastError(f->answer);
    return nullptr;
  }
  trace("gethostbyaddr", {{"address", formatIpv4(a)}, {"found", found != nullptr}});
  if (!found) {
    setLastError(11001);
    return nullptr;
  }
  return answer(found->name, found->addresses, found->addressLength);
}

}  // namespace plat
