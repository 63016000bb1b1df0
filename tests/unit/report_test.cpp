// The run report's own logic: which log lines are verdicts and causes, the
// trace read back, the text helpers, and what the timeline makes of a trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report/capture.h"
#include "report/lines.h"
#include "report/page_parts.h"
#include "report/records.h"
#include "report/timeline.h"

using namespace sim::report;

namespace {

std::vector<Record> records(const std::vector<std::string>& lines) {
  std::vector<Record> out;
  for (const std::string& l : lines) {
    Record r;
    EXPECT_TRUE(parseRecord(l, r)) << l;
    out.push_back(r);
  }
  return out;
}

ConsoleLine line(uint64_t t, const std::string& text, int thread = 2) {
  ConsoleLine l;
  l.t = t;
  l.thread = thread;
  l.text = text;
  l.verdict = isVerdict(text);
  return l;
}

std::vector<Mark> lane(const Timeline& tl, Lane which) {
  std::vector<Mark> out;
  for (const Mark& m : tl.marks)
    if (m.lane == which) out.push_back(m);
  return out;
}

}  // namespace

TEST(ReportLines, VerdictsAndTheirCauses) {
  std::vector<std::string> log = {
      "     LoadingDock ........: Association failed.",
      "Cannot associate to AP.",
      "Check:",
      "   Signal (RSSI) between  -10 and -70dB.",
      "   No allowed MAC list.",
      "-Connection data:",
      "   DHCP Server:    ",
      "Cannot get a valid IP Address with DHCP.",
      "-Testing DNS resolution....ERROR",
      "ERROR",
      "   Incorrect DNS. Check it.",
      "   Try setting fixed DNS on adapter properties.",
      "     Renewing ..Renew Error",
      "Cannot read the IP adapter list, ERROR 31",
      "-Searching for NDIS WLAN NIC.....Not found.",
      "Already connected to Internet. Exiting OK",
  };
  std::vector<LineKind> k = classifyLines(log);
  using L = LineKind;
  std::vector<LineKind> want = {L::Plain, L::Verdict, L::Cause,   L::Cause,  L::Cause,   L::Plain,
                                L::Plain, L::Plain,   L::Plain,   L::Plain,  L::Verdict, L::Cause,
                                L::Plain, L::Verdict, L::Verdict, L::Verdict};
  EXPECT_EQ(k, want);
}

TEST(ReportLines, NotVerdicts) {
  EXPECT_FALSE(isVerdict("Cannot associate to AP. "));
  EXPECT_FALSE(isVerdict("-Searching for NDIS WLAN NIC.....OK"));
  EXPECT_FALSE(isVerdict("Renew Error"));
  EXPECT_TRUE(isVerdict("NIC name too long (80 chars, max 79): not usable."));
  EXPECT_TRUE(isVerdict("GetIpForwardTable Failed, ERROR 122"));
}

TEST(ReportRecords, ReadsTraceLines) {
  Record r;
  ASSERT_TRUE(parseRecord(
      R"({"t":44600,"thread":3,"call":"IcmpSendEcho","to":"192.168.0.1","replies":1,"ok":true,"name":"PCI\\ETH \"x\"\u0007"})",
      r));
  EXPECT_EQ(r.t, 44600u);
  EXPECT_EQ(r.thread, 3);
  EXPECT_EQ(r.call, "IcmpSendEcho");
  EXPECT_EQ(r.get("to"), "192.168.0.1");
  EXPECT_EQ(r.num("replies"), 1);
  EXPECT_EQ(r.get("ok"), "true");
  EXPECT_EQ(r.get("name"), "PCI\\ETH \"x\"\a");
  EXPECT_EQ(r.num("to", -5), -5);  // not a number
}

TEST(ReportRecords, RefusesWhatIsNotARecord) {
  Record r;
  EXPECT_FALSE(parseRecord(R"({"t":1,"thread":2})", r));  // no call
  EXPECT_FALSE(parseRecord(R"({"t":1,"thread":2,"call":"x")", r));
  EXPECT_FALSE(parseRecord(R"({"t":1,"thread":2,"call":"x"} tail)", r));
  EXPECT_FALSE(parseRecord(R"({"t":1,"thread":2,"call":"x","s":"open})", r));
  EXPECT_FALSE(parseRecord("", r));
}

TEST(ReportText, Base64) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("foob"), "Zm9vYg==");
  EXPECT_EQ(base64(std::string("\xff\x00\x80", 3)), "/wCA");
}

TEST(ReportText, ScriptAndJsonEscapes) {
  EXPECT_EQ(scriptSafe(R"(["</script>","a<b"])"), R"(["<\/script>","a<b"])");
  EXPECT_EQ(jsonString("a\"b\\c\r\n"), R"("a\"b\\c\u000d\u000a")");
}

TEST(ReportText, LogLinesFromTheDevice) {
  std::string crlf = "one\r\ntwo\r\n\r\nthree";  // cut short: no last line end
  EXPECT_EQ(logLines(crlf), (std::vector<std::string>{"one", "two", "", "three"}));
  EXPECT_EQ(logLines("a\nb\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(logLines("caf\xe9\r\n"), (std::vector<std::string>{"caf\xc3\xa9"}));
  EXPECT_EQ(logLines("a\rb\n"), (std::vector<std::string>{"a\rb"}));  // a lone CR stays
}

// A sweep of four addresses: one answered, one error report, one that timed
// out; the fourth's thread could not be started twice, and an earlier start
// failed once and then went. The internet test is on the run thread.
TEST(ReportTimeline, SweepProbesAndTests) {
  auto trace = records({
      R"({"t":100,"thread":2,"call":"DeviceIoControl","code":"SET_OID_VALUE","oid":"0x0D01011A","ok":true})",
      R"({"t":1000,"thread":2,"call":"CreateThread","stack":65536,"ok":true})",
      R"({"t":1000,"thread":3,"call":"gethostbyaddr","address":"192.168.0.1","found":false})",
      R"({"t":1000,"thread":3,"call":"IcmpSendEcho","to":"192.168.0.1","replies":1,"status":0})",
      R"({"t":1003,"thread":3,"call":"UpdateWindow","cross":true})",
      R"({"t":1001,"thread":2,"call":"CreateThread","stack":65536,"ok":false})",
      R"({"t":1051,"thread":2,"call":"CreateThread","stack":65536,"ok":true})",
      R"({"t":1051,"thread":4,"call":"IcmpSendEcho","to":"192.168.1.1","replies":1,"status":11003})",
      R"({"t":1052,"thread":2,"call":"CreateThread","stack":65536,"ok":true})",
      R"({"t":1052,"thread":5,"call":"IcmpSendEcho","to":"192.168.2.1","replies":0,"status":11010})",
      R"({"t":1052,"thread":2,"call":"CreateThread","stack":65536,"ok":true})",
      R"({"t":1052,"thread":6,"call":"IcmpSendEcho","to":"192.168.3.1","replies":1,"status":0})",
      R"({"t":1053,"thread":2,"call":"CreateThread","stack":65536,"ok":false})",
      R"({"t":1103,"thread":2,"call":"CreateThread","stack":65536,"ok":false})",
      R"({"t":2000,"thread":6,"call":"sim.echo","event":"reply lost","to":"192.168.3.1"})",
      R"({"t":5000,"thread":2,"call":"GetAdaptersInfo","size":704,"answer":0})",
      R"({"t":6000,"thread":2,"call":"IcmpSendEcho","to":"1.1.1.1","timeout":1000,"replies":1,"status":0})",
      R"({"t":6023,"thread":2,"call":"UpdateWindow","cross":true})",
      R"({"t":7000,"thread":2,"call":"IcmpSendEcho","to":"2.2.2.2","timeout":1000,"replies":1,"status":0,"ms":31})",
  });
  std::vector<ConsoleLine> console = {
      line(900, "-Trying to find usual AP configurations..."),
      line(1003, "1.0  192.168.0.1", 3),
      line(4000, "     No valid Internet gateway found."),
      line(4000, "Cannot get a valid Ip address. Check:"),
      line(7031, "Already connected to Internet. Exiting OK"),
  };
  Timeline tl = buildTimeline(trace, console);
  ASSERT_EQ(tl.sweeps.size(), 1u);
  const Sweep& s = tl.sweeps[0];
  EXPECT_EQ(s.start, 900u);
  EXPECT_EQ(s.end, 4000u);
  std::vector<std::string> kinds;
  for (const Mark& m : s.probes) kinds.push_back(m.kind + "@" + std::to_string(m.t));
  // The fourth probe's reply was lost with the address it was sent from.
  EXPECT_EQ(kinds, (std::vector<std::string>{"answered@1000", "error@1051", "noanswer@1052",
                                             "noanswer@1052", "unprobed@1103"}));
  std::vector<Mark> tests = lane(tl, TESTS);
  ASSERT_EQ(tests.size(), 2u);                // the probes' echoes are not tests
  EXPECT_EQ(tests[0].end - tests[0].t, 23u);  // until the thread's next request
  EXPECT_EQ(tests[1].end - tests[1].t, 31u);  // the record's own duration
  std::vector<Mark> verdicts = lane(tl, VERDICTS);
  ASSERT_EQ(verdicts.size(), 2u);
  EXPECT_EQ(verdicts[0].t, 4000u);
  EXPECT_EQ(verdicts[1].kind, "success");
  EXPECT_EQ(lane(tl, SCAN).size(), 1u);
  EXPECT_EQ(tl.end, 7031u);
}

// Polls after a renewal request, until its console line ends, belong to
// the renewal; the refreshes before and after it to the addressing.
TEST(ReportTimeline, RenewalPolls) {
  auto trace = records({
      R"({"t":100,"thread":2,"call":"GetAdaptersInfo","size":704,"answer":0})",
      R"({"t":200,"thread":2,"call":"IpRenewAddress","index":2,"answer":0})",
      R"({"t":2200,"thread":2,"call":"GetAdaptersInfo","size":704,"answer":0})",
      R"({"t":4200,"thread":2,"call":"GetAdaptersInfo","size":704,"answer":0})",
      R"({"t":4200,"thread":2,"call":"sim.dhcp","event":"renewed","address":"10.0.0.2"})",
      R"({"t":4500,"thread":2,"call":"GetAdaptersInfo","size":704,"answer":0})",
  });
  std::vector<ConsoleLine> console = {line(4200, "     Renewing ..Renewed in  2s ")};
  Timeline tl = buildTimeline(trace, console);
  std::vector<uint64_t> renewal, addressing;
  for (const Mark& m : lane(tl, RENEWAL)) renewal.push_back(m.t);
  for (const Mark& m : lane(tl, ADDRESSING)) addressing.push_back(m.t);
  EXPECT_EQ(renewal, (std::vector<uint64_t>{200, 2200, 4200, 4200}));
  EXPECT_EQ(addressing, (std::vector<uint64_t>{100, 4500}));
  Mark renew = lane(tl, RENEWAL)[0];
  EXPECT_EQ(renew.end, 4200u);  // the bar runs until the line is complete
}

// Every probe and verdict of the timeline is one element of the SVG, with
// the record index the page looks up.
TEST(ReportTimeline, OneElementPerProbeAndVerdict) {
  auto trace = records({
      R"({"t":10,"thread":2,"call":"GetAdaptersInfo","answer":0})",
      R"({"t":20,"thread":3,"call":"IcmpSendEcho","to":"192.168.0.1","replies":0,"status":11010})",
      R"({"t":21,"thread":4,"call":"IcmpSendEcho","to":"192.168.0.2","replies":0,"refused":true})",
  });
  std::vector<ConsoleLine> console = {line(15, "-Trying to find usual AP configurations..."),
                                      line(30, "Cannot associate to AP.")};
  Timeline tl = buildTimeline(trace, console);
  int refs = 0;
  MarkRef ref = [&](const Mark&) { return refs++; };
  std::string sweep = sweepSvg(tl.sweeps.at(0), 1, ref);
  auto count = [](const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) n++;
    return n;
  };
  EXPECT_EQ(count(sweep, "class=\"mark probe "), 2u);
  EXPECT_EQ(count(sweep, "probe noanswer"), 1u);
  EXPECT_EQ(count(sweep, "probe unprobed"), 1u);  // refused: nothing was sent
  std::string all = timelineSvg(tl, ref);
  EXPECT_EQ(count(all, "class=\"verdict-label"), 1u);
  EXPECT_NE(all.find(">Cannot associate to AP.</text>"), std::string::npos);
}

// Labels of marks near the run's end stay on the page: they end at its
// edge, and one with no room left there is left out rather than drawn
// over the one before it or off the page.
TEST(ReportTimeline, MarkLabelsStayOnThePage) {
  Timeline tl;
  tl.end = 10000;
  for (uint64_t t : {5000, 9990, 9995, 9999}) {
    Mark m;
    m.lane = TESTS;
    m.t = t;
    m.end = t + 1;
    m.kind = "ok";
    m.label = "www.example.com " + std::to_string(t) + " ms";
    tl.marks.push_back(m);
  }
  MarkRef ref = [](const Mark&) { return 0; };
  std::string svg = timelineSvg(tl, ref);
  const std::string open = "<text class=\"mark-label\" x=\"";
  std::vector<std::pair<double, double>> spans;  // start and end of each label
  for (size_t p = svg.find(open); p != std::string::npos; p = svg.find(open, p + 1)) {
    double x = std::stod(svg.substr(p + open.size()));
    size_t from = svg.find('>', p) + 1;
    size_t to = svg.find("</text>", from);
    spans.push_back({x, x + 6.0 * double(to - from)});
  }
  ASSERT_GE(spans.size(), 2u);
  EXPECT_LT(spans.size(), 4u);  // no room for all four at the end
  for (size_t i = 0; i < spans.size(); i++) {
    EXPECT_LE(spans[i].second, 1160.0) << "label " << i << " runs off the page";
    if (i > 0) {
      EXPECT_GT(spans[i].first, spans[i - 1].second) << "label " << i << " overlaps";
    }
  }
}
