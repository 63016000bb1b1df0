// The network table: what the adapter's scan found, one entry per network
// in the driver's list, and the walk that fills it from the list's bytes.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int NODE_TABLE_ENTRIES = 32;
// The index that means no entry; it lies above every valid index.
constexpr int32_t NO_NODE = 100;
static_assert(NO_NODE >= NODE_TABLE_ENTRIES);

constexpr int SSID_CHARS = 32;           // 31 SSID bytes and a NUL
constexpr uint32_t PRIVACY_FLAG = 0x10;  // bit 4 of flags: the network requires privacy

struct NodeEntry {
  int32_t channel;
  uint32_t flags;  // the network's Privacy value shifted left by 4
  char ssid[SSID_CHARS];
  int32_t rssi;
  uint8_t bssid[6];
  uint8_t candidate;       // 1: still to be tried
  uint8_t infrastructure;  // 1: infrastructure, 0: ad hoc
};

struct NodeTable {
  NodeEntry entries[NODE_TABLE_ENTRIES];
  int32_t count;
};
extern NodeTable nodeTable;

// The index of the first entry with this BSSID, else NO_NODE.
int32_t findNodeByBssid(const uint8_t bssid[6]);
// The lowest index whose candidate flag is set, else NO_NODE.
int32_t nextCandidate();

// The channel a Configuration.DSConfig value stands for: a frequency in kHz,
// in units of 100 kHz, or a channel number, in unsigned 32-bit arithmetic.
uint32_t channelFromDsConfig(uint32_t dsConfig);

// Walks an NDIS_802_11_BSSID_LIST of `bytes` bytes (NumberOfItems, then the
// records, each Length bytes long) and fills entries from it, at most
// `capacity` of them. Answers the number of entries filled; entries from
// there on are not touched. Never reads outside the list (see the .cpp for
// what happens to records that do not fit).
int32_t parseBssidList(const uint8_t* list, size_t bytes, NodeEntry* entries, int capacity);
