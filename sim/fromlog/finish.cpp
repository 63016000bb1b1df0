// The work after the last node: the adapter's missing IP configuration,
// the networks' subnets, the addresses and gateways the log never shows,
// and the echo requests that fail.
#include <cstdint>
#include <cstdio>

#include "fromlog/track.h"

namespace sim::fromlog {

namespace {

uint32_t ipValue(const std::string& text) {
  unsigned b[4];
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &b[0], &b[1], &b[2], &b[3], &tail) != 4) return 0;
  return b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

// A test that answered with no connection data after it (the log cut, the
// adapter list unread): the address is the one the adapter held then, and
// a host beyond it answered through a gateway the log never shows, taken
// as the address's .1 (.254 for a .1 address).
void placeUnseenReach(Model& m, RunTrack& t, Reach& r) {
  RunTrack then = t;
  then.pendingAddress = false;
  then.src = RunTrack::Source(r.src), then.srcNet = r.srcNet, then.srcRenewal = r.srcRenewal;
  std::string held;
  if (!heldAddress(m, then, held) || held == "0.0.0.0") return;
  r.address = held;
  std::string* gateway = nullptr;
  if (r.src == RunTrack::Initial && !m.adapter.seen) {
    if (m.adapter.gateways.empty()) m.adapter.gateways.push_back("");
    gateway = &m.adapter.gateways[0];
  } else if (r.src == RunTrack::Join && !m.ipNetworks[size_t(r.srcNet)].detailsKnown) {
    gateway = &m.ipNetworks[size_t(r.srcNet)].gateway;
  } else if (r.src == RunTrack::Renew) {
    gateway = &m.ipNetworks[size_t(r.srcNet)].renewals[size_t(r.srcRenewal)].gateway;
  }
  if (!gateway) return;
  if (gateway->empty()) {
    std::string net = held.substr(0, held.rfind('.') + 1);
    *gateway = net + (held == net + "1" ? "254" : "1");
    m.choices.push_back("the gateway of " + held + ", which the log never shows: " + *gateway);
  }
  r.gateway = *gateway;
}

// The smallest subnet that holds every address the network answered through.
void pickSubnets(Model& m, RunTrack& t) {
  for (Reach& r : t.reached)
    if (r.address.empty()) placeUnseenReach(m, t, r);
  for (size_t i = 0; i < m.ipNetworks.size(); i++) {
    std::vector<uint32_t> inside;
    size_t line = 0;
    for (const Reach& r : t.reached) {
      if (r.net != int(i) || r.address.empty() || r.address == "0.0.0.0") continue;
      if (!line) line = r.line;
      inside.push_back(ipValue(r.address));
      inside.push_back(ipValue(r.gateway.empty() ? r.target : r.gateway));
    }
    if (inside.empty()) continue;
    int bits = 32;
    for (uint32_t v : inside)
      while (bits > 0 && (v >> (32 - bits)) != (inside[0] >> (32 - bits))) bits--;
    if (bits == 0) {
      notMadeAgain(m, line, "no one subnet holds the addresses of " + m.ipNetworks[i].ssid);
      continue;
    }
    uint32_t mask = bits == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> bits);
    uint32_t net = inside[0] & mask;
    m.ipNetworks[i].subnet = std::to_string(net >> 24) + "." + std::to_string(net >> 16 & 255) +
                             "." + std::to_string(net >> 8 & 255) + "." +
                             std::to_string(net & 255) + "/" + std::to_string(bits);
  }
}

bool lists(const NetworkIp& n, const char* address) {
  for (const EchoHost& h : n.hosts)
    if (h.address == address) return true;
  return false;
}

}  // namespace

void finishRun(Model& m, RunTrack& t) {
  // Connection data without the WLAN adapter: when nothing of the run
  // shows the adapter, it has no IP configuration at all (its name, say,
  // is not the NIC's); otherwise one read of its list failed, and the log
  // does not number the call.
  if (!t.withoutAdapter.empty() && !m.adapter.dhcpKnown && !m.adapter.seen) {
    m.ipAdapterMissing = true;
    m.choices.push_back("no IP configuration for the NIC: no connection data shows it");
  } else {
    for (size_t line : t.withoutAdapter)
      notMadeAgain(m, line, "the connection data without the adapter (a failed adapter list read)");
  }
  pickSubnets(m, t);
  // A renewal the log shows as giving an address without ever showing the
  // address: the network's own, where the log shows one.
  for (NetworkIp& n : m.ipNetworks)
    for (Renewal& r : n.renewals)
      if (r.kind == Renewal::Valid && r.address.empty()) {
        const bool own = !n.address.empty();
        r.address = own ? n.address : "192.168.1.100";
        r.mask = own ? n.mask : "255.255.255.0";
        m.choices.push_back("the address of a renewal the log does not show: " + r.address);
      }
  int calls = 0;
  for (const EchoEvent& e : t.echoes) {
    const NetworkIp* n = e.net >= 0 ? &m.ipNetworks[size_t(e.net)] : nullptr;
    if (e.kind == EchoEvent::Sweep) {
      calls += e.count;
    } else if (e.kind == EchoEvent::Internet) {
      calls++;
      if (!e.ok && n && lists(*n, "1.1.1.1")) m.failEcho.push_back(calls);
    } else if (n && !n->dnsHostAddress.empty()) {
      calls++;
      if (!e.ok) m.failEcho.push_back(calls);
    }
  }
  numberContexts(m, t);
}

}  // namespace sim::fromlog
