// The address contexts: which Context each slot of the scenario takes so
// that the replay's stack, numbering addresses as the run goes, gives every
// Context a release line showed.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fromlog/track.h"

namespace sim::fromlog {

namespace {

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

const char* const CANNOT_GIVE = "an address context the stack's numbering cannot give";
// The most addresses taken for adapters the log never shows.
constexpr long MAX_UNSEEN = 16;

bool has(const std::vector<long*>& v, const long* p) {
  return std::find(v.begin(), v.end(), p) != v.end();
}

// With the oldest lines dropped, the numbers the dropped part took are
// named on a network of the survey the run never joins (made before any
// slot is taken, dropped again when not needed). True when it was made: it
// is the last of the IP networks.
bool makeSpare(Model& m) {
  if (!m.headDropped) return false;
  for (const SeenNetwork& n : m.networks) {
    bool known = false;
    for (const NetworkIp& x : m.ipNetworks) known |= x.ssid == n.ssid;
    if (known || !n.listed || n.joinPolls > 0) continue;
    networkFor(m, n.ssid);
    m.ipNetworks.back().spare = true;
    return true;
  }
  return false;
}

// The stack's numbering as the run goes: the number it tries next, the
// Contexts the file names (which it skips), the slots it numbers, and the
// slots no line shows that are not decided yet.
struct Numbering {
  Model& m;
  const bool spare;
  long counter = 0x100, aside = CONTEXT_ASIDE;
  std::vector<long> named;
  std::vector<long*> stackGave, pending;  // pending: not shown, not decided
  std::vector<int> pendingCount;
  bool placedOne = false;  // a Context shown was placed

  Numbering(Model& model, bool spareMade) : m(model), spare(spareMade) {}
  bool isNamed(long v) const { return std::find(named.begin(), named.end(), v) != named.end(); }
  // The stack numbers one address.
  void consume() {
    while (isNamed(counter)) counter++;
    counter++;
  }
  // The undecided slots are named out of the stack's way.
  void setAside() {
    for (long* p : pending) *p = aside++;
    pending.clear(), pendingCount.clear();
  }
  void leaveToStack(long* slot, bool stackSlot) {
    if (!stackSlot) stackGave.push_back(slot);
    consume();
  }
  void notShown(long* slot, bool shownElsewhere);
  long numbersBefore(long v) const;
  long pickPending(long need, std::vector<bool>& take) const;
  void takePending(const std::vector<bool>& take);
  void nameOnSpare(long count);
  void placeShown(long* slot, const SeenContext& seen);
};

// A slot no line shows the Context of here: the stack's when it numbered
// it before or a line shows it elsewhere, undecided otherwise.
void Numbering::notShown(long* slot, bool shownElsewhere) {
  const bool stackSlot = has(stackGave, slot);
  if (stackSlot || (*slot < 0 && shownElsewhere)) {
    leaveToStack(slot, stackSlot);
  } else if (*slot < 0) {
    auto at = std::find(pending.begin(), pending.end(), slot);
    if (at == pending.end())
      pending.push_back(slot), pendingCount.push_back(1);
    else
      pendingCount[size_t(at - pending.begin())]++;
  }
}

// How many numbers the stack must give first for v to be its next; -1
// when it never gives v.
long Numbering::numbersBefore(long v) const {
  if (v < counter || v > long(UINT32_MAX) || isNamed(v)) return -1;
  long c = counter, need = 0;
  for (;;) {
    while (isNamed(c)) c++;
    if (c == v) return need;
    c++, need++;
  }
}

// The undecided slots left to the stack make up as many as they can of
// need: take marks them, and the count they make is returned.
long Numbering::pickPending(long need, std::vector<bool>& take) const {
  take.assign(pending.size(), false);
  long made = 0;
  for (size_t k = 0; k < pending.size() && need >= 0; k++)
    if (made + pendingCount[k] <= need) take[k] = true, made += pendingCount[k];
  return made;
}

// The marked slots go to the stack; the other undecided ones are set aside.
void Numbering::takePending(const std::vector<bool>& take) {
  for (size_t k = 0; k < pending.size(); k++)
    if (take[k]) stackGave.push_back(pending[k]);
  for (size_t k = pending.size(); k-- > 0;)
    if (take[k])
      pending.erase(pending.begin() + long(k)), pendingCount.erase(pendingCount.begin() + long(k));
  setAside();
}

// The rest were numbered by the dropped lines: the spare network names them.
void Numbering::nameOnSpare(long count) {
  NetworkIp& n = m.ipNetworks.back();
  for (long k = 0; k < count; k++) {
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

// A slot a line shows the Context of here.
void Numbering::placeShown(long* slot, const SeenContext& seen) {
  const bool stackSlot = has(stackGave, slot);
  const long v = seen.value;
  if (*slot >= 0) {
    if (v != *slot) notMadeAgain(m, seen.line, CANNOT_GIVE);
    return;
  }
  const long need = numbersBefore(v);
  std::vector<bool> take;
  const long made = pickPending(need, take);
  // Before the first Context shown, the stack may have numbered the
  // addresses of adapters the log never shows (the program shows only
  // the WLAN one): they make up what the run's own slots leave short.
  const bool unseen = !spare && !placedOne && need > made && need - made <= MAX_UNSEEN;
  placedOne = true;
  if (need >= 0 && (made == need || (spare && need - made <= 1000) || unseen)) {
    takePending(take);
    for (long k = 0; k < made; k++) consume();
    if (made < need && spare) nameOnSpare(need - made);
    if (made < need && !spare) {
      for (long k = made; k < need; k++) consume();
      m.unseenAddresses = need - made;
      m.choices.push_back(std::to_string(need - made) +
                          " address(es) of an adapter the log never shows, numbered at start");
    }
    leaveToStack(slot, stackSlot);
  } else if (!stackSlot && (v < 0x100 || v >= counter) && v > 0 && v <= long(UINT32_MAX) &&
             !isNamed(v)) {
    *slot = v;
    named.push_back(v);
  } else {
    notMadeAgain(m, seen.line, CANNOT_GIVE);
    leaveToStack(slot, stackSlot);
  }
}

}  // namespace

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
  Numbering s{m, makeSpare(m)};
  std::vector<Numbered> order = numberedInOrder(m, t);
  for (const Numbered& x : order)
    if (x.slot && *x.slot >= 0) s.named.push_back(*x.slot);
  // The slots some line shows the Context of.
  std::vector<long*> shown;
  for (const SeenContext& c : t.contextsSeen) {
    NetworkIp& n = m.ipNetworks[size_t(c.net)];
    shown.push_back(c.renewal < 0 ? &n.context : &n.renewals[size_t(c.renewal)].context);
  }
  std::vector<bool> placed(t.contextsSeen.size(), false);
  for (const Numbered& x : order) {
    if (!x.slot) {
      s.consume();
      continue;
    }
    const SeenContext* seen = nullptr;
    for (size_t k = 0; k < t.contextsSeen.size() && x.event >= 0; k++)
      if (t.contextsSeen[k].event == x.event && shown[k] == x.slot)
        seen = &t.contextsSeen[k], placed[k] = true;
    if (seen)
      s.placeShown(x.slot, *seen);
    else
      s.notShown(x.slot, has(shown, x.slot));
  }
  s.setAside();
  if (s.spare && m.ipNetworks.back().address.empty()) m.ipNetworks.pop_back();
  for (size_t k = 0; k < placed.size(); k++)
    if (!placed[k]) notMadeAgain(m, t.contextsSeen[k].line, CANNOT_GIVE);
}

}  // namespace sim::fromlog
