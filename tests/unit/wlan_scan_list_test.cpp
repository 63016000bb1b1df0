// The scan list query against the simulated driver: a list larger than the
// request is refused as a conforming driver refuses it (and cut only by a
// driver declared careless), and the scan asks again in a block that fits.
#include <cstring>
#include <string>
#include <vector>

#include "platform/core.h"
#include "platform/ndisuio.h"
#include "wlan/channel.h"
#include "wlan/scan.h"
#include "wlan_sim_testing.h"

namespace {

// Three records of 104 + 1400 bytes: 4516 bytes of list, more than the
// 4092 a 4096-byte request has room for.
std::string world(const std::string& radio) {
  return std::string(WLAN_BINDING) + "[radio]\n" + radio + R"(
[[radio.network]]
ssid = "A"
extra_bytes = 1400
repeat = 3
)";
}
constexpr plat::DWORD LIST_BYTES = 4 + 3 * (104 + 1400);

// One list query of `size` bytes through the driver: ok, last error and
// bytes returned; the request is filled with 0x5A first.
struct Query {
  bool ok;
  plat::DWORD error, returned;
  std::vector<uint8_t> request;
};
// The adapter found (its test is a scan request) and that scan over, so that
// the driver's list holds every network.
bool adapterWithFullList() {
  bool found = findWlanNic();
  plat::sleep(SCAN_WAIT_MS);
  return found;
}

Query listQuery(plat::DWORD size) {
  Query q{false, 0, 0, std::vector<uint8_t>(size, 0x5A)};
  plat::setLastError(0);
  q.ok = queryOid(q.request.data(), plat::OID_802_11_BSSID_LIST, size, &q.returned);
  q.error = plat::getLastError();
  return q;
}

TEST(ScanListTooLarge, ARefusalWithTheBytesTheRequestNeeds) {
  std::string failures = onSimulatedHandheld(world(""), [](SimChecks& c, const std::string&) {
    c.check(adapterWithFullList(), "adapter found");
    Query q = listQuery(SCAN_REQUEST_BYTES);
    c.check(!q.ok, "the query fails");
    c.equal(q.error, plat::ERROR_INSUFFICIENT_BUFFER, "last error");
    c.equal(q.returned, plat::OID_DATA_OFFSET + LIST_BYTES, "bytes the request needs");
    c.equal(int(q.request[plat::OID_DATA_OFFSET]), 0x5A, "nothing written");
    Query fits = listQuery(plat::OID_DATA_OFFSET + LIST_BYTES);
    c.check(fits.ok, "a request of that size is answered");
    plat::ULONG items = 0;
    std::memcpy(&items, fits.request.data() + plat::OID_DATA_OFFSET, 4);
    c.equal(items, plat::ULONG(3), "the whole list");
    Query oneShort = listQuery(plat::OID_DATA_OFFSET + LIST_BYTES - 1);
    c.check(!oneShort.ok, "one byte less is refused");
  });
  EXPECT_EQ(failures, "");
}

TEST(ScanListTooLarge, ACarelessDriverCutsItAndSaysOk) {
  std::string failures =
      onSimulatedHandheld(world("cut_list = true\n"), [](SimChecks& c, const std::string& path) {
        c.check(adapterWithFullList(), "adapter found");
        Query q = listQuery(SCAN_REQUEST_BYTES);
        c.check(q.ok, "the cut list is reported as a success");
        auto cut = tracedRequests(finishTrace(path), {"\"cut\":true"});
        c.equal(cut.size(), size_t(1), "traced as cut");
      });
  EXPECT_EQ(failures, "");
}

TEST(ScanListTooLarge, AnInjectedRefusalSaysNoSize) {
  std::string radio = "[[radio.refuse]]\noid = \"BSSID_LIST\"\nerror = 87\n";
  std::string scenario = world("") + radio;
  std::string failures = onSimulatedHandheld(scenario, [](SimChecks& c, const std::string&) {
    c.check(adapterWithFullList(), "adapter found");
    Query q = listQuery(SCAN_REQUEST_BYTES);
    c.check(!q.ok, "refused");
    c.equal(q.error, plat::DWORD(87), "the injected code");
    c.equal(q.returned, plat::DWORD(0), "no size said");
  });
  EXPECT_EQ(failures, "");
}

TEST(ScanNetworks, AListLargerThanTheRequestIsReadWhole) {
  std::string failures = onSimulatedHandheld(world(""), [](SimChecks& c, const std::string& path) {
    c.check(findWlanNic(), "adapter found");
    std::vector<NodeEntry> entries(NODE_TABLE_ENTRIES);
    c.equal(scanNetworks(entries.data()), int32_t(3), "networks found");
    auto t = finishTrace(path);
    c.equal(tracedRequests(t, {"\"oid\":\"0x0D010217\"", "\"ok\":false"}).size(), size_t(1),
            "one refused list query");
    c.equal(tracedRequests(t, {"\"oid\":\"0x0D010217\"", "\"in\":4532", "\"ok\":true"}).size(),
            size_t(1), "then one of the size needed");
  });
  EXPECT_EQ(failures, "");
}

TEST(ScanNetworks, NoBlockForTheLargerListFindsNothing) {
  std::string scenario = "[system]\nfail_allocations = [1]\n" + world("");
  std::string failures = onSimulatedHandheld(scenario, [](SimChecks& c, const std::string&) {
    c.check(findWlanNic(), "adapter found");
    std::vector<NodeEntry> entries(NODE_TABLE_ENTRIES);
    c.equal(scanNetworks(entries.data()), int32_t(0), "a scan that found nothing");
  });
  EXPECT_EQ(failures, "");
}

TEST(ScanNetworks, AListTooLargeForAnyBlockFindsNothing) {
  // 200 records of 104 + 4096 bytes: past the largest block asked for.
  std::string scenario = std::string(WLAN_BINDING) + R"(
[[radio.network]]
ssid = "Huge"
extra_bytes = 4096
repeat = 200
)";
  std::string failures = onSimulatedHandheld(scenario, [](SimChecks& c, const std::string& path) {
    c.check(findWlanNic(), "adapter found");
    std::vector<NodeEntry> entries(NODE_TABLE_ENTRIES);
    c.equal(scanNetworks(entries.data()), int32_t(0), "nothing");
    c.equal(tracedRequests(finishTrace(path), {"\"malloc\""}).size(), size_t(0), "no block asked");
  });
  EXPECT_EQ(failures, "");
}

}  // namespace
