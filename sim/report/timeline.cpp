// Which lane each record goes to, and the sweeps' probes, from the trace
// alone; the console lines give the verdicts and the windows of the sweeps
// and renewals (the trace does not carry console text).
#include <algorithm>
#include <map>
#include <set>

#include "report/timeline.h"

namespace sim::report {
namespace {

const char* const SWEEP_START = "-Trying to find usual AP configurations...";
const char* const SWEEP_END = "     No valid Internet gateway found.";
const char* const RENEW_LINE = "     Renewing ";

// The 802.11 OIDs by lane.
bool scanOid(const std::string& oid) { return oid == "0x0D01011A" || oid == "0x0D010217"; }
bool associationOid(const std::string& oid) {
  return oid == "0x0D010102" || oid == "0x0D010101" || oid == "0x0D010115" || oid == "0x0D010108" ||
         oid == "0x0D010118";
}

std::string kindOf(const Record& r) {
  if (r.get("refused") == "true") return "fail";
  if (r.has("ok")) return r.get("ok") == "true" ? "ok" : "fail";
  if (r.has("answer")) return r.num("answer", 1) == 0 ? "ok" : "fail";
  if (r.has("found")) return r.get("found") == "true" ? "ok" : "fail";
  if (r.has("replies")) return r.num("replies") > 0 ? "ok" : "fail";
  return "ok";
}

// A sweep probe's thread makes only these requests (the user's events are
// traced on whichever thread holds the baton when they come).
bool probeCall(const std::string& c) {
  static const std::set<std::string> calls = {
      "malloc",         "WideCharToMultiByte", "gethostbyaddr",
      "IcmpCreateFile", "IcmpSendEcho",        "UpdateWindow",
      "IdleTap",        "PostMessage",         "StylusDown",
      "StylusUp",       "SecondStart",         "sim.echo"};
  return calls.count(c) != 0;
}
bool probeStartCall(const std::string& c) {
  return c == "WideCharToMultiByte" || c == "gethostbyaddr" || c == "IcmpCreateFile" ||
         c == "IcmpSendEcho";
}

struct Threads {
  std::set<int> run, probe;
  std::map<int, std::vector<int>> records;  // by thread, in order
};

Threads sortThreads(const std::vector<Record>& trace) {
  Threads th;
  std::map<int, bool> onlyProbeCalls, probeStart;
  for (size_t i = 0; i < trace.size(); i++) {
    const Record& r = trace[i];
    th.records[r.thread].push_back(int(i));
    if (r.call == "DeviceIoControl" || r.call == "GetAdaptersInfo") th.run.insert(r.thread);
    if (!onlyProbeCalls.count(r.thread)) onlyProbeCalls[r.thread] = true;
    if (!probeCall(r.call)) onlyProbeCalls[r.thread] = false;
    if (probeStartCall(r.call)) probeStart[r.thread] = true;
  }
  for (auto& [t, only] : onlyProbeCalls)
    if (only && probeStart[t] && !th.run.count(t) && t != 0) th.probe.insert(t);
  return th;
}

// Probe marks: the echo's send time and outcome, or, with no echo sent, the
// thread's last request as "not probed".
Mark probeMark(const std::vector<Record>& trace, const std::vector<int>& records) {
  Mark m;
  m.lane = SWEEP;
  for (int i : records) {
    const Record& r = trace[size_t(i)];
    if (r.call != "IcmpSendEcho") continue;
    m.t = m.end = r.t;
    m.record = i;
    m.label = r.get("to");
    if (r.get("refused") == "true")
      m.kind = "unprobed";
    else if (r.num("replies") > 0)
      m.kind = r.num("status") == 0 ? "answered" : "error";
    else
      m.kind = "noanswer";
    // A reply that came back after the address it was sent to had gone
    // never reached the probe.
    for (int k : records)
      if (k > i && trace[size_t(k)].call == "sim.echo" &&
          trace[size_t(k)].get("event") == "reply lost")
        m.kind = "noanswer";
    return m;
  }
  const Record& last = trace[size_t(records.back())];
  m.t = m.end = last.t;
  m.record = records.back();
  m.kind = "unprobed";
  for (int i : records)
    if (trace[size_t(i)].call == "gethostbyaddr") m.label = trace[size_t(i)].get("address");
  return m;
}

void addSweeps(Timeline& tl, const std::vector<Record>& trace,
               const std::vector<ConsoleLine>& console, const Threads& th) {
  for (size_t i = 0; i < console.size(); i++) {
    if (console[i].text != SWEEP_START) continue;
    Sweep s;
    s.start = s.end = console[i].t;
    s.end = tl.end;
    for (size_t k = i + 1; k < console.size(); k++) {
      if (console[k].text == SWEEP_END) {
        s.end = console[k].t;
        break;
      }
    }
    tl.sweeps.push_back(s);
  }
  auto sweepOf = [&](uint64_t t) -> Sweep* {
    for (Sweep& s : tl.sweeps)
      if (t >= s.start && t <= s.end) return &s;
    return nullptr;
  };
  for (int t : th.probe) {
    const std::vector<int>& rs = th.records.at(t);
    if (Sweep* s = sweepOf(trace[size_t(rs.front())].t)) s->probes.push_back(probeMark(trace, rs));
  }
  // A probe whose target could not be allocated or whose thread could not
  // be started is tried once more; only the second failure leaves its
  // address unprobed.
  for (int t : th.run) {
    bool failedOnce = false;
    for (int i : th.records.at(t)) {
      const Record& r = trace[size_t(i)];
      bool attempt = r.call == "CreateThread" || (r.call == "malloc" && r.get("ok") == "false");
      if (!attempt || !sweepOf(r.t)) continue;
      if (r.get("ok") == "true") {
        failedOnce = false;
      } else if (!failedOnce) {
        failedOnce = true;
      } else {
        failedOnce = false;
        Mark m;
        m.lane = SWEEP;
        m.t = m.end = r.t;
        m.kind = "unprobed";
        m.record = i;
        sweepOf(r.t)->probes.push_back(m);
      }
    }
  }
  for (Sweep& s : tl.sweeps) {
    std::stable_sort(s.probes.begin(), s.probes.end(),
                     [](const Mark& a, const Mark& b) { return a.t < b.t; });
    Mark bar;
    bar.lane = SWEEP;
    bar.t = s.start;
    bar.end = s.end;
    bar.kind = "sweep";
    bar.label = std::to_string(s.probes.size()) + " probes";
    tl.marks.push_back(bar);
  }
}

// The renewal's window: from the request to the end of its console line.
uint64_t renewalEnd(const Record& r, const std::vector<ConsoleLine>& console) {
  for (const ConsoleLine& l : console)
    if (l.t >= r.t && l.thread == r.thread && l.text.rfind(RENEW_LINE, 0) == 0) return l.t;
  return r.t;
}

// A test's round trip: the record's own duration where the trace gives one,
// else until the thread's next request.
uint64_t roundTripEnd(const Record& r, const std::vector<Record>& trace,
                      const std::vector<int>& threadRecords, int self) {
  if (r.has("ms")) return r.t + uint64_t(r.num("ms"));
  auto at = std::find(threadRecords.begin(), threadRecords.end(), self);
  if (at != threadRecords.end() && at + 1 != threadRecords.end()) {
    uint64_t next = trace[size_t(*(at + 1))].t;
    uint64_t timeout = uint64_t(r.num("timeout", 0));
    return timeout && next > r.t + timeout ? r.t + timeout : next;
  }
  return r.t;
}

}  // namespace

Timeline buildTimeline(const std::vector<Record>& trace, const std::vector<ConsoleLine>& console) {
  Timeline tl;
  for (const Record& r : trace) tl.end = std::max(tl.end, r.t);
  for (const ConsoleLine& l : console) tl.end = std::max(tl.end, l.t);
  Threads th = sortThreads(trace);

  std::vector<std::pair<uint64_t, uint64_t>> renewals;  // per run thread, merged
  for (const Record& r : trace)
    if (r.call == "IpRenewAddress" && th.run.count(r.thread))
      renewals.push_back({r.t, renewalEnd(r, console)});
  auto inRenewal = [&](uint64_t t) {
    for (auto& [a, b] : renewals)
      if (t > a && t <= b) return true;
    return false;
  };

  for (size_t i = 0; i < trace.size(); i++) {
    const Record& r = trace[i];
    if (!th.run.count(r.thread)) continue;
    Mark m;
    m.t = m.end = r.t;
    m.record = int(i);
    m.kind = kindOf(r);
    const std::string& c = r.call;
    std::string oid = r.get("oid");
    if (c == "DeviceIoControl" && scanOid(oid)) {
      m.lane = SCAN;
      if (r.has("items")) m.label = r.get("items") + " APs";
    } else if (c == "DeviceIoControl" && associationOid(oid)) {
      m.lane = ASSOCIATION;
      if (oid == "0x0D010101") m.kind = r.get("ok") == "true" ? "ok" : "wait";
      if (oid == "0x0D010102") m.label = r.get("ssid");
      if (oid == "0x0D010102") m.kind += " request";
    } else if (c == "GetAdaptersInfo" || c == "GetNetworkParams") {
      m.lane = inRenewal(r.t) ? RENEWAL : ADDRESSING;
    } else if (c == "sim.dhcp") {
      // What a join gives (a lease, a fixed configuration) is addressing.
      m.lane = r.get("event").ends_with("on join") ? ADDRESSING : RENEWAL;
      m.label = r.get("address");
    } else if (c == "IpReleaseAddress" || c == "GetAdapterIndex" || c == "DeleteIPAddress") {
      m.lane = RENEWAL;
      if (c == "IpReleaseAddress") m.label = "release";
    } else if (c == "IpRenewAddress") {
      m.lane = RENEWAL;
      m.label = "renew";
      m.end = renewalEnd(r, console);
      // The wait is drawn pale, so that its polls show on it.
      if (m.kind == "ok") m.kind = "renewing";
    } else if (c == "AddIPAddress" || c == "GetIpForwardTable" || c == "DeleteIpForwardEntry") {
      m.lane = ADDRESSING;
    } else if (c == "IcmpSendEcho" || c == "gethostbyname" || c == "gethostbyaddr") {
      m.lane = TESTS;
      if (c == "IcmpSendEcho") {
        m.end = roundTripEnd(r, trace, th.records[r.thread], int(i));
        m.label = r.get("to") + " " + std::to_string(m.end - m.t) + " ms";
      } else {
        m.label = c == "gethostbyname" ? r.get("name") : "";
      }
    } else {
      continue;
    }
    tl.marks.push_back(m);
  }
  for (size_t i = 0; i < console.size(); i++) {
    if (!console[i].verdict) continue;
    Mark m;
    m.lane = VERDICTS;
    m.t = m.end = console[i].t;
    m.kind = console[i].text.find("Exiting OK") != std::string::npos ? "success" : "verdict";
    m.label = console[i].text;
    m.line = int(i);
    tl.marks.push_back(m);
  }
  addSweeps(tl, trace, console, th);
  return tl;
}

}  // namespace sim::report
