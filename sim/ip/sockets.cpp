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
#include "system/switch_point.h"

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

// The white space of the C locale: what ends an address text.
bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// One part of an address: decimal, octal after a leading 0, hexadecimal
// after 0x or 0X. False for a part without digits ("0x", " 4", "-2"), a digit
// outside its base ("08") or a value past 32 bits; p is left after the part.
bool readPart(const char*& p, uint64_t& value) {
  if (*p < '0' || *p > '9') return false;
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
    if (digitValue(*p) >= 16) return false;
  } else if (p[0] == '0') {
    base = 8;
  }
  value = 0;
  for (; *p; p++) {
    int d = digitValue(*p);
    if (base != 16 && (*p < '0' || *p > '9')) break;
    if (d >= 16) break;
    if (d >= base) return false;
    value = value * uint64_t(base) + uint64_t(d);
    if (value > 0xFFFFFFFFu) return false;
  }
  return true;
}

// The address text as the platform's inet_addr reads it (host byte order).
// One to four parts separated by dots, "a", "a.b", "a.b.c" or "a.b.c.d";
// each part but the last is one byte, the last fills the bytes left (a.b:
// b up to 0xFFFFFF; a: the whole address). The text ends at its end or at
// the first white space (what follows is not read: "1.2.3 .4" is 1.2.0.3);
// anything else after a part, a leading blank, an empty part, a fifth part
// or a part out of range makes it no address. The platform's one oddity is
// kept: a text of one space is 0.0.0.0, while "", "  " and "\t" are no
// address. (The scenario files' own addresses stay strict dotted quads:
// parseIpv4.)
bool parseInetAddr(const char* text, uint32_t& out) {
  if (text[0] == ' ' && text[1] == 0) {
    out = 0;
    return true;
  }
  uint64_t parts[4];
  int n = 0;
  const char* p = text;
  for (;;) {
    if (n == 4 || !readPart(p, parts[n++])) return false;
    if (*p == '.') {
      p++;
      continue;
    }
    if (*p == 0 || blank(*p)) break;
    return false;
  }
  uint64_t last = parts[n - 1];
  uint64_t limit = 0xFFFFFFFFu >> (8 * (n - 1));
  uint32_t value = 0;
  for (int i = 0; i < n - 1; i++) {
    if (parts[i] > 255) return false;
    value |= uint32_t(parts[i]) << (24 - 8 * i);
  }
  if (last > limit) return false;
  out = value | uint32_t(last);
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

// NULL: INADDR_NONE with WSAEFAULT as the last error; any other text leaves
// the last error as it was, whatever it answers.
uint32_t inetAddr(const char* text) {
  uint32_t v = 0;
  if (!text) {
    setLastError(10014);  // WSAEFAULT
    return INADDR_NONE;
  }
  if (!sim::parseInetAddr(text, v)) return INADDR_NONE;
  return sim::toNetwork(v);
}

hostent* getHostByName(const char* name) {
  sim::switchPoint();
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
  sim::switchPoint();
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
