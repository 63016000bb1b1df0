// Splitting a log into lines, the small text tests the readers share, and
// the whole log's order: head, node loop, closing.
#include "fromlog/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fromlog/track.h"
#include "ip/ipv4.h"

namespace sim::fromlog {

LogLines splitLog(const std::string& bytes) {
  LogLines out;
  size_t start = 0;
  bool anyCr = false, anyBareLf = false;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    if (lf == std::string::npos) {
      out.lines.push_back(bytes.substr(start));
      out.cut = true;
      break;
    }
    size_t end = lf;
    if (end > start && bytes[end - 1] == '\r') {
      end--;
      anyCr = true;
    } else {
      anyBareLf = true;
    }
    out.lines.push_back(bytes.substr(start, end - start));
    start = lf + 1;
  }
  out.lfOnly = anyBareLf && !anyCr;
  return out;
}

bool fail(Cursor& c, const std::string& why) {
  // The log ended where a line was due, or its last line was cut in the
  // middle: a log cut short, not a fault.
  size_t whole = c.lines.size() - (c.lastPartial ? 1 : 0);
  if (c.at >= whole) {
    c.m.complete = false;
    return false;
  }
  if (c.error.empty()) {
    std::string shown = c.lines[c.at].substr(0, 60);
    c.error = "line " + std::to_string(c.at + 1) + ": " + why + ": \"" + shown + "\"";
  }
  return false;
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool addressText(const std::string& text, bool emptyOk) {
  uint32_t v;
  return (emptyOk && text.empty()) || parseIpv4(text, v);
}

bool after(const std::string& s, const std::string& prefix, std::string& rest) {
  if (!startsWith(s, prefix)) return false;
  rest = s.substr(prefix.size());
  return true;
}

bool wholeNumber(const std::string& text, long long& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') i++;
  if (i == text.size() || text.size() - i > 12) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str() + i, &end, 10);
  return *end == 0 && end != text.c_str() + i &&
         (text[i] == '-' || (text[i] >= '0' && text[i] <= '9'));
}

bool readClosing(Cursor& c) {
  if (c.done()) return fail(c, "the log ends before the closing lines");
  if (c.peek() != " ") return fail(c, "expected the closing lines");
  c.at++;
  if (c.done() || c.peek() != "Tap screen to exit. ")
    return fail(c, "expected \"Tap screen to exit. \"");
  c.at++;
  if (!c.done()) return fail(c, "a line after the closing lines");
  return true;
}

// A log whose oldest lines the full console dropped: reading starts at the
// first whole node pass, and what came before is chosen.
bool resync(Cursor& c) {
  size_t k = 0;
  while (k < c.lines.size() && c.lines[k] != "-Trying to associate with....") k++;
  if (k == c.lines.size()) return false;
  Model& m = c.m;
  m.headDropped = true;
  m.nicFound = true;
  m.nicName = "WLAN1";
  m.itemsReported = 0;
  m.choices.push_back("the oldest lines were dropped: the lines before line " +
                      std::to_string(k + 1) + " are not made again");
  m.choices.push_back(
      "the clock, the NIC name (WLAN1) and the survey rows of the nodes the "
      "kept lines name (RSSI -60, channel 6); no other networks");
  c.at = k;
  return true;
}

std::string cutTail(const std::string& bytes, bool lfOnly);

bool readLog(const std::string& bytes, Model& m, std::string& error) {
  LogLines split = splitLog(bytes);
  m.lfOnly = split.lfOnly;
  if (split.lines.empty()) {
    error = "the log is empty";
    return false;
  }
  Cursor c{split.lines, 0, m, split.cut, ""};
  bool ok;
  if (split.lines[0] != "Olvash Quorvelta V0.18" && resync(c)) {
    ok = readNodes(c);
  } else {
    ok = readHead(c);
    if (ok && m.nicFound && m.itemsReported > 0) ok = readNodes(c);
  }
  if (ok) ok = readClosing(c);
  if (split.cut && c.error.empty()) m.complete = false;
  if (!c.error.empty()) {
    error = c.error;
    return false;
  }
  if (!m.complete) m.cutTail = cutTail(bytes, m.lfOnly);
  return true;
}

// The text an exit tap waits for in a log cut short: its last bytes, as
// the console holds them (CR LF line ends). Each byte is the console's
// character, except a '?' that may stand for a character the 8-bit log
// could not hold: the text starts after the last one. Too short a text
// could show earlier in the run: then no tap.
std::string cutTail(const std::string& bytes, bool lfOnly) {
  std::string text;
  for (char ch : bytes) {
    if (ch == '\n' && lfOnly) text += '\r';
    text += ch;
  }
  if (text.size() > 160) text = text.substr(text.size() - 160);
  size_t q = text.rfind('?');
  if (q != std::string::npos) text = text.substr(q + 1);
  return text.size() >= 24 ? text : "";
}

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

// The Context slots the replay's stack fills, in the run's order: the
// adapter's own addresses at start, then what each join, renewal and sweep
// brings. A null slot is always numbered by the stack (the sweep's).
struct Numbered {
  long* slot;
  int event;
};

std::vector<Numbered> numberedInOrder(Model& m, const RunTrack& t) {
  std::vector<Numbered> out;
  if (!m.nicFound || m.ipAdapterMissing) return out;
  for (long& c : m.adapter.contexts) out.push_back({&c, -1});
  bool networkConfig = false;
  for (size_t e = 0; e < t.stackEvents.size(); e++) {
    const StackEvent& x = t.stackEvents[e];
    if (x.kind == StackEvent::Sweep) {
      out.push_back({nullptr, int(e)});
      continue;
    }
    NetworkIp& n = m.ipNetworks[size_t(x.net)];
    if (x.kind == StackEvent::Renew) {
      Renewal& r = n.renewals[size_t(x.renewal)];
      if (n.dhcpHere != 0 && (r.kind == Renewal::Valid || r.kind == Renewal::Apipa))
        out.push_back({&r.context, int(e)});
      continue;
    }
    // A join: the network's lease with DHCP, its fixed address, or the
    // adapter's own fixed addresses back from a network that set its own.
    const bool here = n.dhcpHere >= 0;
    const bool dhcp = here ? n.dhcpHere == 1 : m.adapter.dhcp;
    const bool restore = networkConfig && !here;
    networkConfig = here;
    if (dhcp || here) {
      if (!n.address.empty()) out.push_back({&n.context, int(e)});
    } else if (restore) {
      for (long& c : m.adapter.contexts) out.push_back({&c, int(e)});
    }
  }
  return out;
}

// Each Context a release line showed comes again from the replay's stack,
// which numbers an address from 0x100 upward, skipping every Context the
// file names. Only how many addresses it numbered before matters for the
// value it gives one, so an address no line shows the Context of may be
// left to the stack (it takes a number) or named out of its way (it takes
// none), whichever brings the stack to the next value shown; a value the
// stack would then give is left to it (a lease that shows a new value on
// each join keeps so), another is written on its lease or renewal when the
// stack has not passed it. One the stack cannot give (a second value for a
// slot, one it gave before) is not made again.
void numberContexts(Model& m, RunTrack& t) {
  // With the oldest lines dropped, the numbers the dropped part took are
  // named on a network of the survey the run never joins (made before any
  // slot is taken, dropped again when not needed).
  bool spare = false;
  if (m.headDropped)
    for (const SeenNetwork& n : m.networks) {
      bool known = false;
      for (const NetworkIp& x : m.ipNetworks) known |= x.ssid == n.ssid;
      if (known || !n.listed || n.joinPolls > 0) continue;
      networkFor(m, n.ssid);
      m.ipNetworks.back().spare = spare = true;
      break;
    }
  std::vector<Numbered> order = numberedInOrder(m, t);
  std::vector<long> named;
  for (const Numbered& x : order)
    if (x.slot && *x.slot >= 0) named.push_back(*x.slot);
  auto isNamed = [&](long v) { return std::find(named.begin(), named.end(), v) != named.end(); };
  auto has = [](const std::vector<long*>& v, const long* p) {
    return std::find(v.begin(), v.end(), p) != v.end();
  };
  // The slots some line shows the Context of.
  std::vector<long*> shown;
  for (const SeenContext& s : t.contextsSeen) {
    NetworkIp& n = m.ipNetworks[size_t(s.net)];
    shown.push_back(s.renewal < 0 ? &n.context : &n.renewals[size_t(s.renewal)].context);
  }
  std::vector<long*> stackGave, pending;  // pending: not shown, not decided
  std::vector<int> pendingCount;
  long counter = 0x100, aside = CONTEXT_ASIDE;
  auto consume = [&] {
    while (isNamed(counter)) counter++;
    counter++;
  };
  auto setAside = [&] {
    for (long* p : pending) *p = aside++;
    pending.clear(), pendingCount.clear();
  };
  std::vector<bool> placed(t.contextsSeen.size(), false);
  for (const Numbered& x : order) {
    if (!x.slot) {
      consume();
      continue;
    }
    const SeenContext* seen = nullptr;
    for (size_t k = 0; k < t.contextsSeen.size() && x.event >= 0; k++)
      if (t.contextsSeen[k].event == x.event && shown[k] == x.slot)
        seen = &t.contextsSeen[k], placed[k] = true;
    const bool stackSlot = has(stackGave, x.slot);
    if (!seen) {
      if (stackSlot || (*x.slot < 0 && has(shown, x.slot))) {
        if (!stackSlot) stackGave.push_back(x.slot);
        consume();
      } else if (*x.slot < 0) {
        auto at = std::find(pending.begin(), pending.end(), x.slot);
        if (at == pending.end())
          pending.push_back(x.slot), pendingCount.push_back(1);
        else
          pendingCount[size_t(at - pending.begin())]++;
      }
      continue;
    }
    const long v = seen->value;
    if (*x.slot >= 0) {
      if (v != *x.slot)
        notMadeAgain(m, seen->line, "an address context the stack's numbering cannot give");
      continue;
    }
    // How many numbers the stack must give first for v to be its next.
    long need = -1;
    if (v >= counter && v <= long(UINT32_MAX) && !isNamed(v)) {
      long c = counter;
      need = 0;
      for (;;) {
        while (isNamed(c)) c++;
        if (c == v) break;
        c++, need++;
      }
    }
    // The undecided slots left to the stack make up as many as they can.
    std::vector<bool> take(pending.size(), false);
    long made = 0;
    for (size_t k = 0; k < pending.size() && need >= 0; k++)
      if (made + pendingCount[k] <= need) take[k] = true, made += pendingCount[k];
    if (need >= 0 && (made == need || (spare && need - made <= 1000))) {
      for (size_t k = 0; k < pending.size(); k++)
        if (take[k]) stackGave.push_back(pending[k]);
      for (size_t k = pending.size(); k-- > 0;)
        if (take[k])
          pending.erase(pending.begin() + long(k)),
              pendingCount.erase(pendingCount.begin() + long(k));
      setAside();
      for (long k = 0; k < made; k++) consume();
      if (made < need) {
        // The rest were numbered by the dropped lines: the spare network
        // names them.
        NetworkIp& n = m.ipNetworks.back();
        for (long k = made; k < need; k++) {
          while (isNamed(counter)) counter++;
          if (n.address.empty()) {
            n.address = "10.255.255.254", n.context = counter;
          } else {
            Renewal r;
            r.address = n.address, r.context = counter;
            n.renewals.push_back(r);
          }
          named.push_back(counter++);
        }
        m.choices.push_back("the address contexts the dropped lines numbered: named on " + n.ssid +
                            ", which the run never joins");
      }
      if (!stackSlot) stackGave.push_back(x.slot);
      consume();
    } else if (!stackSlot && (v < 0x100 || v >= counter) && v > 0 && v <= long(UINT32_MAX) &&
               !isNamed(v)) {
      *x.slot = v;
      named.push_back(v);
    } else {
      notMadeAgain(m, seen->line, "an address context the stack's numbering cannot give");
      if (!stackSlot) stackGave.push_back(x.slot);
      consume();
    }
  }
  setAside();
  if (spare && m.ipNetworks.back().address.empty()) m.ipNetworks.pop_back();
  for (size_t k = 0; k < placed.size(); k++)
    if (!placed[k])
      notMadeAgain(m, t.contextsSeen[k].line,
                   "an address context the stack's numbering cannot give");
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
