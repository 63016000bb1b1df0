// The random-world explorer: its worlds load and vary, and its properties
// catch the faults they name (each case breaks one thing in a run that is
// otherwise sound).
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "explore/explore.h"
#include "scenario/scenario.h"

namespace {

std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string lines(std::initializer_list<const char*> l) {
  std::string out;
  for (const char* x : l) out += std::string(x) + "\r\n";
  return out;
}

const std::string HEAD =
    lines({"Olvash Quorvelta V0.18", "======================", "12/07/26 9:30:00 local, 8:30 GMT ",
           "-Searching for NDIS WLAN NIC.....OK", "Found : WLAGN1",
           "-Scanning WLANs .... 2 APs found:", "SSID          BSSID              RSSI CH WP",
           "Cafe          00.1a.70.3c.12.01 -58dB 6ch O",
           "Guest         00.14.bf.52.0e.9a -71dB11ch O", "-Current state.... DISSASSOCIATED"});

std::string failedPass(const char* ssid, const char* bssid, int left) {
  std::string count = (left < 10 && left >= 0 ? " " : "") + std::to_string(left);
  return lines({"-Trying to associate with...."}) + "Node: " + ssid +
         std::string(18 - std::string(ssid).size(), ' ') + " " + bssid + "\r\n" + "     " + ssid +
         " ..Associated in  2s \r\n" +
         lines({"     NIC DHCP Enabled", "     Actual IP Address: 192.168.1.5",
                "-Testing Internet connection....Error.", "-Trying to get a valid IP. Try 1",
                "     Not working IP Addr.: 192.168.1.5", "     Renewing .Renewed in  0s ",
                "     Got valid IP Add.:192.168.1.5", "-Testing Internet connection....Error.",
                "Valid IP but no internet connection. Check:", "   IP Address.",
                "   Default Gateway.", "   May work with proxy configuration.",
                "-Connection data:", "DNS Servers:       10.0.0.1"}) +
         count + " Available nodes more...  \r\n";
}

const std::string SUCCESS_PASS =
    lines({"-Trying to associate with....", "Node: Guest              00.14.bf.52.0e.9a",
           "     Guest .Associated in  0s ", "     NIC DHCP Enabled",
           "     Actual IP Address: 192.168.20.114", "-Testing Internet connection....OK:   23ms",
           "1.1.1.1", "-Testing DNS resolution....OK:   31ms",
           "Already connected to Internet. Exiting OK", "-Connection data:",
           "   Lease Obtained: 12/07/26 7:12:45 local", "DNS Servers:       192.168.20.1"});

const std::string CLOSING = lines({" ", "Tap screen to exit. "});

// The view nobody scrolled: from 23 completed lines before the end of the
// kept text, at most 1152 characters.
std::u16string followingView(const std::u16string& echo) {
  std::u16string kept = sim::keptConsoleText(echo);
  std::vector<size_t> starts{0};
  for (size_t i = 0; i + 1 < kept.size(); i++)
    if (kept[i] == u'\r' && kept[i + 1] == u'\n') starts.push_back(i + 2);
  size_t first = starts.size() - 1 > 23 ? starts.size() - 1 - 23 : 0;
  return kept.substr(starts[first], 1152);
}

// A sound run: one failed node, then success, closed by the idle tap.
sim::RunRecord soundRun(const std::string& text) {
  sim::RunRecord r;
  r.resultWritten = true;
  r.echo = u16(text);
  r.logWritten = true;
  r.log = text;
  r.lastFrame = followingView(r.echo);
  r.liveBlocks = 2;  // the adapter snapshot
  r.windowCreated = true;
  r.workerStarted = true;
  r.userEnd = sim::UserEnd::Tap;
  r.idleTap = true;
  r.exitProcessCode = 0;
  r.nicFound = true;
  r.nicTraceName = "WLAGN1";
  return r;
}

const std::string GOOD = HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 1) + SUCCESS_PASS + CLOSING;

// The names of the violations found, in order.
std::vector<std::string> names(const sim::RunRecord& r, bool temp = true,
                               const std::vector<std::string>& ipAdapterNames = {}) {
  std::vector<std::string> out;
  for (const std::string& v : sim::checkRun(r, temp, ipAdapterNames))
    out.push_back(v.substr(0, v.find(':')));
  return out;
}

bool has(const std::vector<std::string>& v, const char* name) {
  return std::find(v.begin(), v.end(), name) != v.end();
}

// ---- worlds -------------------------------------------------------------------

TEST(ExploreWorlds, EveryWorldLoadsAndTheSamePairGivesTheSameWorld) {
  for (uint64_t seed : {1u, 2u, 77u}) {
    for (uint64_t run = 1; run <= 150; run++) {
      std::string text = sim::exploreWorld(seed, run);
      sim::World w;
      std::string error;
      ASSERT_TRUE(sim::loadScenario(text, "world", w, error))
          << "seed " << seed << " run " << run << ": " << error << "\n"
          << text;
      EXPECT_EQ(text, sim::exploreWorld(seed, run));
    }
  }
  EXPECT_NE(sim::exploreWorld(1, 1), sim::exploreWorld(1, 2));
  EXPECT_NE(sim::exploreWorld(1, 1), sim::exploreWorld(2, 1));
}

TEST(ExploreWorlds, ReasonableWorldsDominateAndHostileOnesCoverTheInjectedFailures) {
  int reasonable = 0, withNetworks = 0;
  std::vector<std::string> wanted = {
      "fail_adapters_info",
      "fail_network_params",
      "fail_add_address",
      "fail_delete_address",
      "adapter_index_fails",
      "icmp_create_fails",
      "fail_thread_starts",
      "max_threads",
      "fail_allocations",
      "[[radio.refuse]]",
      "delete_fails",
      "temp_folder = false",
      "register_fails",
      "create_fails",
      "action = \"close\"",
      "action = \"start\"",
      "action = \"press\"",
      "action = \"timer\"",
      "action = \"uncover\"",
      "paint_ms = ",
      "shown = ",
      "ssid_bytes",
      "rssi_upper_half",
      "result = \"apipa\"",
      "result = \"refused\"",
      "release_error",
      "associated = ",
      "command_line",
      "opens = false",
      "preempt = ",
      "action = \"message_error\"",
      "fail_echo",
      "fail_file_opens",
      "repeat = ",
      "troubleshooting",      // a release message longer than the line
      "2202 = ",              // one with line breaks
      std::string(80, 'W')};  // a device name the NIC name cannot hold
  std::vector<int> seen(wanted.size(), 0);
  for (uint64_t run = 1; run <= 600; run++) {
    std::string text = sim::exploreWorld(5, run);
    reasonable += text.find("(hostile)") == std::string::npos;
    withNetworks += text.find("[[radio.network]]") != std::string::npos;
    for (size_t i = 0; i < wanted.size(); i++) seen[i] += text.find(wanted[i]) != std::string::npos;
  }
  EXPECT_GT(reasonable, 600 * 6 / 10);
  EXPECT_GT(withNetworks, 600 * 9 / 10);
  for (size_t i = 0; i < wanted.size(); i++) EXPECT_GT(seen[i], 0) << wanted[i];
}

// ---- the console's text --------------------------------------------------------

TEST(ExploreConsoleText, KeepsTheNewestWholeLinesThatFit) {
  std::u16string small = u16(GOOD);
  EXPECT_EQ(sim::keptConsoleText(small), small);

  std::u16string big;
  for (int i = 0; i < 500; i++) big += u16("line number " + std::to_string(i) + "\r\n");
  std::u16string kept = sim::keptConsoleText(big);
  EXPECT_LE(kept.size(), 8191u);
  EXPECT_EQ(kept, big.substr(big.size() - kept.size()));
  EXPECT_EQ(kept.substr(0, 5), u"line ");
  // One more line would not have fitted.
  size_t before = big.rfind(u"line ", big.size() - kept.size() - 1);
  EXPECT_GT(big.size() - before, 8191u);

  std::u16string many;
  for (int i = 0; i < 3000; i++) many += u"\r\n";
  EXPECT_EQ(sim::keptConsoleText(many).size(), 2047u * 2);
}

TEST(ExploreConsoleText, LogBytesUseTheCodePage) {
  std::u16string t = u"a\u00e9\u2013";
  t += char16_t(0xD83D);
  t += char16_t(0xDCF6);
  t += u"z";
  EXPECT_EQ(sim::logBytes(t), std::string("a\xe9??z"));
}

TEST(ExploreTrace, ReadsTheFactsOfTheRun) {
  sim::RunRecord r;
  sim::readTraceFacts(
      "{\"t\":0,\"thread\":1,\"call\":\"CreateWindowEx\",\"ok\":true}\n"
      "{\"t\":0,\"thread\":1,\"call\":\"CreateThread\",\"stack\":0,\"ok\":true}\n"
      "{\"t\":9,\"thread\":2,\"call\":\"CreateThread\",\"stack\":65536,\"ok\":false}\n"
      "{\"t\":9,\"thread\":1,\"call\":\"DispatchMessage\",\"msg\":\"WM_LBUTTONUP\",\"x\":215,\"y\":"
      "233}\n"
      "{\"t\":9,\"thread\":1,\"call\":\"DispatchMessage\",\"msg\":\"WM_LBUTTONUP\",\"x\":215,\"y\":"
      "239}\n"
      "{\"t\":9,\"thread\":1,\"call\":\"DispatchMessage\",\"msg\":\"WM_CLOSE\",\"number\":16}\n"
      "{\"t\":9,\"thread\":1,\"call\":\"ExitProcess\",\"code\":0}\n",
      r);
  EXPECT_TRUE(r.windowCreated);
  EXPECT_FALSE(r.nicFound);
  EXPECT_TRUE(r.workerStarted);             // the first thread is the run's
  EXPECT_EQ(r.userEnd, sim::UserEnd::Tap);  // y 239 lies below the down box
  EXPECT_FALSE(r.idleTap);
  EXPECT_EQ(r.exitProcessCode, 0);
}

TEST(ExploreTrace, ReadsTheNicsNameAndTheReleaseMessages) {
  sim::RunRecord r;
  sim::readTraceFacts(
      "{\"t\":0,\"thread\":2,\"call\":\"DeviceIoControl\",\"code\":\"SET_OID_VALUE\",\"oid\":"
      "\"0x0D01011A\",\"name\":\"ETH0\",\"in\":4096,\"out\":4096,\"ok\":false}\n"
      "{\"t\":0,\"thread\":2,\"call\":\"DeviceIoControl\",\"code\":\"SET_OID_VALUE\",\"oid\":"
      "\"0x0D01011A\",\"name\":\"PCI\\\\W\\\"1\",\"in\":4096,\"out\":4096,\"ok\":true}\n"
      "{\"t\":5,\"thread\":2,\"call\":\"DeviceIoControl\",\"code\":\"SET_OID_VALUE\",\"oid\":"
      "\"0x0D01011A\",\"name\":\"OTHER\",\"in\":4096,\"out\":4096,\"ok\":true}\n"
      "{\"t\":9,\"thread\":2,\"call\":\"FormatMessage\",\"code\":1231,\"found\":true}\n"
      "{\"t\":9,\"thread\":2,\"call\":\"FormatMessage\",\"code\":5,\"found\":false}\n",
      r);
  EXPECT_TRUE(r.nicFound);
  EXPECT_EQ(r.nicTraceName, "PCI\\\\W\\\"1");  // the first accepted test, escapes kept
  ASSERT_EQ(r.releaseMessages.size(), 2u);
  EXPECT_EQ(r.releaseMessages[0], std::make_pair(1231L, true));
  EXPECT_EQ(r.releaseMessages[1], std::make_pair(5L, false));
}

// A run's account of its world comes back as it was written, whatever bytes
// the names hold; a text cut short or not of that form is refused whole.
TEST(ExploreWorldFacts, ComeBackAsWrittenAndACutTextIsRefused) {
  sim::WorldFacts f;
  f.loaded = true;
  f.tempFolder = false;
  f.ipAdapterNames = {"WLAGN1", "", std::string("a\n7:b\0c", 8), "\xe9t\xe9"};
  const std::string text = sim::worldFactsText(f);
  sim::WorldFacts back;
  ASSERT_TRUE(sim::readWorldFacts(text, back));
  EXPECT_TRUE(back.loaded);
  EXPECT_FALSE(back.tempFolder);
  EXPECT_EQ(back.ipAdapterNames, f.ipAdapterNames);

  sim::WorldFacts refused;
  refused.refused = "world.toml: line 3: key radio.network: unknown";
  ASSERT_TRUE(sim::readWorldFacts(sim::worldFactsText(refused), back));
  EXPECT_FALSE(back.loaded);
  EXPECT_EQ(back.refused, refused.refused);

  // Every cut of the loaded text but the whole is refused, and leaves what
  // it was given alone.
  for (size_t n = 0; n < text.size(); n++) {
    sim::WorldFacts kept;
    kept.ipAdapterNames = {"kept"};
    EXPECT_FALSE(sim::readWorldFacts(text.substr(0, n), kept)) << n;
    EXPECT_EQ(kept.ipAdapterNames, std::vector<std::string>{"kept"});
  }
  for (const char* bad : {"loaded 2 0\n", "loaded 1 1\n99999999999:x\n", "loaded 1 0\nmore",
                          "loaded 1 1\n3:abcd\n", "loaded 1 99999999999\n", "loaded 1 0"})
    EXPECT_FALSE(sim::readWorldFacts(bad, back)) << bad;
}

// ---- the properties ------------------------------------------------------------

TEST(ExploreProperties, ASoundRunPasses) {
  EXPECT_TRUE(sim::checkRun(soundRun(GOOD), true).empty())
      << sim::checkRun(soundRun(GOOD), true)[0];
}

TEST(ExploreProperties, EndingsAreTheClosingLinesOrADocumentedExit) {
  sim::RunRecord cut = soundRun(HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 1));
  EXPECT_TRUE(has(names(cut), "no-closing-lines"));  // idle, yet not closed
  cut.idleTap = false;
  EXPECT_TRUE(names(cut).empty());  // the user's own tap cut it short
  cut.userEnd = sim::UserEnd::None;
  cut.logWritten = false;
  EXPECT_TRUE(has(names(cut), "no-closing-lines"));

  sim::RunRecord one = soundRun(HEAD + lines({"Could not delete old gateway"}));
  one.exitCode = 1;
  one.userEnd = sim::UserEnd::None;
  one.logWritten = false;
  EXPECT_TRUE(names(one).empty());
  one.echo = u16(HEAD + lines({"     IP Address Deleted."}));
  EXPECT_TRUE(has(names(one), "undocumented-exit"));
  one.exitCode = 4;
  EXPECT_TRUE(has(names(one), "exit-code"));
}

TEST(ExploreProperties, CrashesHangsAndDeadlocksAreNamed) {
  sim::RunRecord r = soundRun(GOOD);
  r.signal = SIGALRM;
  EXPECT_EQ(names(r), std::vector<std::string>{"hang"});
  r.signal = SIGSEGV;
  EXPECT_EQ(names(r), std::vector<std::string>{"crash"});
  r.signal = 0;
  r.deadlock = true;
  EXPECT_EQ(names(r), std::vector<std::string>{"deadlock"});
}

TEST(ExploreProperties, EveryPassEndsInOneVerdictAndTheCountFallsByOne) {
  std::string two = failedPass("Cafe", "00.1a.70.3c.12.01", 1);
  two += "10 Available nodes more...  \r\n";
  EXPECT_TRUE(has(names(soundRun(HEAD + two + SUCCESS_PASS + CLOSING)), "pass-two-verdicts"));

  std::string none = failedPass("Cafe", "00.1a.70.3c.12.01", 1);
  none.erase(none.rfind(" 1 Available"));
  EXPECT_TRUE(has(names(soundRun(HEAD + none + SUCCESS_PASS + CLOSING)), "pass-without-verdict"));

  std::string skip = HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 2) +
                     failedPass("Guest", "00.14.bf.52.0e.9a", 0) + CLOSING;
  EXPECT_TRUE(has(names(soundRun(skip)), "count-skips"));

  std::string below = HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 0) +
                      failedPass("Guest", "00.14.bf.52.0e.9a", -1) + CLOSING;
  std::vector<std::string> v = names(soundRun(below));
  EXPECT_TRUE(has(v, "count-below-zero"));
  EXPECT_TRUE(has(v, "pass-after-last-node"));

  std::string after = HEAD + SUCCESS_PASS + failedPass("Cafe", "00.1a.70.3c.12.01", 0) + CLOSING;
  EXPECT_TRUE(has(names(soundRun(after)), "pass-after-success"));

  std::string noDns = GOOD;
  noDns.replace(noDns.find("-Testing DNS resolution....OK:   31ms"), 37,
                "-Testing DNS resolution....ERROR");
  EXPECT_TRUE(has(names(soundRun(noDns)), "success-without-dns"));

  std::string four = HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 3) +
                     failedPass("Cafe", "00.1a.70.3c.12.01", 2) +
                     failedPass("Cafe", "00.1a.70.3c.12.01", 1) + SUCCESS_PASS + CLOSING;
  EXPECT_TRUE(has(names(soundRun(four)), "too-many-passes"));  // 4 passes, 2 networks
}

TEST(ExploreProperties, WaitsAndTheSurveyAddUp) {
  std::string late = GOOD;
  late.replace(late.find("..Associated in  2s "), 20, "..Associated in  4s ");
  EXPECT_TRUE(has(names(soundRun(late)), "wait-seconds"));
  std::string renew = GOOD;
  renew.replace(renew.find(".Renewed in  0s "), 16, ".Renewed in  2s ");
  EXPECT_TRUE(has(names(soundRun(renew)), "wait-seconds"));
  std::string missing = GOOD;
  missing.erase(missing.find("Guest         00.14"), 45);
  EXPECT_TRUE(has(names(soundRun(missing)), "survey-rows"));
}

TEST(ExploreProperties, NoLineIsTorn) {
  auto torn = [](std::string text, const char* from, const char* to) {
    text.replace(text.find(from), std::string(from).size(), to);
    return has(names(soundRun(text)), "torn-line");
  };
  // A probe's line inside a heading and its completion.
  EXPECT_TRUE(torn(GOOD, "-Testing DNS resolution....OK:   31ms",
                   "-Testing DNS resolution....1.0  192.168.0.1\r\nOK:   31ms"));
  // Two probes on one line, and other text after a probe's address.
  std::string sweep =
      lines({"-Trying to find usual AP configurations...", "     IP address added: 192.168.0.133",
             "...............1.0  192.168.0.1", "................", "     IP Address Deleted.",
             "     No valid Internet gateway found."});
  std::string withSweep = GOOD;
  withSweep.insert(withSweep.find("     Got valid IP Add."), sweep);
  EXPECT_FALSE(has(names(soundRun(withSweep)), "torn-line"));
  EXPECT_FALSE(has(names(soundRun(withSweep)), "sweep-dots"));
  EXPECT_TRUE(torn(withSweep, "1.0  192.168.0.1", "1.0  1.0  192.168.0.2192.168.0.1"));
  EXPECT_TRUE(torn(withSweep, "1.0  192.168.0.1", "1.0  192.168.0.1."));
  // A heading completed twice, or not at all.
  EXPECT_TRUE(torn(GOOD, "-Testing Internet connection....OK:   23ms",
                   "-Testing Internet connection....-Testing Internet connection....OK:   23ms"));
  EXPECT_TRUE(torn(GOOD, "-Current state.... DISSASSOCIATED", "-Current state.... "));
  EXPECT_TRUE(torn(GOOD, "     Guest .Associated in  0s ", "     Guest .Associated in "));
  // A probe's answer after the sweep's address went, or under the verdict.
  EXPECT_FALSE(has(names(soundRun(withSweep)), "late-probe"));
  std::string late = withSweep;
  late.insert(late.find("     No valid Internet gateway found."), "1.0  192.168.0.7\r\n");
  EXPECT_TRUE(has(names(soundRun(late)), "late-probe"));
  late = GOOD;
  late.insert(late.find("-Testing DNS resolution"), "1.0  192.168.0.7\r\n");
  EXPECT_TRUE(has(names(soundRun(late)), "late-probe"));
  // The sweep writes 31 dots whatever answers.
  std::string short1 = withSweep;
  short1.replace(short1.find("................\r\n"), 3, "..");
  EXPECT_TRUE(has(names(soundRun(short1)), "sweep-dots"));
}

TEST(ExploreProperties, TheLogIsTheConsoleText) {
  sim::RunRecord r = soundRun(GOOD);
  r.log.pop_back();
  EXPECT_TRUE(has(names(r), "log-differs"));
  r = soundRun(GOOD);
  r.logWritten = false;
  r.log.clear();
  EXPECT_TRUE(has(names(r), "log-missing"));
  EXPECT_TRUE(names(r, false).empty());  // no \Temp folder: nothing to write to
  r = soundRun(GOOD);
  r.userEnd = sim::UserEnd::Close;
  r.idleTap = false;
  EXPECT_TRUE(has(names(r), "log-written"));  // closed from outside: no log

  // Cut short by a tap: the console as it stood then.
  std::string part = HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 1);
  r = soundRun(part + "-Trying to associate with....\r\n");
  r.idleTap = false;
  r.log = part;
  EXPECT_TRUE(names(r).empty());
  r.log = part.substr(0, 100) + "x" + part.substr(101);
  EXPECT_TRUE(has(names(r), "log-differs"));
}

TEST(ExploreProperties, AFullConsoleLogsItsNewestWholeLines) {
  // A sweep whose many answers fill the console.
  std::string text = HEAD + lines({"-Trying to find usual AP configurations...",
                                   "     IP address added: 192.168.0.133", "."});
  for (int i = 0; i < 400; i++) text += "1.0  192.168.0." + std::to_string(i % 250) + "\r\n";
  text += lines({"..............................", "     IP Address Deleted.",
                 "     No valid Internet gateway found."});
  text += SUCCESS_PASS + CLOSING;
  sim::RunRecord r = soundRun(text);
  r.log = sim::logBytes(sim::keptConsoleText(r.echo));
  EXPECT_TRUE(names(r).empty()) << sim::checkRun(r, true)[0];
  r.log = text.substr(text.size() - 8191);  // not from a line start
  EXPECT_TRUE(has(names(r), "log-differs"));
  r.log = text;  // nothing dropped
  EXPECT_TRUE(has(names(r), "log-differs"));
}

TEST(ExploreProperties, TheViewIsTheTextFromALineStart) {
  sim::RunRecord r = soundRun(GOOD);
  EXPECT_TRUE(names(r).empty());
  r.lastFrame = r.echo.substr(r.echo.find(u"Node: Guest"));
  EXPECT_TRUE(has(names(r), "view"));  // nobody scrolled: 23 lines before the end
  r.userScrolled = true;
  EXPECT_TRUE(names(r).empty());        // the user may have put it there
  r.lastFrame = r.echo.substr(3, 200);  // inside the banner line
  EXPECT_TRUE(has(names(r), "view"));
  r.lastFrame = r.echo.substr(0, 200);  // cut short of the view's bound
  EXPECT_TRUE(has(names(r), "view"));
  size_t line = r.echo.find(u"Node: ");
  r.lastFrame = r.echo.substr(line);  // all of it from a line start
  EXPECT_TRUE(names(r).empty());
  r.lastFrame = std::u16string(1153, u'x');
  EXPECT_TRUE(has(names(r), "view"));
}

TEST(ExploreProperties, OnlyTheAdapterSnapshotOutlivesTheRun) {
  sim::RunRecord r = soundRun(GOOD);
  r.liveBlocks = 3;
  EXPECT_TRUE(has(names(r), "memory-leak"));
  r.liveBlocks = -1;
  EXPECT_TRUE(has(names(r), "memory-release"));
  // Cut short, the run's threads may still hold their blocks.
  r = soundRun(HEAD + failedPass("Cafe", "00.1a.70.3c.12.01", 1));
  r.idleTap = false;
  r.liveBlocks = 40;
  EXPECT_TRUE(names(r).empty());
}

TEST(ExploreProperties, WithoutAWindowOrARunNothingIsWritten) {
  sim::RunRecord r = soundRun(GOOD);
  r.windowCreated = false;
  r.userEnd = sim::UserEnd::None;
  r.idleTap = false;
  r.logWritten = false;
  EXPECT_TRUE(has(names(r), "output-without-run"));
  r.echo.clear();
  r.lastFrame.clear();
  EXPECT_TRUE(names(r).empty());

  sim::RunRecord idle = soundRun("");
  idle.workerStarted = false;
  idle.lastFrame.clear();
  EXPECT_TRUE(names(idle).empty());  // the idle tap saves an empty log
}

// The NIC the run names is the one the driver requests name, and "not
// found" is said only of a NIC the IP configuration does not list.
TEST(ExploreProperties, TheNicIsNamedAsTheDriverSeesItAndFoundWhereListed) {
  sim::RunRecord r = soundRun(GOOD);
  EXPECT_TRUE(names(r).empty());
  r.nicTraceName = "WLAGN1X";  // the run shows a cut name
  EXPECT_TRUE(has(names(r), "nic-name"));
  r.nicFound = false;
  EXPECT_TRUE(has(names(r), "nic-name"));

  std::string notFound = GOOD;
  notFound.replace(notFound.find("     NIC DHCP Enabled"), 21,
                   "     NIC not found in IP configuration.");
  r = soundRun(notFound);
  EXPECT_TRUE(names(r, true, {"ETH0", "WLAGN"}).empty());
  EXPECT_TRUE(has(names(r, true, {"ETH0", "WLAGN1"}), "false-verdict"));
  // Names are compared as the program compares them: 8-bit names widened
  // (the trace writes UTF-8).
  std::string latin = notFound;
  latin.replace(latin.find("Found : WLAGN1"), 14, "Found : WLAGN\xe9");
  r = soundRun(latin);
  for (char16_t& c : r.echo) c = char16_t(static_cast<unsigned char>(c));
  r.lastFrame = followingView(r.echo);
  r.nicTraceName = "WLAGN\xc3\xa9";
  EXPECT_FALSE(has(names(r, true, {"WLAGN\xc3\xa9"}), "false-verdict"));
  EXPECT_TRUE(has(names(r, true, {"WLAGN\xe9"}), "false-verdict"));
  EXPECT_FALSE(has(names(r), "nic-name"));
}

TEST(ExploreProperties, AFailedReadGivesNoCause) {
  std::string failed = GOOD;
  size_t from = failed.find("     NIC DHCP Enabled");
  size_t to = failed.find("-Connection data:", from);
  failed.replace(from, to - from, "Cannot read the IP adapter list, ERROR 31\r\n");
  EXPECT_TRUE(names(soundRun(failed)).empty());
  std::string blamed = failed;
  blamed.insert(blamed.find("-Connection data:"), "   DHCP server available.\r\n");
  EXPECT_TRUE(has(names(soundRun(blamed)), "false-verdict"));
  // The next node's causes are its own.
  std::string next = failed;
  next.insert(next.find("-Testing DNS resolution....OK"),
              "   Signal (RSSI) between  -10 and -70dB.\r\n");
  EXPECT_FALSE(has(names(soundRun(next)), "false-verdict"));
}

TEST(ExploreProperties, AReleaseErrorShowsItsCodeOnOneLine) {
  const std::string release =
      "     Releasing... Release Error:EThe network location cannot be reached.-1231\r\n";
  std::string text = GOOD;
  text.insert(text.find("     Renewing .Renewed"), release);
  sim::RunRecord r = soundRun(text);
  r.releaseMessages = {{1231, true}};
  EXPECT_TRUE(names(r).empty()) << sim::checkRun(r, true)[0];
  r.releaseMessages = {{123, true}};  // the code cut short
  EXPECT_TRUE(has(names(r), "release-code"));

  std::string split = GOOD;
  split.insert(
      split.find("     Renewing .Renewed"),
      "     Releasing... Release Error:EThe network location\r\ncannot be reached.-1231\r\n");
  r = soundRun(split);
  r.releaseMessages = {{1231, true}};
  EXPECT_TRUE(has(names(r), "release-code"));
}

}  // namespace
