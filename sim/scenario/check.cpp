// Checks across a whole world, after every section is read: what cannot
// be meant is refused (two networks with one BSSID, a repeat running past
// ff:ff:ff:ff:ff:ff, two [[ip.network]] of one SSID, two names of one
// network alike, two IP adapters of one name, a mask whose ones are not
// contiguous, two addresses held at once with one Context); what can be
// meant but is probably a slip is warned of (an [[ip.network]] SSID no
// radio network has). They read the scenario's
// own tables again, so each message names the line. Every check is one
// pass with a hash set: no pair of entries is compared.
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "ip/ipv4.h"
#include "scenario/scenario.h"

namespace sim {
namespace {

constexpr uint64_t LAST_BSSID = 0xFFFFFFFFFFFFull;

uint64_t bssidValue(const uint8_t b[6]) {
  uint64_t v = 0;
  for (int i = 0; i < 6; i++) v = (v << 8) | b[i];
  return v;
}

std::string bssidText(uint64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%02x:%02x:%02x:%02x:%02x:%02x", unsigned(v >> 40) & 0xFF,
                unsigned(v >> 32) & 0xFF, unsigned(v >> 24) & 0xFF, unsigned(v >> 16) & 0xFF,
                unsigned(v >> 8) & 0xFF, unsigned(v) & 0xFF);
  return b;
}

std::string textOf(Section& s, const char* key) {
  const toml::node* n = s.node(key);
  auto v = n ? n->value_exact<std::string>() : std::nullopt;
  return v ? *v : std::string();
}

// A mask must be ones then zeros (255.255.254.0, not 255.0.255.0).
void checkMask(Section& s, const char* key) {
  if (!s.has(key)) return;
  uint32_t m;
  if (!parseIpv4(textOf(s, key), m)) return;  // refused by the section's loader
  if ((~m & (~m + 1)) != 0) s.fail(key, "is not a mask: its ones are not contiguous");
}

void checkRadio(Section& root, const World& w) {
  Section radio = root.table("radio");
  std::vector<Section> tables = radio.tables("network");
  std::unordered_map<uint64_t, size_t> owner;  // BSSID -> its table
  owner.reserve(w.radio.networks.size());
  size_t at = 0;  // index of the table's first network in the world
  for (size_t t = 0; t < tables.size() && at < w.radio.networks.size(); t++) {
    Section& n = tables[t];
    const toml::node* r = n.node("repeat");
    size_t repeat = size_t(r && r->value_exact<int64_t>() ? *r->value_exact<int64_t>() : 1);
    uint64_t first = bssidValue(w.radio.networks[at].bssid);
    if (first + repeat - 1 > LAST_BSSID) {
      n.fail("repeat", "runs past ff:ff:ff:ff:ff:ff (from " + bssidText(first) + ", " +
                           std::to_string(repeat) + " copies)");
    }
    bool told = false;  // one message per table
    for (size_t k = 0; k < repeat && at < w.radio.networks.size(); k++, at++) {
      uint64_t v = bssidValue(w.radio.networks[at].bssid);
      auto [it, added] = owner.emplace(v, t);
      if (!added && !told) {
        told = true;
        n.fail(n.has("bssid") ? "bssid" : "repeat",
               "BSSID " + bssidText(v) + " is also that of radio.network[" +
                   std::to_string(it->second) + "] (line " +
                   std::to_string(tables[it->second].line("ssid")) + ")");
      }
    }
  }
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The SSIDs of [[ip.network]] against each other and against the radio's,
// by the bytes both sections read (loadSsid), as the IP stack finds them.
void checkIpSsids(std::vector<Section>& tables, const World& w) {
  std::unordered_set<std::string> radioSsids;
  for (const RadioNetwork& n : w.radio.networks) radioSsids.insert(n.ssid);
  std::unordered_map<std::string, int> ssids;  // SSID -> line of its [[ip.network]]
  for (size_t i = 0; i < tables.size() && i < w.ip.networks.size(); i++) {
    Section& n = tables[i];
    const char* key = n.has("ssid_bytes") ? "ssid_bytes" : "ssid";
    const std::string& ssid = w.ip.networks[i].ssid;
    auto [it, added] = ssids.emplace(ssid, n.line(key));
    if (!added)
      n.fail(key, "another [[ip.network]] (line " + std::to_string(it->second) +
                      ") is the network \"" + ssidForMessage(ssid) + "\"");
    if (!radioSsids.count(ssid))
      n.warn(key, "no [[radio.network]] has the SSID \"" + ssidForMessage(ssid) +
                      "\", so this network is never joined");
  }
}

// Contexts name one address each: two addresses held at once never share
// one. The adapters' addresses are all held at once; the WLAN adapter's
// lease (or fixed address) and each renewal's replace what it held, so
// they only may not be a Context of another adapter's address.
void checkContexts(Section& ip, const World& w) {
  std::unordered_map<uint32_t, int> held;  // Context -> line of its address
  std::unordered_set<uint32_t> wlans;      // the WLAN adapter's own
  std::vector<Section> adapters = ip.tables("adapter");
  bool wlanSeen = false;
  for (size_t i = 0; i < adapters.size() && i < w.ip.adapters.size(); i++) {
    const AdapterConfig& a = w.ip.adapters[i];
    const bool wlan = !wlanSeen && wlanAdapterName(w.driver, a.name);
    wlanSeen = wlanSeen || wlan;
    std::vector<Section> entries = adapters[i].tables("address");
    for (size_t k = 0; k < entries.size() && k < a.addresses.size(); k++) {
      uint32_t c = a.addresses[k].context;
      if (c == STACK_ASSIGNS) continue;
      auto [it, added] = held.emplace(c, entries[k].line("context"));
      if (!added)
        entries[k].fail("context", "another address (line " + std::to_string(it->second) +
                                       ") has the Context " + std::to_string(c) +
                                       ": a Context names one address");
      if (wlan) wlans.insert(c);
    }
  }
  auto leased = [&](Section& s, uint32_t c) {
    if (c == STACK_ASSIGNS || wlans.count(c) || !held.count(c)) return;
    s.fail("context", "the address of line " + std::to_string(held[c]) +
                          ", on another adapter, has the Context " + std::to_string(c) +
                          ": a Context names one address");
  };
  std::vector<Section> networks = ip.tables("network");
  for (size_t i = 0; i < networks.size() && i < w.ip.networks.size(); i++) {
    const NetworkIp& n = w.ip.networks[i];
    leased(networks[i], n.context);
    std::vector<Section> renewals = networks[i].tables("renewal");
    for (size_t k = 0; k < renewals.size() && k < n.renewals.size(); k++)
      leased(renewals[k], n.renewals[k].context);
  }
}

void checkIp(Section& root, const World& w) {
  Section ip = root.table("ip");
  std::unordered_set<std::string> adapterNames;
  for (Section& a : ip.tables("adapter")) {
    std::string name = textOf(a, "name");
    if (!adapterNames.insert(name).second)
      a.fail("name", "another [[ip.adapter]] has the name \"" + name + "\"");
    for (Section& e : a.tables("address")) checkMask(e, "mask");
  }
  std::vector<Section> networks = ip.tables("network");
  checkIpSsids(networks, w);
  checkContexts(ip, w);
  for (Section& n : networks) {
    checkMask(n, "mask");
    for (Section& r : n.tables("renewal")) checkMask(r, "mask");
    std::unordered_map<std::string, int> names;
    for (Section& h : n.tables("name")) {
      std::string name = lower(textOf(h, "name"));
      auto [at, fresh] = names.emplace(name, h.line("name"));
      if (!fresh)
        h.fail("name", "another [[ip.network.name]] (line " + std::to_string(at->second) +
                           ") answers \"" + textOf(h, "name") + "\" (names are case-insensitive)");
    }
  }
  for (Section& r : ip.tables("route")) checkMask(r, "mask");
}

}  // namespace

void checkWorld(Section& root, World& w) {
  checkRadio(root, w);
  checkIp(root, w);
}

}  // namespace sim
