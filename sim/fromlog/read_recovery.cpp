// The DHCP recovery: two release and renewal tries, then the sweep.
#include <cstdio>
#include <cstdlib>

#include "fromlog/track.h"

namespace sim::fromlog {
namespace {

const char* const STATE_LINES[] = {"     No actual IP Address: ", "     APIPA IP Address: ",
                                   "     Not working IP Addr.: ", "     Incorrect IP Address: "};

bool readContexts(Cursor& c, RunTrack& t) {
  std::string hex;
  for (int i = 0; !c.done() && after(c.peek(), "debug de Context en release: ", hex); i++) {
    char* end = nullptr;
    long v = std::strtol(hex.c_str(), &end, 16);
    if (hex.empty() || *end) return fail(c, "not a context");
    const bool fromRun = t.src == RunTrack::Join || t.src == RunTrack::Renew;
    if (i == 0 && fromRun && t.srcNumbered && t.srcNet >= 0)
      t.contextsSeen.push_back(
          {t.srcNet, t.src == RunTrack::Renew ? t.srcRenewal : -1, v, c.at + 1, t.srcEvent});
    if (t.src == RunTrack::Initial && size_t(i) < c.m.adapter.contexts.size())
      c.m.adapter.contexts[size_t(i)] = v;
    else if (t.src == RunTrack::Initial || i > 0)
      notMadeAgain(c, "an address the log never showed (its release line names its context)");
    c.at++;
    if (v == 3) continue;
    if (c.done()) return fail(c, "the log ends inside the release");
    if (c.peek() == "     IP Address Deletetion failed.")
      notMadeAgain(c, "an address of the release could not be deleted");
    if (c.peek() != "     IP Address Deleted." && c.peek() != "     IP Address Deletetion failed.")
      return fail(c, "expected the address's deletion");
    c.at++;
  }
  return true;
}

// "     Renewing " and its polls; rest is what follows "     Renewing ".
bool readRenewal(Cursor& c, RunTrack& t, const std::string& rest, bool& valid) {
  Renewal r;
  size_t dots = 0;
  while (dots < rest.size() && rest[dots] == '.') dots++;
  std::string tail = rest.substr(dots);
  long long secs;
  valid = false;
  bool second = true;  // a second "Renew Error" line follows
  if (dots == 0 && tail == "Renew Error") {
    r.kind = Renewal::Refused;
  } else if (tail.size() == 15 && startsWith(tail, "Renewed in ") && tail.substr(13) == "s " &&
             wholeNumber(tail.substr(11, 2), secs) && secs == 2 * (long long)(dots - 1)) {
    r.kind = Renewal::Valid, r.poll = int(dots), valid = true, second = false;
  } else if (tail == "Renew Error: Got an APIPA" && dots >= 1) {
    r.kind = Renewal::Apipa, r.poll = int(dots), r.address = "169.254.23.17",
    r.mask = "255.255.0.0";
  } else if ((tail == "Renew Error" && dots == 8) || (tail.empty() && c.atCutLine())) {
    // Eight polls without an address; or the log was cut during the polls.
    r.kind = Renewal::Nothing, second = false;
  } else {
    return fail(c, "not a renewal");
  }
  if (dots > 8) return fail(c, "more than eight renewal polls");
  if (t.cur < 0) return fail(c, "a renewal while on no network");
  // The stack counts renewals per network: the n-th one on a network takes
  // that network's n-th entry.
  NetworkIp& n = c.m.ipNetworks[size_t(t.cur)];
  int index = int(n.renewals.size());
  n.renewals.push_back(r);
  if (r.kind != Renewal::Refused) {
    t.src = RunTrack::Renew, t.srcNet = t.cur, t.srcRenewal = index;
    t.stackEvents.push_back({StackEvent::Renew, t.cur, index});
    t.srcEvent = int(t.stackEvents.size() - 1);
    t.pendingAddress = true;
  }
  c.at++;
  return !second || expectLine(c, "Renew Error");
}

// "     Releasing... " with "Done: ADDRESS" or "Release Error:" and its message.
bool readRelease(Cursor& c, RunTrack& t, std::string& renewing) {
  std::string rest, done, message;
  if (!after(c.peek(), "     Releasing... ", rest)) return true;
  if (after(rest, "Done: ", done)) {
    if (!addressText(done)) return fail(c, "not the released address");
    t.pendingAddress = false;
    t.src = RunTrack::Released;
    c.at++;
    return true;
  }
  if (!after(rest, "Release Error:", message)) return fail(c, "not a release");
  t.src = RunTrack::Released;
  long code = 1;
  if (after(message, "     Renewing ", renewing)) {
    c.m.choices.push_back("a release error without a message text: code 1");
  } else {
    size_t dash = message.rfind('-');
    char* end = nullptr;
    if (message.size() < 3 || message[0] != 'E' || dash == std::string::npos || dash < 1)
      return fail(c, "not a release error");
    code = std::strtol(message.c_str() + dash + 1, &end, 10);
    if (*end || dash + 1 == message.size()) return fail(c, "not a release error");
    bool known = false;
    for (const auto& [k, text] : c.m.messages) known |= k == code;
    if (!known) c.m.messages.push_back({code, message.substr(1, dash - 1)});
    c.at++;
  }
  if (t.cur >= 0) c.m.ipNetworks[size_t(t.cur)].releaseError = code;
  return true;
}

bool readReleaseAndRenew(Cursor& c, RunTrack& t, bool& valid) {
  valid = false;
  if (c.done()) return fail(c, "the log ends inside a renewal try");
  if (c.peek() == "Index Error") {
    notMadeAgain(c, "the adapter index lookup failed");
    c.at++;
    return true;
  }
  if (!readContexts(c, t) || c.done()) return fail(c, "the log ends inside a renewal try");
  std::string renewing;
  if (!readRelease(c, t, renewing)) return false;
  if (renewing.empty()) {
    if (c.done() || !after(c.peek(), "     Renewing ", renewing))
      return fail(c, "expected a renewal");
  }
  return readRenewal(c, t, renewing, valid);
}

// An APIPA renewal, and no address at the next look: the renewal's polls
// saw its address, so only a failed read of the adapter list shows none,
// and the log does not say which read it was. The renewal keeps the
// address an APIPA renewal gives.
bool apipaUnseen(Cursor& c, RunTrack& t, const std::string& shown) {
  if (!t.pendingAddress || t.src != RunTrack::Renew || shown != "0.0.0.0") return false;
  Renewal& r = c.m.ipNetworks[size_t(t.srcNet)].renewals[size_t(t.srcRenewal)];
  if (r.kind != Renewal::Apipa) return false;
  notMadeAgain(c, "the adapter list could not be read after a renewal that gave an APIPA address");
  r.addressKnown = true;
  t.pendingAddress = false;
  t.srcNumbered = true;
  return true;
}

}  // namespace

bool readRecovery(Cursor& c, RunTrack& t, bool& valid) {
  // After each try the address is classified afresh: the lines that follow
  // say whether it was valid, whatever the renewal said.
  for (int try_ = 1; try_ <= 2; try_++) {
    char heading[48];
    std::snprintf(heading, sizeof heading, "-Trying to get a valid IP. Try %d", try_);
    if (try_ == 2 && (c.done() || c.peek() != heading)) break;
    if (!expectLine(c, heading)) return false;
    std::string a;
    bool placed = false;
    for (const char* s : STATE_LINES)
      if (!c.done() && after(c.peek(), s, a)) placed = true;
    if (!placed) return fail(c, "expected the address's state");
    if (!addressText(a)) return fail(c, "not an address");
    if (!apipaUnseen(c, t, a)) observeAddress(c.m, t, a);
    c.at++;
    bool renewed;
    if (!readReleaseAndRenew(c, t, renewed)) return false;
  }
  valid = c.done() || c.peek() != "Cannot get a valid IP Address with DHCP.";
  // A renewal that gave an address, yet the address is not valid when
  // looked at again: only a failed read of the adapter list does that, and
  // the log does not say which read it was.
  if (!valid && t.pendingAddress && t.src == RunTrack::Renew &&
      c.m.ipNetworks[size_t(t.srcNet)].renewals[size_t(t.srcRenewal)].kind == Renewal::Valid)
    notMadeAgain(c, "the adapter list could not be read after a renewal that gave an address");
  return valid || readSweep(c, t);
}

}  // namespace sim::fromlog
