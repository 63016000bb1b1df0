// The simulated IP helper calls against their platform contracts: the
// route table's answers (an empty table, the two-call pattern).
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core.h"
#include "platform/iphlp.h"
#include "platform/sockets.h"
#include "wlan_sim_testing.h"

namespace {

// A device with one IP adapter and no address, gateway or route: an empty
// route table.
const std::string NO_ROUTES = R"(
[ip]
[[ip.adapter]]
name = "WLAGN1"
index = 2
)";

const std::string TWO_ROUTES = NO_ROUTES + R"(
[[ip.route]]
next_hop = "10.0.0.1"
if_index = 2
[[ip.route]]
destination = "10.9.0.0"
mask = "255.255.0.0"
next_hop = "10.0.0.2"
if_index = 2
)";

constexpr plat::ULONG HEAD_BYTES = sizeof(plat::DWORD);
constexpr plat::ULONG ROW_BYTES = sizeof(plat::MIB_IPFORWARDROW);

TEST(ForwardTableEmpty, AnswersNoDataWhateverTheBlock) {
  std::string failures = onSimulatedHandheld(NO_ROUTES, [](SimChecks& c, const std::string&) {
    plat::ULONG size = 0;
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_NO_DATA, "sizing call");
    c.equal(size, plat::ULONG(0), "the size is left as it was");
    size = 7;
    plat::MIB_IPFORWARDTABLE small{};
    small.dwNumEntries = 99;
    c.equal(plat::getIpForwardTable(&small, &size, 0), plat::ERROR_NO_DATA, "a short block");
    c.equal(size, plat::ULONG(7), "still as it was");
    c.equal(small.dwNumEntries, plat::DWORD(99), "nothing written into the block");
    std::vector<unsigned char> room(4096);
    auto* big = reinterpret_cast<plat::MIB_IPFORWARDTABLE*>(room.data());
    size = plat::ULONG(room.size());
    c.equal(plat::getIpForwardTable(big, &size, 0), plat::ERROR_NO_DATA, "a large block");
  });
  EXPECT_EQ(failures, "");
}

TEST(ForwardTableEmpty, NoSizeIsAnInvalidParameterFirst) {
  std::string failures = onSimulatedHandheld(NO_ROUTES, [](SimChecks& c, const std::string&) {
    c.equal(plat::getIpForwardTable(nullptr, nullptr, 0), plat::ERROR_INVALID_PARAMETER,
            "no size, no routes");
  });
  EXPECT_EQ(failures, "");
}

TEST(ForwardTableRows, SizingThenReadGivesEveryRow) {
  std::string failures = onSimulatedHandheld(TWO_ROUTES, [](SimChecks& c, const std::string&) {
    plat::ULONG size = 0;
    c.equal(plat::getIpForwardTable(nullptr, nullptr, 0), plat::ERROR_INVALID_PARAMETER,
            "no size");
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER,
            "sizing call");
    c.equal(size, HEAD_BYTES + 2 * ROW_BYTES, "the size of two rows");
    plat::ULONG shortSize = size - 1;
    std::vector<unsigned char> room(size);
    auto* table = reinterpret_cast<plat::MIB_IPFORWARDTABLE*>(room.data());
    c.equal(plat::getIpForwardTable(table, &shortSize, 0), plat::ERROR_INSUFFICIENT_BUFFER,
            "one byte short");
    c.equal(shortSize, size, "the size needed again");
    c.equal(plat::getIpForwardTable(table, &size, 0), plat::DWORD(0), "the read");
    c.equal(table->dwNumEntries, plat::DWORD(2), "rows");
    c.equal(table->table[0].dwForwardDest, plat::DWORD(0), "the default route first");
    c.equal(table->table[1].dwForwardMask, plat::DWORD(0x0000FFFF), "then 10.9.0.0/16");
  });
  EXPECT_EQ(failures, "");
}

}  // namespace
