// Walks over platform replies whose links, counts or lengths do not fit the
// memory they come in: each case here is one the fuzz targets found.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "ipconfig/adapters.h"
#include "ipconfig/address_ops.h"
#include "probe/host_entry.h"

namespace {

// A block as malloc gives it: aligned for any record.
struct AlignedBlock {
  std::vector<uint64_t> words;
  explicit AlignedBlock(size_t bytes) : words((bytes + 7) / 8) {}
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(words.data()); }
  template <typename T>
  T* at(size_t offset) {
    return reinterpret_cast<T*>(bytes() + offset);
  }
};

TEST(ChainWalk, FollowsOnlyAlignedWholeEntriesOfTheSnapshot) {
  const size_t fixed = sizeof(plat::FIXED_INFO), entry = sizeof(plat::IP_ADDR_STRING);
  AlignedBlock params(fixed + 2 * entry);
  auto* info = params.at<plat::FIXED_INFO>(0);
  auto* first = &info->DnsServerList;
  adapterSnapshot = AdapterSnapshot{};
  adapterSnapshot.networkParams = info;
  adapterSnapshot.networkParamsBytes = plat::ULONG(fixed + 2 * entry);

  first->Next = params.at<plat::IP_ADDR_STRING>(fixed);
  EXPECT_EQ(nextEntry(first), params.at<plat::IP_ADDR_STRING>(fixed));
  // Into the middle of a field: inside the block, but no entry starts there.
  first->Next = params.at<plat::IP_ADDR_STRING>(fixed + 4);
  EXPECT_EQ(nextEntry(first), nullptr);
  first->Next = params.at<plat::IP_ADDR_STRING>(fixed + 1);
  EXPECT_EQ(nextEntry(first), nullptr);
  // An entry that starts inside but ends past the block.
  first->Next = params.at<plat::IP_ADDR_STRING>(fixed + entry + 8);
  EXPECT_EQ(nextEntry(first), nullptr);
  first->Next = nullptr;
  EXPECT_EQ(nextEntry(first), nullptr);
  adapterSnapshot = AdapterSnapshot{};
}

TEST(RouteRows, BoundedByTheBlockNeverByTheCountAlone) {
  const size_t head = offsetof(plat::MIB_IPFORWARDTABLE, table),
               row = sizeof(plat::MIB_IPFORWARDROW);
  AlignedBlock b(head + 3 * row);
  auto* t = b.at<plat::MIB_IPFORWARDTABLE>(0);
  t->dwNumEntries = 3;
  EXPECT_EQ(routeRowsInBlock(t, head + 3 * row), 3u);
  EXPECT_EQ(routeRowsInBlock(t, head + 2 * row + 30), 2u);  // a part row is not read
  t->dwNumEntries = 1000000;
  EXPECT_EQ(routeRowsInBlock(t, head + 3 * row), 3u);
  t->dwNumEntries = 1;
  EXPECT_EQ(routeRowsInBlock(t, head + 3 * row), 1u);
  // A block too short for the count itself has no rows (the count is not read).
  EXPECT_EQ(routeRowsInBlock(t, 3), 0u);
  EXPECT_EQ(routeRowsInBlock(t, 0), 0u);
  EXPECT_EQ(routeRowsInBlock(t, head), 0u);
  EXPECT_EQ(routeRowsInBlock(nullptr, head + 3 * row), 0u);
}

TEST(HostEntry, OnlyFourByteAddressesCount) {
  uint8_t address[16] = {142, 250, 74, 36};
  char* list[] = {reinterpret_cast<char*>(address), nullptr};
  char* none[] = {nullptr};
  char name[] = "host";
  plat::hostent h{name, nullptr, plat::AF_INET, 4, list};
  uint32_t expected;
  std::memcpy(&expected, address, 4);
  EXPECT_EQ(hostEntryAddress(&h), expected);
  h.h_length = 16;
  EXPECT_EQ(hostEntryAddress(&h), plat::INADDR_NONE);
  h.h_length = 2;
  EXPECT_EQ(hostEntryAddress(&h), plat::INADDR_NONE);
  h.h_length = 4;
  h.h_addr_list = none;
  EXPECT_EQ(hostEntryAddress(&h), plat::INADDR_NONE);
  h.h_addr_list = nullptr;
  EXPECT_EQ(hostEntryAddress(&h), plat::INADDR_NONE);
  EXPECT_EQ(hostEntryAddress(nullptr), plat::INADDR_NONE);
}

}  // namespace
