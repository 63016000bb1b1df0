// Association control against the simulated driver: the requests it makes,
// in order and with their sizes and values, and what the adapter answers.
#include <cstring>
#include <string>

#include "platform/core.h"
#include "radio/radio_link.h"
#include "scenario/world_radio.h"
#include "wlan/association.h"
#include "wlan/channel.h"
#include "wlan_sim_testing.h"

namespace {

const std::string RADIO = std::string(WLAN_BINDING) + R"(
[radio]
associated = "00:1a:2b:00:00:01"
[[radio.network]]
ssid = "Cafe"
bssid = "00:1a:2b:00:00:01"
join_polls = 2
[[radio.network]]
ssid = "Never"
bssid = "00:1a:2b:00:00:02"
joins = false
[[radio.network]]
ssid = "Hidden"
bssid = "00:1a:2b:00:00:03"
listed = false
join_polls = 0
)";

const char* const INFRA = "\"oid\":\"0x0D010108\"";
const char* const AUTH = "\"oid\":\"0x0D010118\"";
const char* const SSID = "\"oid\":\"0x0D010102\"";

std::string hex(const uint8_t* b) {
  char t[18];
  std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
  return t;
}

// The association requests of a trace, each reduced to what matters here.
std::vector<std::string> associationRequests(const std::vector<std::string>& trace) {
  std::vector<std::string> out;
  for (const std::string& l : trace) {
    const char* kind = l.find(INFRA) != std::string::npos  ? "infra"
                       : l.find(AUTH) != std::string::npos ? "auth"
                       : l.find(SSID) != std::string::npos ? "ssid"
                                                           : nullptr;
    if (!kind) continue;
    std::string s = kind;
    for (const char* field : {"\"in\":", "\"value\":", "\"ssid_length\":", "\"ok\":"}) {
      size_t at = l.find(field);
      if (at == std::string::npos) continue;
      size_t end = l.find_first_of(",}", at);
      s += " " + l.substr(at + std::strlen(field), end - at - std::strlen(field));
    }
    out.push_back(s);
  }
  return out;
}

TEST(AssociateSsid, ModesThenSsidInRequestsOf128Bytes) {
  std::string failures = onSimulatedHandheld(RADIO, [](SimChecks& c, const std::string& path) {
    c.check(findWlanNic(), "adapter found");
    const char* ssid31 = "0123456789abcdefghijklmnopqrstu";
    c.equal(std::strlen(ssid31), size_t(31), "test SSID");
    c.check(associateSsid(ssid31), "31-byte SSID accepted");
    c.check(associateSsid(""), "empty SSID accepted");
    // A text longer than the record's 32 bytes is cut there, never read on.
    c.check(associateSsid("0123456789abcdefghijklmnopqrstuvwxyzABCD"), "long text accepted");
    std::vector<std::string> trace = finishTrace(path);
    std::vector<std::string> got = associationRequests(trace);
    std::vector<std::string> want = {
        "infra 128 1 true", "auth 128 0 true", "ssid 128 31 true",
        "infra 128 1 true", "auth 128 0 true", "ssid 128 0 true",
        "infra 128 1 true", "auth 128 0 true", "ssid 128 32 true",
    };
    c.equal(got.size(), want.size(), "association requests");
    for (size_t i = 0; i < got.size() && i < want.size(); i++) c.equal(got[i], want[i], "request");
    auto named = tracedRequests(trace, {SSID, "\"ssid\":\"0123456789abcdefghijklmnopqrstu\""});
    c.equal(named.size(), size_t(1), "the 31 bytes sent");
  });
  EXPECT_EQ(failures, "");
}

TEST(AssociateSsid, ModesAreSentEvenWhenTheSsidIsRefused) {
  std::string scenario = RADIO + R"(
[[radio.refuse]]
oid = "SSID"
error = 87
)";
  std::string failures = onSimulatedHandheld(scenario, [](SimChecks& c, const std::string& path) {
    c.check(findWlanNic(), "adapter found");
    c.check(!associateSsid("Cafe"), "refused SSID request gives false");
    std::vector<std::string> got = associationRequests(finishTrace(path));
    std::vector<std::string> want = {"infra 128 1 true", "auth 128 0 true", "ssid 128 4 false"};
    c.equal(got.size(), want.size(), "association requests");
    for (size_t i = 0; i < got.size() && i < want.size(); i++) c.equal(got[i], want[i], "request");
  });
  EXPECT_EQ(failures, "");
}

TEST(QueryCurrentBssid, AssociatedThenDroppedKeepsTheLastBssid) {
  std::string failures = onSimulatedHandheld(RADIO, [](SimChecks& c, const std::string& path) {
    c.check(findWlanNic(), "adapter found");
    uint8_t b[6] = {};
    c.equal(queryCurrentBssid(b), 0, "associated at start");
    c.equal(hex(b), std::string("00:1a:2b:00:00:01"), "reported BSSID");
    disassociate();
    c.equal(queryCurrentBssid(b), int32_t(plat::ERROR_GEN_FAILURE), "after disassociation");
    c.equal(hex(b), std::string("00:1a:2b:00:00:01"), "output left as it was");
    std::vector<std::string> t = finishTrace(path);
    c.equal(
        tracedRequests(t, {"QUERY_OID_VALUE", "\"oid\":\"0x0D010101\"", "\"in\":128,\"out\":128"})
            .size(),
        size_t(2), "BSSID queries of 128 bytes");
    c.equal(
        tracedRequests(t, {"SET_OID_VALUE", "\"oid\":\"0x0D010115\"", "\"in\":1024,\"out\":1024"})
            .size(),
        size_t(1), "one disassociation of 1024 bytes");
  });
  EXPECT_EQ(failures, "");
}

TEST(QueryCurrentBssid, ARefusalWithoutAnErrorCodeIsNotAssociation) {
  for (uint32_t error : {0u, 1167u}) {
    std::string scenario = std::string(WLAN_BINDING) +
                           "[radio]\nbssid_error = " + std::to_string(error) +
                           "\n[[radio.network]]\nssid = \"Cafe\"\n";
    std::string failures = onSimulatedHandheld(scenario, [error](SimChecks& c, const std::string&) {
      c.check(findWlanNic(), "adapter found");
      uint8_t b[6] = {9, 9, 9, 9, 9, 9};
      int32_t r = queryCurrentBssid(b);
      c.equal(r, int32_t(error ? error : plat::ERROR_GEN_FAILURE), "result");
      c.equal(hex(b), std::string("09:09:09:09:09:09"), "output untouched");
    });
    EXPECT_EQ(failures, "") << "bssid_error " << error;
  }
}

// The node loop's rhythm: disassociate, associate, then a poll every 2000 ms.
int firstPollThatSeesIt(const char* ssid, uint8_t* bssid) {
  disassociate();
  associateSsid(ssid);
  for (int poll = 1; poll <= 8; poll++) {
    plat::sleep(2000);
    if (queryCurrentBssid(bssid) == 0) return poll;
  }
  return 0;
}

TEST(Join, HoldsAtTheKthPollOrNever) {
  std::string failures = onSimulatedHandheld(RADIO, [](SimChecks& c, const std::string&) {
    c.check(findWlanNic(), "adapter found");
    uint8_t b[6] = {};
    c.equal(sim::associatedNetwork(), 0, "on Cafe at start");
    uint64_t joins = sim::joinCount();

    c.equal(firstPollThatSeesIt("Cafe", b), 2, "Cafe joins at the second poll");
    c.equal(hex(b), std::string("00:1a:2b:00:00:01"), "Cafe's BSSID");
    c.equal(sim::joinCount(), joins + 1, "one join more");

    // The SSID request drops the network at once; right after it the
    // adapter is on none.
    associateSsid("Cafe");
    c.check(queryCurrentBssid(b) != 0, "not associated right after the request");
    c.equal(sim::associatedNetwork(), -1, "no network while joining");

    c.equal(firstPollThatSeesIt("Never", b), 0, "a network that never joins");
    c.equal(firstPollThatSeesIt("Nobody", b), 0, "an SSID no network has");
    c.equal(sim::associatedNetwork(), -1, "still on no network");

    // A network missing from the scan list can still be joined by its SSID;
    // join_polls = 0 holds at once.
    disassociate();
    associateSsid("Hidden");
    c.equal(queryCurrentBssid(b), 0, "Hidden joined at once");
    c.equal(hex(b), std::string("00:1a:2b:00:00:03"), "Hidden's BSSID");
    const std::string* ssid = sim::associatedSsid();
    c.check(ssid && *ssid == "Hidden", "the IP model sees Hidden");
  });
  EXPECT_EQ(failures, "");
}

}  // namespace
