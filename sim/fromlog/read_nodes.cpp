// The node loop: node choice, association, and the failed-node bookkeeping.
#include <cstdio>

#include "fromlog/track.h"

namespace sim::fromlog {
namespace {

// The survey row a "Node: " line names: the first with that BSSID whose SSID
// the line's padded field allows. -1 when none (a network not listed).
int entryFor(const Model& m, const std::string& field, const std::string& bssid) {
  for (size_t i = 0; i < m.networks.size(); i++) {
    const SeenNetwork& n = m.networks[i];
    if (!n.listed || n.bssid != bssid) continue;
    std::string padded = n.ssid;
    while (padded.size() < 18) padded += ' ';
    if (padded == field) return int(i);
  }
  return -1;
}

SeenNetwork* firstWithSsid(Model& m, const std::string& ssid) {
  for (SeenNetwork& n : m.networks)
    if (n.ssid == ssid) return &n;
  return nullptr;
}

// "     SSID ..Associated in  2s " or eight dots and ": Association failed.".
bool readAssociation(Cursor& c, RunTrack& t, int entry, bool& joined) {
  if (c.done()) return fail(c, "the log ends where the association was due");
  const std::string& l = c.peek();
  const std::string failed = ": Association failed.";
  size_t end = l.size();
  int polls = 0;
  joined = false;
  if (l.size() > failed.size() && l.compare(l.size() - failed.size(), failed.size(), failed) == 0) {
    end -= failed.size();
  } else if (l.size() >= 18 && l.compare(l.size() - 18, 14, "Associated in ") == 0) {
    long long secs;
    if (!wholeNumber(l.substr(l.size() - 4, 2), secs) || l.compare(l.size() - 2, 2, "s ") != 0)
      return fail(c, "not an association line");
    end -= 18;
    joined = true;
    polls = int(secs / 2 + 1);
  } else if (c.atCutLine()) {
    // Cut during the polls: it joins, if at all, after the cut.
  } else {
    return fail(c, "not an association line");
  }
  size_t dots = 0;
  while (end > 0 && l[end - 1] == '.') end--, dots++;
  if (end < 6 || l.compare(0, 5, "     ") != 0 || l[end - 1] != ' ' ||
      (dots != size_t(joined ? polls : 8) && end != l.size() - dots) || dots > 8)
    return fail(c, "not an association line");
  std::string ssid = l.substr(5, end - 6);
  Model& m = c.m;
  if (entry >= 0) {
    std::string padded = ssid;
    while (padded.size() < 14) padded += ' ';
    std::string shown = m.networks[size_t(entry)].ssid;
    while (shown.size() < 14) shown += ' ';
    if (padded != shown) return fail(c, "the association names another SSID than the node");
    m.networks[size_t(entry)].ssid = ssid;  // exact now, trailing blanks and all
  }
  SeenNetwork* n = firstWithSsid(m, ssid);
  if (!n) return fail(c, "an association to a network the survey did not list");
  int k = joined ? polls : 0;
  if (n->joinPolls >= 0 && n->joinPolls != k)
    notMadeAgain(c, "the SSID " + ssid + " joined differently on another pass");
  if (n->joinPolls < 0) n->joinPolls = k;
  t.cur = -1;
  if (joined) {
    t.cur = networkFor(m, ssid);
    t.stackEvents.push_back({StackEvent::Join, t.cur, -1});
    t.lastJoin = int(t.stackEvents.size() - 1);
    if (m.adapter.dhcp || !m.adapter.dhcpKnown) {
      t.src = RunTrack::Join, t.srcNet = t.cur, t.pendingAddress = true, t.leaseNet = t.cur;
      t.srcEvent = t.lastJoin;
    }
  }
  c.at++;
  return true;
}

bool readAssociationFailure(Cursor& c) {
  return expectLine(c, "Cannot associate to AP.") && expectLine(c, "Check:") &&
         expectLine(c, "   Signal (RSSI) between  -10 and -70dB.") &&
         expectLine(c, "   No allowed MAC list.");
}

bool readNodeLine(Cursor& c, RunTrack& t, bool associating, int& entry) {
  std::string rest;
  if (c.done() || !after(c.peek(), "Node: ", rest) || rest.size() < 18 + 1 + 17 ||
      rest[rest.size() - 18] != ' ')
    return fail(c, "expected a \"Node: \" line");
  std::string bssid = rest.substr(rest.size() - 17);
  for (size_t k = 0; k < 17; k++) {
    char ch = bssid[k];
    if (k % 3 == 2 ? ch != '.' : !((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f')))
      return fail(c, "not a BSSID on the \"Node: \" line");
  }
  std::string field = rest.substr(0, rest.size() - 18);
  Model& m = c.m;
  entry = entryFor(m, field, bssid);
  if (entry < 0 && m.headDropped) {
    // The survey was dropped with the oldest lines: the row is made from
    // the node line (the association line gives the SSID exactly).
    SeenNetwork n;
    n.ssid = field;
    while (n.ssid.size() > 0 && n.ssid.back() == ' ') n.ssid.pop_back();
    n.bssid = bssid;
    n.rssiShown = true, n.rssi = -60, n.channel = 6;
    m.networks.push_back(n);
    m.itemsReported++;
    entry = int(m.networks.size() - 1);
  }
  if (entry < 0) {
    // The adapter was on a network the scan did not list: the line shows
    // no SSID and the BSSID the adapter reported.
    if (associating || field != std::string(18, ' ') ||
        !(m.startAssociated && m.associatedBssid.empty()))
      return fail(c, "a node the survey did not list");
    // Its SSID shows nowhere: an empty one, unless a listed network has
    // that (they would share its IP network).
    SeenNetwork n;
    n.listed = false;
    n.bssid = bssid;
    for (int k = 0; firstWithSsid(m, n.ssid); k++) n.ssid = "unlisted" + std::to_string(k);
    m.networks.push_back(n);
    m.choices.push_back("the unlisted network the adapter was on at start: " +
                        (n.ssid.empty() ? std::string("an empty SSID") : "the SSID " + n.ssid));
  }
  if (m.startAssociated && m.associatedBssid.empty()) {
    m.associatedBssid = bssid;
    t.cur = networkFor(m, entry >= 0 ? m.networks[size_t(entry)].ssid : m.networks.back().ssid);
    t.src = RunTrack::Initial;
  }
  c.at++;
  return true;
}

bool readNodeLeft(Cursor& c) {
  const std::string tail = " Available nodes more...  ";
  long long left;
  std::string l = c.done() ? "" : c.peek();
  if (l.size() < tail.size() + 2 || l.substr(l.size() - tail.size()) != tail ||
      !wholeNumber(l.substr(0, l.size() - tail.size()), left))
    return fail(c, "expected the count of nodes left");
  if (c.m.firstNodesLeft < 0) c.m.firstNodesLeft = left, c.m.rowsAtFirstCount = c.m.networks.size();
  c.at++;
  return true;
}

// With the oldest lines dropped, the survey holds the nodes the kept lines
// name; the first count of nodes left also counts those the run never came
// to (it ended first): made up after the others, as the survey's last rows.
void unreachedRows(Model& m) {
  if (!m.headDropped || m.firstNodesLeft < 0) return;
  const long long later = (long long)(m.networks.size() - m.rowsAtFirstCount);
  const long long missing = m.firstNodesLeft - later;
  for (long long k = 0; k < missing && k < 64; k++) {
    SeenNetwork n;
    char bssid[18];
    std::snprintf(bssid, sizeof bssid, "02.00.5e.00.00.%02x", unsigned(k + 1));
    n.bssid = bssid;
    for (int i = int(k) + 1; n.ssid.empty() || firstWithSsid(m, n.ssid); i++)
      n.ssid = "Unreached" + std::to_string(i);
    n.rssiShown = true, n.rssi = -60, n.channel = 6;
    m.networks.push_back(n);
    m.itemsReported++;
  }
  if (missing > 0)
    m.choices.push_back(std::to_string(missing) +
                        " survey row(s) for nodes the count shows and the run never came to");
}

}  // namespace

// The failed-node bookkeeping: the connection data and the count.
bool readNodeFailed(Cursor& c, RunTrack& t) { return readConnectionData(c, t) && readNodeLeft(c); }

bool readNodes(Cursor& c) {
  RunTrack t;
  t.pendingAddress = true;
  bool first = true;
  while (!c.done()) {
    bool associating = c.peek() == "-Trying to associate with....";
    if (!associating && !(first && c.m.startAssociated)) break;
    if (associating) c.at++;
    first = false;
    int entry = -1;
    if (!readNodeLine(c, t, associating, entry)) break;
    t.entry = entry;
    bool joined = true;
    if (associating && !readAssociation(c, t, entry, joined)) break;
    if (!joined) {
      if (!readAssociationFailure(c) || !readNodeFailed(c, t)) break;
      continue;
    }
    bool success = false;
    if (!readAddressing(c, t, success)) break;
    if (success) break;
  }
  unreachedRows(c.m);
  finishRun(c.m, t);
  return c.error.empty() && c.m.complete;
}

}  // namespace sim::fromlog
