// The explorer's world generator, inside: the random stream, the scenario
// text being written and what one section decides for the next. Each
// section is a function of its own (world_*.cpp); exploreWorld calls them
// in a fixed order, so the same (seed, run) draws the same numbers.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "harness/random.h"
#include "ip/ipv4.h"
#include "scenario/fault.h"

namespace sim::worlds {

// The worlds' stream (harness/random.h); the same pair (seed, run) gives
// the same world on every machine.
struct Rng {
  uint64_t s;
  uint64_t next() { return splitmix64(s); }
  int64_t range(int64_t lo, int64_t hi) { return lo + int64_t(next() % uint64_t(hi - lo + 1)); }
  bool percent(int p) { return int(next() % 100) < p; }
  template <class T>
  T pick(std::initializer_list<T> v) {
    return *(v.begin() + next() % v.size());
  }
};

// ---- scenario text --------------------------------------------------------

std::string quoted(const std::string& s);

struct Toml {
  std::string s;
  void table(const std::string& name) { s += "\n[" + name + "]\n"; }
  void array(const std::string& name) { s += "\n[[" + name + "]]\n"; }
  void raw(const char* k, const std::string& v) { s += std::string(k) + " = " + v + "\n"; }
  void num(const char* k, int64_t v) { raw(k, std::to_string(v)); }
  void flag(const char* k, bool v) { raw(k, v ? "true" : "false"); }
  void str(const char* k, const std::string& v) { raw(k, quoted(v)); }
  void nums(const char* k, const std::vector<int64_t>& v) {
    std::string t = "[";
    for (size_t i = 0; i < v.size(); i++) t += (i ? ", " : "") + std::to_string(v[i]);
    raw(k, t + "]");
  }
  void strs(const char* k, const std::vector<std::string>& v) {
    std::string t = "[";
    for (size_t i = 0; i < v.size(); i++) t += (i ? ", " : "") + quoted(v[i]);
    raw(k, t + "]");
  }
};

inline std::string dotted(uint32_t a) { return formatIpv4(a); }
std::string hexBssid(const uint8_t b[6], char sep, bool upper);

// ---- the world's parts -----------------------------------------------------

// The sweep's octets: hosts 1..15 and 240..254, subnets 0..15 and 240..255.
int sweepHost(Rng& r);
int sweepSubnet(Rng& r);

struct Net {
  // As text (ASCII, controls allowed but no CR or LF; now and then a
  // character of ISO 8859-1 beyond ASCII, in UTF-8).
  std::string ssid;
  std::vector<int64_t> rawSsid;  // or as bytes (Latin-1, NUL): such a network never reaches IP
  uint8_t bssid[6] = {};
  bool reachesIp = true;  // open, strong, infrastructure and joins: it may get an address
  bool joins = true;
};

// An IP subnet: base address (host part zero) and prefix length.
struct Subnet {
  uint32_t base = 0;
  int bits = 24;
  uint32_t host(uint32_t h) const { return base + h; }
  std::string text() const { return dotted(base) + "/" + std::to_string(bits); }
  std::string mask() const { return dotted(bits == 0 ? 0 : uint32_t(0xFFFFFFFFu << (32 - bits))); }
};

Subnet privateSubnet(Rng& r);
std::string publicAddress(Rng& r);
std::string ssidText(Rng& r);
// The SSID's bytes on the air: the text's characters as ISO 8859-1 bytes,
// or the raw bytes, as the loader reads both sections.
std::string airBytes(const Net& n);

// An IP network of the world, by SSID.
struct IpNet {
  std::string ssid;
  Subnet subnet;
  bool sweep = false;
  bool unknown = false;
  std::vector<int64_t> rawSsid = {};  // named by its bytes instead (ssid_bytes)
};

// Error codes a release may answer; [system.messages] has texts for some.
constexpr int64_t RELEASE_CODES[] = {5, 87, 1231, 2202};

// One world being written, and what the sections decided so far.
struct Draft {
  Rng r;
  // Later additions draw from a stream of their own, so that the worlds
  // made before them stay as they were, apart from the added keys.
  Rng more{0};
  // The device's timings and switch points: a stream of their own again,
  // split from `more` when the radio is drawn.
  Rng timing{0};
  Toml t;
  bool hostile = false;
  std::vector<Net> nets;       // the radio's networks, decided first
  bool longRun = false;        // many networks, enough text to fill the console
  bool workerMayFail = false;  // the run's own thread may not start
  std::string nicName;         // the WLAN binding's name, the same on the IP side
  int associated = -1;         // the network the adapter is on at start
  std::vector<IpNet> ipNets;
  bool sweepWorld = false;    // one network cannot be repaired: a subnet sweep
  bool context3Held = false;  // an adapter's own address has Context 3
  bool preempt = false;       // threads give way at lock releases ([system] preempt)
  int reaching = 0;           // networks that may get as far as addressing

  // Faults of one call (scenario/fault.h), written under its key: the n-th
  // calls that fail, a few small numbers.
  void someFaults(FaultCall call, int64_t most);
  // The n-th calls listed, or a fault on every call (a flag key).
  void faultCalls(FaultCall call, const std::vector<int64_t>& n) { t.nums(faultKind(call).key, n); }
  void everyCall(FaultCall call) { t.flag(faultKind(call).key, true); }
};

// ---- sections, in the order they are drawn ----------------------------------
void clockSection(Draft& d);
void radioNetworks(Draft& d);
void systemSection(Draft& d);
void driverSection(Draft& d);
void radioSection(Draft& d);
void ipSection(Draft& d);
// The hosts of one network (world_ip_hosts.cpp): the internet test's host,
// the DNS test's name and host; and the hosts a sweep can find.
void ipHosts(Draft& d, const IpNet& x, const std::string& gateway);
void ipSweepHosts(Draft& d, const IpNet& x);
void uiSection(Draft& d);

}  // namespace sim::worlds
