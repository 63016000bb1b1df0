// A model as a commented scenario file.
#include <algorithm>
#include <cstdio>
#include <string>

#include "fromlog/fromlog.h"

namespace sim::fromlog {
namespace {

// 8-bit text with each byte outside printable ASCII written by `format`
// (one byte, 0..255), and with quotes and backslashes escaped if asked.
std::string escaped(const std::string& bytes, const char* format, bool quotes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (quotes && (b == '"' || b == '\\')) {
      out += '\\';
      out += char(b);
    } else if (b >= 0x20 && b < 0x7F) {
      out += char(b);
    } else {
      char e[8];
      std::snprintf(e, sizeof e, format, b);
      out += e;
    }
  }
  return out;
}

// A TOML basic string of 8-bit text: each byte one ISO 8859-1 character.
std::string quoted(const std::string& bytes) { return '"' + escaped(bytes, "\\u%04X", true) + '"'; }

// 8-bit text (an SSID, say) in a comment: the file is UTF-8, so each byte
// outside printable ASCII is shown as \xNN.
std::string commentText(const std::string& bytes) { return escaped(bytes, "\\x%02X", false); }

std::string list(const std::vector<std::string>& v) {
  std::string out = "[";
  for (size_t i = 0; i < v.size(); i++) out += (i ? ", " : "") + quoted(v[i]);
  return out + "]";
}

std::string colons(std::string bssid) {
  for (char& ch : bssid)
    if (ch == '.') ch = ':';
  return bssid;
}

void head(std::string& o, const Model& m) {
  o += "# Made by quorvelta-sim --from-log from a device log. Run it with\n";
  o += "#   quorvelta-sim --scenario THIS_FILE\n";
  o += "# and it prints that log again";
  o += m.complete ? ".\n" : ", up to where the log was cut short; the run goes on after it.\n";
  if (m.lfOnly) o += "# The log had bare LF line ends; the device writes CR LF.\n";
  o += "# Values the log does not determine, and what was taken for them:\n";
  for (const std::string& c : m.choices) o += "#   " + commentText(c) + "\n";
  auto gaps = m.inferred;
  std::sort(gaps.begin(), gaps.end());
  for (const auto& [line, what] : gaps)
    o += "# Not made again from line " + std::to_string(line) + ": " + commentText(what) + "\n";
  char clock[160];
  std::snprintf(clock, sizeof clock,
                "\n[clock]\nlocal = %04d-%02d-%02dT%02d:%02d:%02d\n"
                "bias = %d   # the clock line's GMT hour less its local hour\n",
                m.year, m.month, m.day, m.hour, m.minute, m.second, m.biasHours * 60);
  o += clock;
  o += "\n[system]\n";
  if (!m.commandLine.empty()) o += "command_line = " + quoted(m.commandLine) + "\n";
  if (m.noRun) o += "fail_thread_starts = [1]\n";
  if (!m.messages.empty()) o += "[system.messages]\n";
  for (const auto& [code, text] : m.messages)
    o += quoted(std::to_string(code)) + " = " + quoted(text) + "\n";
  o += "\n[driver]\n";
  if (m.nicFound)
    o += "[[driver.binding]]\nindex = 0\nname = " + quoted(m.nicName) + "\nwlan = true\n";
}

void radioNetwork(std::string& o, const SeenNetwork& n) {
  o += "\n[[radio.network]]\nssid = " + quoted(n.ssid) + "\nbssid = \"" + colons(n.bssid) + "\"\n";
  if (n.rssiShown)
    o += "rssi = " + std::to_string(n.rssi) + "\n";
  else
    o += "rssi = -95   # not shown: -90 or weaker; -95 chosen\n";
  if (n.channel == 0)
    o += "ds_config = 0   # shown as channel 0 (outside 1-13); 0 chosen\n";
  else
    o += "channel = " + std::to_string(n.channel) + "\n";
  if (n.type == 'W' || n.privacy) o += "privacy = 1\n";
  if (n.type == 'A') o += "mode = \"ibss\"\n";
  if (!n.listed) o += "listed = false\n";
  if (n.joinPolls == 0)
    o += "joins = false   # eight polls without association\n";
  else if (n.joinPolls > 0)
    o += "join_polls = " + std::to_string(n.joinPolls) + "\n";
}

void radio(std::string& o, const Model& m) {
  if (!m.nicFound || m.itemsReported < 0) return;
  o += "\n[radio]\n";
  if (!m.associatedBssid.empty()) o += "associated = \"" + colons(m.associatedBssid) + "\"\n";
  size_t listed = 0;
  for (const SeenNetwork& n : m.networks) listed += n.listed;
  if (m.itemsReported != (long long)listed)
    o += "number_of_items = " + std::to_string(m.itemsReported) + "\n";
  for (const SeenNetwork& n : m.networks) radioNetwork(o, n);
}

// An adapter the log never shows, listed first: the stack numbers its
// addresses before any other. Each is a host route of its own, on no
// network the run reaches.
void unseenAdapter(std::string& o, const Model& m) {
  if (m.unseenAddresses <= 0) return;
  o += "\n# Not in the log: an adapter whose addresses the stack numbered before the\n"
       "# first Context a release line shows.\n[[ip.adapter]]\nname = " +
       quoted(m.nicName == "LAN1" ? "LAN2" : "LAN1") + "\nindex = 1\ndhcp = false\n";
  for (long k = 1; k <= m.unseenAddresses; k++)
    o += "[[ip.adapter.address]]\naddress = \"10.255.255." + std::to_string(k) +
         "\"\nmask = \"255.255.255.255\"\n";
}

void adapter(std::string& o, const Model& m) {
  unseenAdapter(o, m);
  const AdapterStart& a = m.adapter;
  o += "\n[[ip.adapter]]\nname = " + quoted(m.nicName) + "\nindex = 2\n";
  o += std::string("dhcp = ") + (a.dhcp ? "true" : "false") + "\n";
  if (!a.gateways.empty()) o += "gateways = " + list(a.gateways) + "\n";
  if (!a.dhcpServer.empty()) o += "dhcp_server = " + quoted(a.dhcpServer) + "\n";
  if (a.leaseObtained) o += "lease_obtained = " + std::to_string(a.leaseObtained) + "\n";
  for (size_t i = 0; i < a.addresses.size(); i++) {
    o += "[[ip.adapter.address]]\naddress = " + quoted(a.addresses[i].first) +
         "\nmask = " + quoted(a.addresses[i].second) + "\n";
    if (i < a.contexts.size() && a.contexts[i] >= 0)
      o += "context = " + std::to_string(a.contexts[i]) + "\n";
  }
}

std::string contextKey(long context) {
  return "context = " + std::to_string(context) +
         (context >= CONTEXT_ASIDE ? "   # no line shows it: out of the stack's numbering\n"
                                   : "   # as its release showed\n");
}

void renewal(std::string& o, const Renewal& r) {
  static const char* const KIND[] = {"valid", "apipa", "nothing", "refused"};
  o += "[[ip.network.renewal]]\nresult = \"" + std::string(KIND[r.kind]) + "\"\n";
  if (r.kind == Renewal::Refused)
    return void(o += "# the error code is not in the log: 1231 chosen\n");
  if (r.kind == Renewal::Nothing) return;
  o += "poll = " + std::to_string(r.poll) + "\naddress = " + quoted(r.address) +
       "\nmask = " + quoted(r.mask) + "\n";
  if (r.context >= 0) o += contextKey(r.context);
  // Left out, a valid renewal gives the network's gateway: one shown
  // empty is written so.
  if (r.kind == Renewal::Valid && !r.gateway.empty()) o += "gateway = " + quoted(r.gateway) + "\n";
  if (r.kind == Renewal::Valid && r.gateway.empty() && r.detailsKnown)
    o += "gateway = \"\"   # none shown\n";
}

void ipNetwork(std::string& o, const NetworkIp& n) {
  o += "\n[[ip.network]]\nssid = " + quoted(n.ssid) + "\nname_server = \"answers\"\n";
  if (n.spare)
    o += "# Never joined: its lease and renewals hold the address contexts that the\n"
         "# oldest lines, dropped, numbered.\n";
  // A fixed network holds its address and no lease: no DHCP keys.
  const bool fixed = n.dhcpHere == 0;
  if (fixed) o += "# Fixed on this network, as its node showed:\ndhcp = false\n";
  if (n.dhcpHere == 1) o += "# DHCP on this network, as its node showed:\ndhcp = true\n";
  if (!fixed && !n.leaseKnown) o += "# No address was seen after joining: no DHCP answer chosen.\n";
  if (!n.address.empty()) {
    o += "address = " + quoted(n.address) + "\nmask = " + quoted(n.mask) + "\n";
    if (!n.gateway.empty()) o += "gateway = " + quoted(n.gateway) + "\n";
    if (n.context >= 0) o += contextKey(n.context);
  }
  // A valid renewal brings the server and lease time too.
  if (!fixed && !n.dhcpServer.empty()) o += "dhcp_server = " + quoted(n.dhcpServer) + "\n";
  if (!fixed && n.leaseObtained) o += "lease_obtained = " + std::to_string(n.leaseObtained) + "\n";
  if (!fixed && n.leaseMs >= 0)
    o += "lease_ms = " + std::to_string(n.leaseMs) +
         "   # the lease came after the first read that followed the join\n";
  if (!n.subnet.empty())
    o += "subnet = \"" + n.subnet + "\"   # the smallest that holds the addresses that answered\n";
  if (n.dnsKnown) o += "dns = " + list(n.dns) + "\n";
  if (!fixed && n.releaseError) o += "release_error = " + std::to_string(n.releaseError) + "\n";
  if (!fixed)
    for (const Renewal& r : n.renewals) renewal(o, r);
  for (const EchoHost& h : n.hosts) {
    o += "[[ip.network.host]]\naddress = " + quoted(h.address) +
         "\nrtt = " + std::to_string(h.rtt) + "\n";
    if (!h.replyFrom.empty() && h.replyFrom != h.address)
      o += "reply_from = " + quoted(h.replyFrom) + "\n";
  }
  if (!n.dnsHostAddress.empty())
    o += "# The name's address is not in the log: chosen.\n[[ip.network.name]]\n"
         "name = \"www.google.com\"\naddresses = [" +
         quoted(n.dnsHostAddress) + "]\n";
}

}  // namespace

std::string writeScenario(const Model& m) {
  std::string o;
  head(o, m);
  if (m.noRun) return o;
  radio(o, m);
  o += "\n[ip]\n";
  o += "# Lookups and leases take no device time the log shows: every name server\n"
       "# answers (name_server below), in lookup_ms, and a lease is there once\n"
       "# the join holds.\n";
  o += "lookup_ms = " + std::to_string(m.lookupMs) + "\nlease_ms = 0\n";
  if (!m.dnsNoNetwork.empty()) o += "dns = " + list(m.dnsNoNetwork) + "\n";
  if (!m.failEcho.empty()) {
    o += "# Echoes the log shows unanswered on networks where the same host answers:\n";
    o += "# refused at once instead of timing out (the log cannot tell which).\nfail_echo = [";
    for (size_t i = 0; i < m.failEcho.size(); i++)
      o += (i ? ", " : "") + std::to_string(m.failEcho[i]);
    o += "]\n";
  }
  if (m.nicFound && !m.ipAdapterMissing) adapter(o, m);
  for (const NetworkIp& n : m.ipNetworks) ipNetwork(o, n);
  if (!m.cutTail.empty())
    o += "\n# The log was cut here: the exit tap once its last text shows.\n"
         "[[ui.event]]\naction = \"tap\"\nx = 110\ny = 120\nshown = " +
         quoted(m.cutTail) + "\n";
  return o;
}

}  // namespace sim::fromlog
