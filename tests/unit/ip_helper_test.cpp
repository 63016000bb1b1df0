// The simulated IP helper and sockets calls against their platform
// contracts: the route table's answers (an empty table, the two-call
// pattern), routes and adapters that appear between two calls, and the
// address texts inet_addr accepts.
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
    c.equal(plat::getIpForwardTable(nullptr, nullptr, 0), plat::ERROR_INVALID_PARAMETER, "no size");
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

// A route and an adapter that appear at 1000 ms of virtual time.
const std::string APPEARING = TWO_ROUTES + R"(
[[ip.route]]
destination = "10.8.0.0"
mask = "255.255.0.0"
next_hop = "10.0.0.3"
if_index = 2
appears_at = 1000
[[ip.adapter]]
name = "PCI\\ETHMAN1"
index = 1
appears_at = 1000
)";

plat::ULONG routeBytes(int rows) { return HEAD_BYTES + plat::ULONG(rows) * ROW_BYTES; }

TEST(Appearances, ARouteAtTheSizingCallsMomentLandsBeforeTheRead) {
  std::string failures = onSimulatedHandheld(APPEARING, [](SimChecks& c, const std::string&) {
    plat::ULONG size = 0;
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER, "early");
    c.equal(size, routeBytes(2), "before its time: two rows");
    plat::sleep(1000);
    // Other calls at the moment neither see nor arm it.
    plat::ULONG index = 0;
    plat::getAdapterIndex(nullptr, &index);
    size = 0;
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER, "sizing");
    c.equal(size, routeBytes(2), "the sizing call at its moment: still two rows");
    std::vector<unsigned char> room(size);
    auto* table = reinterpret_cast<plat::MIB_IPFORWARDTABLE*>(room.data());
    c.equal(plat::getIpForwardTable(table, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER, "the read");
    c.equal(size, routeBytes(3), "the read needs three rows");
    room.resize(size);
    table = reinterpret_cast<plat::MIB_IPFORWARDTABLE*>(room.data());
    c.equal(plat::getIpForwardTable(table, &size, 0), plat::DWORD(0), "read again");
    c.equal(table->dwNumEntries, plat::DWORD(3), "rows");
  });
  EXPECT_EQ(failures, "");
}

TEST(Appearances, AnAdapterAtTheFirstCallsMomentLandsBeforeTheRead) {
  std::string failures = onSimulatedHandheld(APPEARING, [](SimChecks& c, const std::string&) {
    plat::ULONG one = sizeof(plat::IP_ADAPTER_INFO);
    std::vector<plat::IP_ADAPTER_INFO> room(2);
    plat::ULONG size = one;
    c.equal(plat::getAdaptersInfo(room.data(), &size), plat::DWORD(0), "before its time");
    plat::sleep(1000);
    size = one;
    c.equal(plat::getAdaptersInfo(room.data(), &size), plat::DWORD(0), "the first call fits");
    c.equal(plat::getAdaptersInfo(room.data(), &size), plat::ERROR_BUFFER_OVERFLOW, "the read");
    c.equal(size, 2 * one, "the new size");
    c.equal(plat::getAdaptersInfo(room.data(), &size), plat::DWORD(0), "read again");
    c.check(room[0].Next == &room[1] && room[1].Next == nullptr, "two records linked");
    c.equal(std::string(room[1].AdapterName), std::string("PCI\\ETHMAN1"), "in the file's order");
  });
  EXPECT_EQ(failures, "");
}

TEST(Appearances, PastTheirTimeTheyAreThereForTheFirstCall) {
  std::string failures = onSimulatedHandheld(APPEARING, [](SimChecks& c, const std::string&) {
    plat::sleep(1001);
    plat::ULONG size = 0;
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER, "sizing");
    c.equal(size, routeBytes(3), "three rows at once");
    size = 0;
    c.equal(plat::getAdaptersInfo(nullptr, &size), plat::ERROR_BUFFER_OVERFLOW, "adapters");
    c.equal(size, plat::ULONG(2 * sizeof(plat::IP_ADAPTER_INFO)), "two records at once");
  });
  EXPECT_EQ(failures, "");
}

TEST(Appearances, AnEmptyTableGetsItsFirstRoute) {
  std::string scenario = NO_ROUTES + R"(
[[ip.route]]
next_hop = "10.0.0.1"
if_index = 2
appears_at = 0
)";
  std::string failures = onSimulatedHandheld(scenario, [](SimChecks& c, const std::string&) {
    plat::ULONG size = 0;
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_NO_DATA, "empty at first");
    c.equal(plat::getIpForwardTable(nullptr, &size, 0), plat::ERROR_INSUFFICIENT_BUFFER, "then");
    c.equal(size, routeBytes(1), "one row");
  });
  EXPECT_EQ(failures, "");
}

TEST(Appearances, TheLoaderRefusesATimeOutOfRange) {
  std::string error;
  sim::World w;
  EXPECT_FALSE(sim::loadScenario(NO_ROUTES + "appears_at = -1\n", "t.toml", w, error));
  EXPECT_NE(error.find("appears_at"), std::string::npos) << error;
  error.clear();
  sim::World v;
  EXPECT_FALSE(sim::loadScenario(NO_ROUTES + "appears_at = 3600001\n", "t.toml", v, error));
  EXPECT_NE(error.find("appears_at"), std::string::npos) << error;
}

// What inet_addr answers, as the network-order value read on this
// (little-endian) host: "1.2.3.4" is 0x04030201.
struct Parse {
  const char* text;
  uint32_t value;
};

void expectAll(const std::vector<Parse>& cases) {
  for (const Parse& p : cases) EXPECT_EQ(plat::inetAddr(p.text), p.value) << '"' << p.text << '"';
}

constexpr uint32_t NONE = 0xFFFFFFFF;

TEST(InetAddrForms, OneToFourPartsTheLastFillingTheRest) {
  expectAll({{"1.2.3.4", 0x04030201},
             {"127.127.127.255", 0xff7f7f7f},
             {"0.0.0.0", 0},
             {"1.2.3", 0x03000201},
             {"1.2", 0x02000001},
             {"1", 0x01000000},
             {"203569230", 0x4e38220c},
             {"1.65535", 0xffff0001},
             {"1.2.65535", 0xffff0201},
             {"1.16777215", 0xffffff01},
             {"4294967294", 0xfeffffff}});
}

TEST(InetAddrForms, OctalAndHexadecimalParts) {
  expectAll({{"1.2.3.010", 0x08030201},
             {"1.2.3.00", 0x00030201},
             {"1.2.3.0xaA", 0xaa030201},
             {"1.2.3.0XFF", 0xff030201},
             {"0x00010203", 0x03020100},
             {"0x2134", 0x34210000},
             {"017700000001", 0x0100007f},
             {"0777", 0xff010000},
             {"0xa1a2b3b4 ", 0xb4b3a2a1},
             {"010.0x10.16", 0x10001008}});
}

TEST(InetAddrForms, TheTextEndsAtTheFirstWhiteSpace) {
  expectAll({{"3.4.5.6 ", 0x06050403},
             {"3.4.5.6  ", 0x06050403},
             {"3.4.5.6  7", 0x06050403},
             {"1 2 3 4", 0x01000000},
             {"1.2.3 .4", 0x03000201},
             {"3 .4.5.6", 0x03000000},
             {"1.2.3 \xfe\xff", 0x03000201},
             {"1.2.3\t", 0x03000201},
             {"1.2.3\n", 0x03000201},
             {"1.2.3\r", 0x03000201}});
  // One space alone is 0.0.0.0 on the platform; no other blank text is.
  expectAll({{" ", 0}, {"  ", NONE}, {"\t", NONE}, {"", NONE}, {" 0", NONE}});
}

TEST(InetAddrRefused, MalformedTexts) {
  expectAll({{"1.2.3. 4", NONE},
             {"3.4.5.6.7", NONE},
             {"3.4.5.6. 7", NONE},
             {" 3.4.5.6", NONE},
             {"\t3.4.5.6", NONE},
             {"3. 4.5.6", NONE},
             {".1.2.3", NONE},
             {".", NONE},
             {"1..2", NONE},
             {"1.2.3.", NONE},
             {"a", NONE},
             {"1.1.1.0x", NONE},
             {"1.2.3.0a", NONE},
             {"1.1.1.0o10", NONE},
             {"1.1.1.0b10", NONE},
             {"1.1.1.-2", NONE},
             {"[0.1.2.3]", NONE},
             {"1234BEEF", NONE},
             {"1.2.3.08", NONE},
             {"::1", NONE},
             {":1", NONE},
             {"::177.32.45.20", NONE},
             {"2607:f0d0:1002:51::4", NONE},
             {"127.127.127.255:123", NONE},
             {"1.2.3\x01", NONE},
             {"www.google.com", NONE}});
}

TEST(InetAddrRefused, PartsOutOfRange) {
  expectAll({{"127.127.127.256", NONE},
             {"256.1.2.3", NONE},
             {"1.256.3", NONE},
             {"1.2.65536", NONE},
             {"1.16777216", NONE},
             {"4294967296", NONE},
             {"0x100000000", NONE},
             {"99999999999999999999", NONE},
             {"1.0x100.3.4", NONE}});
}

TEST(InetAddrRefused, NullSetsTheLastErrorOtherTextsLeaveIt) {
  std::string failures = onSimulatedHandheld("", [](SimChecks& c, const std::string&) {
    plat::setLastError(0xdeadbeef);
    c.equal(plat::inetAddr(nullptr), NONE, "NULL");
    c.equal(plat::getLastError(), plat::DWORD(10014), "WSAEFAULT");
    plat::setLastError(0xdeadbeef);
    c.equal(plat::inetAddr("1.2.3.4"), uint32_t(0x04030201), "an address");
    c.equal(plat::inetAddr("a"), NONE, "no address");
    c.equal(plat::getLastError(), plat::DWORD(0xdeadbeef), "left as it was");
  });
  EXPECT_EQ(failures, "");
}

}  // namespace
