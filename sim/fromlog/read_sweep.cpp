// The subnet sweep: which hosts answered and between which dots.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "fromlog/track.h"

namespace sim::fromlog {
namespace {

constexpr int SWEEP_DOTS = 31;  // 30 host octets and the line's end
constexpr int SUBNETS = 32;     // probes per dot, 1 ms apart
constexpr long ECHO_TIMEOUT = 1000;
constexpr long SWEEP_PROBES = 960;
// From the first launch: the last launch's gap ends at 960, then the
// 2000 ms settle; the sweep closes at 2960.
constexpr long SWEEP_CLOSES = SWEEP_PROBES + 2000;

// The probe's launch, in ms after the first dot, for 192.168.S.H; -1 when
// the sweep does not probe it.
int launchOf(int s, int h) {
  int hi = h >= 1 && h <= 15 ? h - 1 : h >= 240 && h <= 254 ? h - 225 : -1;
  int si = s >= 0 && s <= 15 ? s : s >= 240 && s <= 255 ? s - 224 : -1;
  return hi < 0 || si < 0 ? -1 : hi * SUBNETS + si;
}

struct Answer {
  std::string address;
  int dotsBefore;
  size_t line;
};

std::string target(int launch) {
  int hi = launch / SUBNETS, si = launch % SUBNETS;
  int h = hi < 15 ? hi + 1 : hi + 225, s = si < 16 ? si : si + 224;
  return "192.168." + std::to_string(s) + "." + std::to_string(h);
}

// When the probe's launch can put its answer at `at`: its echo leaves
// after the lookup (lookup ms) and the answer comes within the time-out.
bool fits(long launch, long lookup, long at) {
  return launch >= 0 && at > launch + lookup && at - launch - lookup < ECHO_TIMEOUT;
}

// Probes not ended when the sweep closes, with lookups of `lookup` ms: an
// unanswered probe ends at its launch + lookup + the time-out (the sweep's
// own wake at the same time comes first), an answering one when its answer
// shows, before the close.
// An answer whose probe was launched before the first that would be left
// unfinished ends in time anyway, and counts for nothing here; one from an
// address the sweep does not probe (-1) is taken as a late probe's.
long unfinished(long lookup, const std::vector<int>& launches) {
  long first = std::max(0L, SWEEP_CLOSES - ECHO_TIMEOUT - lookup);
  long answering = 0;
  for (int launch : launches) answering += launch < 0 || launch >= first;
  return std::max(0L, SWEEP_PROBES - first - answering);
}

int launchOfAddress(const std::string& address) {
  int b[4];
  char tail;
  if (std::sscanf(address.c_str(), "%d.%d.%d.%d%c", &b[0], &b[1], &b[2], &b[3], &tail) == 4 &&
      b[0] == 192 && b[1] == 168)
    return launchOf(b[2], b[3]);
  return -1;
}

// Picks round trips that put each answer after the dots it follows, in the
// order the log shows them. An answer from an address the sweep does not
// probe, or too early for its own probe, comes from another probe of that
// window whose reply names it.
bool placeAnswers(Cursor& c, RunTrack& t, const std::vector<Answer>& answers) {
  long last = -1;
  const long lookup = c.m.lookupMs;
  NetworkIp& n = c.m.ipNetworks[size_t(t.cur)];
  for (const Answer& a : answers) {
    long from = long(a.dotsBefore - 1) * SUBNETS, to = long(a.dotsBefore) * SUBNETS;
    if (a.dotsBefore == SWEEP_DOTS) to = SWEEP_CLOSES;
    int b[4];
    char tail;
    long launch = -1;
    if (std::sscanf(a.address.c_str(), "%d.%d.%d.%d%c", &b[0], &b[1], &b[2], &b[3], &tail) == 4 &&
        b[0] == 192 && b[1] == 168)
      launch = launchOf(b[2], b[3]);
    long at = std::max(std::max(launch + lookup + 1, from + 1), last + 1);
    std::string probed = a.address, from_;
    bool taken = false;
    for (const EchoHost& h : n.hosts) taken |= h.address == a.address;
    if (taken || at >= to || !fits(launch, lookup, at)) {
      at = std::max(std::max(from + 1, last + 1), lookup + 1);
      launch = std::min(at - lookup - 1, long(SWEEP_DOTS - 1) * SUBNETS - 1);
      for (bool used = true; used && launch >= 0; launch -= used) {
        used = false;
        for (const EchoHost& h : n.hosts) used |= h.address == target(int(launch));
      }
      probed = target(int(launch)), from_ = a.address;
      c.m.choices.push_back("the sweep answer from " + a.address + " made by the probe of " +
                            probed);
    }
    if (at >= to || !fits(launch, lookup, at)) {
      notMadeAgain(c.m, a.line,
                   "the sweep answer from " + a.address + " cannot come where it shows");
      continue;
    }
    last = at;
    t.echoes.back().ok = true;
    n.hosts.push_back({probed, from_, at - launch - lookup});
  }
  return true;
}

// The lookup time that leaves `count` probes unfinished; -1: none does.
// Which probes answered (and so ended in time) depends on where the
// answers are placed, which depends on the lookup time: each lookup near
// what the answers' own addresses give is tried on a copy.
long lookupFor(Cursor& c, const RunTrack& t, long count, const std::vector<Answer>& answers) {
  std::vector<int> own;
  for (const Answer& a : answers) own.push_back(launchOfAddress(a.address));
  long fallback = -1;  // one whose answers do not all fit
  for (long l = 0; l <= SWEEP_CLOSES; l++) {
    if (std::labs(unfinished(l, own) - count) > long(answers.size())) continue;
    Model m = c.m;
    RunTrack trial = t;
    Cursor at{c.lines, c.at, m, c.lastPartial, ""};
    m.lookupMs = l;
    const auto& hosts = m.ipNetworks[size_t(t.cur)].hosts;
    const size_t before = hosts.size();
    placeAnswers(at, trial, answers);
    std::vector<int> placed;
    for (size_t k = before; k < hosts.size(); k++)
      placed.push_back(launchOfAddress(hosts[k].address));
    if (unfinished(l, placed) != count) continue;
    if (m.inferred.size() == c.m.inferred.size()) return l;
    if (fallback < 0) fallback = l;
  }
  return fallback;
}

}  // namespace

bool readSweep(Cursor& c, RunTrack& t) {
  if (!expectLine(c, "Cannot get a valid IP Address with DHCP.") ||
      !expectLine(c, "-Trying to find usual AP configurations..."))
    return false;
  if (c.done()) return fail(c, "the log ends before the sweep");
  if (c.peek() == "     Error adding IP address.") {
    notMadeAgain(c, "the sweep's address could not be added");
  } else if (c.peek() != "     IP address added: 192.168.0.133") {
    return fail(c, "expected the sweep's address");
  } else {
    t.stackEvents.push_back({StackEvent::Sweep, -1, -1});
  }
  c.at++;
  if (t.cur < 0) return fail(c, "a sweep while on no network");
  std::vector<Answer> answers;
  const size_t first = c.at;
  int dots = 0;
  bool notProbed = false;
  int started = int(SWEEP_PROBES);
  // The dots with answers between them; after the last, answers may come on
  // either side of the count of probes not started.
  while (dots < SWEEP_DOTS || (!c.done() && (startsWith(c.peek(), "1.0  ") ||
                                             startsWith(c.peek(), "     Not probed: ")))) {
    if (c.done()) return fail(c, "the log ends inside the sweep");
    const std::string& l = c.peek();
    std::string address, rest;
    if (dots == SWEEP_DOTS && !notProbed && after(l, "     Not probed: ", rest)) {
      long long n;
      if (!wholeNumber(rest.substr(0, rest.find(' ')), n) || n < 0 || n > SWEEP_PROBES)
        return fail(c, "not a count");
      notProbed = true;
      started = int(SWEEP_PROBES - n);
      notMadeAgain(c, "probes that could not be started");
      c.at++;
      continue;
    }
    size_t k = 0;
    while (k < l.size() && l[k] == '.') k++;
    dots += int(k);
    if (k == l.size() && dots == SWEEP_DOTS) {
    } else if (after(l.substr(k), "1.0  ", address) && dots >= 1 && dots <= SWEEP_DOTS &&
               addressText(address)) {
      answers.push_back({address, dots, c.at + 1});
    } else {
      return fail(c, "not a line of the sweep");
    }
    c.at++;
  }
  const size_t answersEnd = c.at - first;
  t.echoes.push_back({EchoEvent::Sweep, t.cur, false, started});
  // Probes still under way when the sweep closed: only lookups long enough
  // leave any, and then every answer shows after the dots.
  std::string rest;
  long count = 0;
  if (!c.done() && after(c.peek(), "     Probes unfinished: ", rest)) {
    long long n;
    if (!wholeNumber(rest.substr(0, rest.find(' ')), n) || n < 1 || n > SWEEP_PROBES)
      return fail(c, "not a count");
    count = long(n);
  }
  bool afterDots = true;
  for (const Answer& a : answers) afterDots &= a.dotsBefore == SWEEP_DOTS;
  long lookup = count ? lookupFor(c, t, count, answers) : 0;
  if ((count && (notProbed || !afterDots || lookup < 0)) ||
      (c.m.lookupFixed && c.m.lookupMs != lookup)) {
    notMadeAgain(c, "the count of probes unfinished when the sweep closed");
  } else if (!c.m.lookupFixed) {
    c.m.lookupMs = lookup;
    if (lookup)
      c.m.choices.push_back("lookup_ms = " + std::to_string(lookup) + ": leaves " +
                            std::to_string(count) + " probes unfinished when the sweep closes");
  }
  c.m.lookupFixed = true;
  if (count) c.at++;
  // A network swept before: its hosts are placed, and they answer this
  // sweep too. Where their answers fall among the dots is a matter of the
  // probes' launch times, which the reader does not model: it takes them
  // as the earlier sweep's, and a sweep that shows them otherwise was not
  // made again.
  std::vector<std::string> shown(c.lines.begin() + long(first),
                                 c.lines.begin() + long(first + answersEnd));
  const std::vector<std::string>* before = nullptr;
  for (const auto& [net, lines] : t.sweeps)
    if (net == t.cur) before = &lines;
  if (before) {
    size_t k = 0;
    while (k < shown.size() && k < before->size() && shown[k] == (*before)[k]) k++;
    if (k < shown.size() || k < before->size())
      notMadeAgain(c.m, first + k + 1,
                   "the sweep's answers fell otherwise than on an earlier pass");
    t.echoes.back().ok = !answers.empty();
  } else {
    t.sweeps.push_back({t.cur, shown});
    if (!placeAnswers(c, t, answers)) return false;
  }
  if (c.done()) return fail(c, "the log ends inside the sweep");
  if (c.peek() == "     IP Address Deletetion failed.") {
    notMadeAgain(c, "the sweep's address could not be deleted");
    t.pendingAddress = false;
  } else if (c.peek() != "     IP Address Deleted.")
    return fail(c, "expected the sweep's address deletion");
  c.at++;
  return expectLine(c, "     No valid Internet gateway found.");
}

}  // namespace sim::fromlog
