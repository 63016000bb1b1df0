// The scan-list walk over crafted NDIS_802_11_BSSID_LIST bytes, and the two
// table lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ndisuio.h"
#include "wlan/node_table.h"
#include "wlan/scan.h"

namespace {

// The room a 4096-byte list request leaves for the list.
constexpr size_t REPLY_BYTES = SCAN_REQUEST_BYTES - plat::OID_DATA_OFFSET;

plat::NDIS_WLAN_BSSID record(uint8_t last, const std::string& ssid = "net") {
  plat::NDIS_WLAN_BSSID r{};
  r.Length = sizeof r;
  const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, last};
  std::memcpy(r.MacAddress, mac, 6);
  r.Ssid.SsidLength = plat::ULONG(ssid.size());
  std::memcpy(r.Ssid.Ssid, ssid.data(), std::min(ssid.size(), sizeof r.Ssid.Ssid));
  r.Rssi = -50;
  r.Configuration.DSConfig = 2437000;
  r.InfrastructureMode = plat::Ndis802_11Infrastructure;
  return r;
}

// A reply of the request's size, zero beyond what was added.
struct ScanReply {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(REPLY_BYTES, 0);
  size_t end = plat::BSSID_LIST_HEADER;
  uint32_t added = 0;

  void items(uint32_t n) { std::memcpy(bytes.data(), &n, 4); }
  // Appends a record that occupies `size` bytes (at least the published
  // size), whatever its Length field says; the rest is filled with `fill`.
  bool add(const plat::NDIS_WLAN_BSSID& r, size_t size = sizeof(plat::NDIS_WLAN_BSSID),
           uint8_t fill = 0xEE) {
    if (end + size > bytes.size()) return false;
    std::memset(bytes.data() + end, fill, size);
    std::memcpy(bytes.data() + end, &r, sizeof r);
    end += size;
    items(++added);
    return true;
  }
  int32_t walk(NodeEntry* entries, int capacity = NODE_TABLE_ENTRIES) const {
    return parseBssidList(bytes.data(), bytes.size(), entries, capacity);
  }
};

std::string bssidOf(const NodeEntry& e) { return std::string(e.bssid, e.bssid + 6); }
std::string bssidOf(const plat::NDIS_WLAN_BSSID& r) {
  return std::string(r.MacAddress, r.MacAddress + 6);
}

TEST(RecordWalk, FollowsEachRecordsOwnLength) {
  constexpr size_t PUBLISHED = sizeof(plat::NDIS_WLAN_BSSID);
  ScanReply reply;
  plat::NDIS_WLAN_BSSID first = record(1, "first");
  first.Length = PUBLISHED + 60;  // information elements follow
  ASSERT_TRUE(reply.add(first, PUBLISHED + 60));
  // The extra bytes begin like a record of their own: a walk by the
  // published size would take it for the second network.
  plat::NDIS_WLAN_BSSID decoy = record(0x99, "decoy");
  std::memcpy(reply.bytes.data() + plat::BSSID_LIST_HEADER + PUBLISHED, &decoy, 60);
  plat::NDIS_WLAN_BSSID second = record(2, "second");
  second.Length = PUBLISHED + 1;  // an odd Length, too
  ASSERT_TRUE(reply.add(second, PUBLISHED + 1));
  plat::NDIS_WLAN_BSSID third = record(3, "third");
  ASSERT_TRUE(reply.add(third));

  NodeEntry e[NODE_TABLE_ENTRIES] = {};
  ASSERT_EQ(reply.walk(e), 3);
  EXPECT_STREQ(e[0].ssid, "first");
  EXPECT_STREQ(e[1].ssid, "second");
  EXPECT_EQ(bssidOf(e[1]), bssidOf(second));
  EXPECT_STREQ(e[2].ssid, "third");
  EXPECT_EQ(bssidOf(e[2]), bssidOf(third));
}

TEST(RecordWalk, SsidKeepsAtMost31BytesAndItsNul) {
  ScanReply reply;
  plat::NDIS_WLAN_BSSID full = record(1);
  full.Ssid.SsidLength = 32;
  std::memset(full.Ssid.Ssid, 'x', 32);
  plat::NDIS_WLAN_BSSID empty = record(2, "ignored");
  empty.Ssid.SsidLength = 0;
  plat::NDIS_WLAN_BSSID inner = record(3);
  const char withNul[] = {'a', 'b', 0, 'c', 'd'};
  inner.Ssid.SsidLength = sizeof withNul;
  std::memcpy(inner.Ssid.Ssid, withNul, sizeof withNul);
  plat::NDIS_WLAN_BSSID huge = record(4);
  huge.Ssid.SsidLength = 0xFFFFFFFFu;  // the field still holds only 32 bytes
  std::memset(huge.Ssid.Ssid, 'y', 32);
  for (const auto& r : {full, empty, inner, huge}) ASSERT_TRUE(reply.add(r));

  NodeEntry e[NODE_TABLE_ENTRIES];
  std::memset(e, 0x7F, sizeof e);
  ASSERT_EQ(reply.walk(e), 4);
  EXPECT_EQ(std::string(e[0].ssid), std::string(31, 'x'));
  EXPECT_EQ(e[0].ssid[31], 0);
  EXPECT_STREQ(e[1].ssid, "");
  EXPECT_STREQ(e[2].ssid, "ab");
  EXPECT_EQ(std::memcmp(e[2].ssid, withNul, sizeof withNul), 0);
  EXPECT_EQ(std::string(e[3].ssid), std::string(31, 'y'));
}

TEST(RecordWalk, ChannelFromEveryDsConfigForm) {
  struct Case {
    uint32_t ds;
    uint32_t channel;
  };
  const Case known[] = {
      {2412000, 1}, {2472000, 13}, {2437000, 6},  // kHz
      {24120, 1},   {24720, 13},                  // units of 100 kHz
      {11, 11},     {0, 0},        {19, 19},      // channel numbers
  };
  ScanReply reply;
  for (const Case& c : known) {
    plat::NDIS_WLAN_BSSID r = record(uint8_t(reply.added));
    r.Configuration.DSConfig = c.ds;
    ASSERT_TRUE(reply.add(r));
  }
  NodeEntry e[NODE_TABLE_ENTRIES] = {};
  ASSERT_EQ(reply.walk(e), int32_t(std::size(known)));
  for (size_t i = 0; i < std::size(known); i++) {
    EXPECT_EQ(e[i].channel, int32_t(known[i].channel)) << "DSConfig " << known[i].ds;
    EXPECT_EQ(channelFromDsConfig(known[i].ds), known[i].channel);
  }
  // A 5 GHz frequency in kHz is not read as its 5 GHz channel (36).
  EXPECT_EQ(channelFromDsConfig(5180000), 554u);
  // From 20 up to just below 24120 the subtraction wraps: a huge channel,
  // never one of 1..13, and still a positive int32 in the entry.
  for (uint32_t ds : {20u, 21u, 2412u, 24069u, 24070u, 24119u}) {
    uint32_t ch = channelFromDsConfig(ds);
    EXPECT_GT(ch, 13u) << ds;
    EXPECT_LT(ch, 0x80000000u) << ds;
  }
  EXPECT_LT(channelFromDsConfig(0xFFFFFFFFu), 0x80000000u);
}

TEST(RecordWalk, PrivacyModesAndCandidateFlags) {
  ScanReply reply;
  plat::NDIS_WLAN_BSSID r = record(0);
  const uint32_t privacy[] = {0, 1, 3, 0};
  const uint32_t modes[] = {plat::Ndis802_11Infrastructure, plat::Ndis802_11IBSS,
                            plat::Ndis802_11AutoUnknown, 7};
  for (int i = 0; i < 4; i++) {
    r.MacAddress[5] = uint8_t(i);
    r.Privacy = privacy[i];
    r.InfrastructureMode = modes[i];
    r.Rssi = -40 - i;
    ASSERT_TRUE(reply.add(r));
  }
  NodeEntry e[NODE_TABLE_ENTRIES];
  // An earlier scan left other values and cleared flags; the sentinel after
  // the new entries must stay as it was.
  std::memset(e, 0, sizeof e);
  e[4].candidate = 0;
  e[4].rssi = 12345;
  ASSERT_EQ(reply.walk(e), 4);
  EXPECT_EQ(e[0].flags, 0u);
  EXPECT_EQ(e[1].flags, 0x10u);
  EXPECT_EQ(e[2].flags, 0x30u);
  EXPECT_EQ(e[0].infrastructure, 1);
  EXPECT_EQ(e[1].infrastructure, 0);
  EXPECT_EQ(e[2].infrastructure, 1);
  EXPECT_EQ(e[3].infrastructure, 1);
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(e[i].candidate, 1) << i;
    EXPECT_EQ(e[i].rssi, -40 - i);
    EXPECT_EQ(e[i].bssid[5], i);
  }
  EXPECT_EQ(e[4].rssi, 12345);
  EXPECT_EQ(e[4].candidate, 0);
}

TEST(RecordWalkHostile, LengthZeroOrTooSmallStopsTheWalk) {
  for (plat::ULONG bad : {0u, 1u, 4u, plat::ULONG(sizeof(plat::NDIS_WLAN_BSSID) - 1)}) {
    ScanReply reply;
    ASSERT_TRUE(reply.add(record(1)));
    plat::NDIS_WLAN_BSSID r = record(2);
    r.Length = bad;
    ASSERT_TRUE(reply.add(r));
    ASSERT_TRUE(reply.add(record(3)));
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(reply.walk(e), 1) << "Length " << bad;
    EXPECT_EQ(e[0].bssid[5], 1);
    EXPECT_EQ(e[1].candidate, 0) << "nothing written past the last whole record";
  }
}

TEST(RecordWalkHostile, NothingPastTheEndOfTheReply) {
  // A record whose Length runs past the reply.
  {
    ScanReply reply;
    ASSERT_TRUE(reply.add(record(1)));
    plat::NDIS_WLAN_BSSID r = record(2);
    r.Length = plat::ULONG(REPLY_BYTES);  // more than is left
    ASSERT_TRUE(reply.add(r));
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(reply.walk(e), 1);
    r.Length = 0xFFFFFFFFu;
    std::memcpy(reply.bytes.data() + reply.end - sizeof r, &r, sizeof r);
    EXPECT_EQ(reply.walk(e), 1);
  }
  // A record that ends exactly at the end of the reply counts; one whose
  // published part is cut by the end does not.
  {
    ScanReply reply;
    size_t room = REPLY_BYTES - plat::BSSID_LIST_HEADER;
    plat::NDIS_WLAN_BSSID r = record(1);
    r.Length = plat::ULONG(room);
    ASSERT_TRUE(reply.add(r, room));
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(reply.walk(e), 1);
    // The same bytes seen through a reply one byte short.
    EXPECT_EQ(parseBssidList(reply.bytes.data(), reply.bytes.size() - 1, e, NODE_TABLE_ENTRIES), 0);
    EXPECT_EQ(
        parseBssidList(reply.bytes.data(), plat::BSSID_LIST_HEADER + 103, e, NODE_TABLE_ENTRIES),
        0);
  }
  // NumberOfItems beyond the records the reply holds: the zeros after the
  // last record end the walk.
  {
    ScanReply reply;
    ASSERT_TRUE(reply.add(record(1)));
    ASSERT_TRUE(reply.add(record(2)));
    reply.items(0xFFFFFFFFu);
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(reply.walk(e), 2);
  }
  // Too short for even NumberOfItems, or no list at all.
  {
    ScanReply reply;
    ASSERT_TRUE(reply.add(record(1)));
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(parseBssidList(reply.bytes.data(), 3, e, NODE_TABLE_ENTRIES), 0);
    EXPECT_EQ(parseBssidList(nullptr, 100, e, NODE_TABLE_ENTRIES), 0);
    EXPECT_EQ(reply.walk(e, 0), 0);
  }
  // NumberOfItems 0 with records present: nothing.
  {
    ScanReply reply;
    ASSERT_TRUE(reply.add(record(1)));
    reply.items(0);
    NodeEntry e[NODE_TABLE_ENTRIES] = {};
    EXPECT_EQ(reply.walk(e), 0);
  }
}

TEST(RecordWalkHostile, MoreNetworksThanTheTableKeepsTheFirst) {
  ScanReply reply;
  while (reply.add(record(uint8_t(reply.added)))) {
  }
  ASSERT_GT(reply.added, uint32_t(NODE_TABLE_ENTRIES));  // a 4096-byte reply holds more than 32
  NodeEntry e[NODE_TABLE_ENTRIES + 1];
  std::memset(e, 0, sizeof e);
  e[NODE_TABLE_ENTRIES].rssi = 777;  // just past the table
  ASSERT_EQ(reply.walk(e), NODE_TABLE_ENTRIES);
  for (int i = 0; i < NODE_TABLE_ENTRIES; i++) EXPECT_EQ(e[i].bssid[5], i);
  EXPECT_EQ(e[NODE_TABLE_ENTRIES].rssi, 777);
}

struct NodeTableLookup : ::testing::Test {
  void SetUp() override { std::memset(&nodeTable, 0, sizeof nodeTable); }
  void TearDown() override { std::memset(&nodeTable, 0, sizeof nodeTable); }
  void put(int i, uint8_t last, bool candidate) {
    const uint8_t b[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, last};
    std::memcpy(nodeTable.entries[i].bssid, b, 6);
    nodeTable.entries[i].candidate = candidate;
  }
};

TEST_F(NodeTableLookup, FindNodeByBssidTakesTheFirstMatchWithinCount) {
  put(0, 1, true);
  put(1, 2, false);
  put(2, 2, true);
  put(3, 4, true);
  nodeTable.count = 3;
  const uint8_t two[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 2};
  const uint8_t four[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 4};
  const uint8_t other[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4e, 2};
  EXPECT_EQ(findNodeByBssid(two), 1);
  EXPECT_EQ(findNodeByBssid(four), NO_NODE) << "entry 3 lies beyond count";
  EXPECT_EQ(findNodeByBssid(other), NO_NODE);
  nodeTable.count = 0;
  EXPECT_EQ(findNodeByBssid(two), NO_NODE);
  nodeTable.count = -5;
  EXPECT_EQ(findNodeByBssid(two), NO_NODE);
}

TEST_F(NodeTableLookup, NextCandidateIsTheLowestFlaggedEntry) {
  put(0, 1, false);
  put(1, 2, false);
  put(2, 3, true);
  put(3, 4, true);
  nodeTable.count = 4;
  EXPECT_EQ(nextCandidate(), 2);
  nodeTable.entries[2].candidate = 0;
  EXPECT_EQ(nextCandidate(), 3);
  nodeTable.count = 3;
  EXPECT_EQ(nextCandidate(), NO_NODE);
  nodeTable.count = 0;
  nodeTable.entries[0].candidate = 1;
  EXPECT_EQ(nextCandidate(), NO_NODE);
  // A count the table cannot hold never leads outside it.
  for (int i = 0; i < NODE_TABLE_ENTRIES; i++) nodeTable.entries[i].candidate = 0;
  nodeTable.count = 1000;
  EXPECT_EQ(nextCandidate(), NO_NODE);
  const uint8_t none[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(findNodeByBssid(none), NO_NODE);
}

}  // namespace
