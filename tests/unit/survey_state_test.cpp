// The survey's results for the node loop: candidate flags, the remaining-node
// count, the current node and the association state, on a simulated
// handheld. The rows it prints, and the endings of a refused list query or
// BSSID query, are checked by the radio-* scenarios.
#include <cstring>
#include <string>
#include <vector>

#include "console/console.h"
#include "harness/scheduler.h"
#include "run/run_state.h"
#include "run/survey.h"
#include "wlan/channel.h"
#include "wlan/node_table.h"
#include "wlan/scan.h"
#include "wlan_sim_testing.h"

namespace {

std::string network(const std::string& ssid, int last, const std::string& more = "") {
  char bssid[32];
  std::snprintf(bssid, sizeof bssid, "00:1a:2b:3c:4d:%02x", last);
  return "[[radio.network]]\nssid = \"" + ssid + "\"\nbssid = \"" + bssid + "\"\n" + more + "\n";
}

// Ten networks; the candidates are entries 0, 4, 6, 7 and 9.
std::string mixedList() {
  return network("Open", 0, "rssi = -50") +                              // 0 candidate
         network("Wpa", 1, "privacy = 1") +                              // 1
         network("AdHoc", 2, "mode = \"ibss\"") +                        // 2
         network("AdHocWep", 3, "mode = \"ibss\"\nprivacy = 1") +        // 3
         network("Auto", 4, "mode = \"auto\"") +                         // 4 candidate
         network("Weak90", 5, "rssi = -90") +                            // 5
         network("Weak89", 6, "rssi = -89") +                            // 6 candidate
         network("Upper60", 7, "rssi = -60\nrssi_upper_half = true") +   // 7 candidate
         network("Minus30000", 8, "rssi = -30000") +                     // 8
         network("Channel14", 9, "channel = 14\nds_unit = \"number\"");  // 9 candidate
}
const std::vector<int> MIXED_CANDIDATES = {1, 0, 0, 0, 1, 0, 1, 1, 0, 1};

std::string scenario(const std::string& radio, const std::string& head = "") {
  return std::string(WLAN_BINDING) + "[radio]\n" + head + "\n" + radio;
}

void useFilter(const char16_t* filter) {
  size_t i = 0;
  for (; filter[i]; i++) runState.filterText[i] = filter[i];
  runState.filterText[i] = 0;
  runState.filterActive = 1;
}

std::vector<int> candidates() {
  std::vector<int> out;
  for (int i = 0; i < nodeTable.count; i++) out.push_back(nodeTable.entries[i].candidate);
  return out;
}

std::string text(const std::vector<int>& v) {
  std::string s;
  for (int x : v) s += char('0' + x);
  return s;
}

// Finds the adapter and runs the survey; the filter, when given, first.
bool survey(SimChecks& c, const char16_t* filter = nullptr) {
  runState = RunState{};
  std::memset(&nodeTable, 0, sizeof nodeTable);
  if (filter) useFilter(filter);
  c.check(findWlanNic(), "adapter found");
  return surveyNetworks();
}

TEST(Survey, CandidatesAreOpenInfrastructureAndStrongEnough) {
  std::string failures =
      onSimulatedHandheld(scenario(mixedList()), [](SimChecks& c, const std::string&) {
        sim::Ms start = sim::now();
        c.check(survey(c), "the run goes on");
        c.equal(sim::now() - start, sim::Ms(SCAN_WAIT_MS), "the scan's wait");
        c.equal(nodeTable.count, 10, "count");
        c.equal(text(candidates()), text(MIXED_CANDIDATES), "candidate flags");
        c.equal(runState.remainingNodes, 5, "remaining nodes");
        c.check(runState.associationState != 0, "not associated");
        c.equal(runState.currentNode, NO_NODE, "current node untouched");
        // The survey rewrites what it showed.
        c.equal(nodeTable.entries[7].rssi, -60, "RSSI from the upper half-word");
        c.equal(nodeTable.entries[8].rssi, -30000, "-30000 itself stays");
        c.equal(nodeTable.entries[9].channel, 0, "channel 14 stored as 0");
        // A new scan makes every entry a candidate again.
        c.equal(scanNetworks(nodeTable.entries), 10, "second scan");
        c.equal(text(candidates()), std::string(10, '1'), "flags after a new scan");
      });
  EXPECT_EQ(failures, "");
}

TEST(Survey, FilterKeepsOnlyItsBssidIgnoringLetterCase) {
  struct Case {
    const char16_t* filter;
    std::string flags;
  };
  // Entry 0 is 00.1a.2b.3c.4d.00 and a candidate on its own; entry 1 is
  // encrypted and stays out even when the filter names it.
  const Case cases[] = {
      {u"00.1a.2b.3c.4d.00", "10"},  {u"00.1A.2B.3C.4D.00", "10"}, {u"00.1a.2b.3c.4d.01", "00"},
      {u"00:1a:2b:3c:4d:00", "00"},   // colons never match the dotted form
      {u"00.1a.2b.3c.4d.00 ", "00"},  // the whole texts are compared
      {u"00.1a.2b.3c.4d.0", "00"},   {u"00.1a.2b.3c.4d.99", "00"},
  };
  std::string radio = network("Open", 0) + network("Wpa", 1, "privacy = 1");
  for (const Case& k : cases) {
    std::string failures =
        onSimulatedHandheld(scenario(radio), [&k](SimChecks& c, const std::string&) {
          c.check(survey(c, k.filter), "the run goes on");
          c.equal(text(candidates()), k.flags, "candidate flags");
          c.equal(runState.remainingNodes, k.flags == "10" ? 1 : 0, "remaining nodes");
        });
    EXPECT_EQ(failures, "") << std::string(k.filter, k.filter + 17);
  }
}

TEST(Survey, TheNetworkTheAdapterIsOnComesFirst) {
  struct Case {
    const char* associated;  // "" none
    const char16_t* filter;
    int currentNode;
    int remaining;
  };
  const Case cases[] = {
      {"00:1a:2b:3c:4d:00", nullptr, 0, 5},               // a candidate: counted once
      {"00:1a:2b:3c:4d:01", nullptr, 1, 6},               // encrypted: one more
      {"00:1a:2b:3c:4d:05", nullptr, 5, 6},               // too weak: one more
      {"00:1a:2b:3c:4d:99", nullptr, NO_NODE, 6},         // not in the table: one more
      {"00:1a:2b:3c:4d:04", u"00.1a.2b.3c.4d.77", 4, 1},  // filter matches nothing
  };
  for (const Case& k : cases) {
    std::string radio = mixedList() +
                        "[[radio.network]]\nssid = \"Elsewhere\"\n"
                        "bssid = \"00:1a:2b:3c:4d:99\"\nlisted = false\n";
    std::string head = std::string("associated = \"") + k.associated + "\"\n";
    std::string failures =
        onSimulatedHandheld(scenario(radio, head), [&k](SimChecks& c, const std::string&) {
          c.check(survey(c, k.filter), "the run goes on");
          c.equal(runState.associationState, 0, "associated");
          c.equal(runState.currentNode, k.currentNode, "current node");
          c.equal(runState.remainingNodes, k.remaining, "remaining nodes");
          uint8_t want[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0};
          want[5] = uint8_t(std::strtoul(k.associated + 15, nullptr, 16));
          c.check(std::memcmp(runState.currentBssid, want, 6) == 0, "current BSSID");
        });
    EXPECT_EQ(failures, "") << k.associated;
  }
}

}  // namespace
