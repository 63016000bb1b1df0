#include "wlan/node_table.h"

#include <cstring>

#include "platform/ndisuio.h"

NodeTable nodeTable;

namespace {

// The entries the lookups may look at: count, kept inside the table even if
// someone stored a count the table cannot hold.
int32_t validEntries() {
  if (nodeTable.count <= 0) return 0;
  return nodeTable.count < NODE_TABLE_ENTRIES ? nodeTable.count : NODE_TABLE_ENTRIES;
}

void fillEntry(NodeEntry& e, const plat::NDIS_WLAN_BSSID& r) {
  std::memset(e.ssid, 0, sizeof e.ssid);
  size_t length =
      r.Ssid.SsidLength < plat::ULONG(SSID_CHARS - 1) ? r.Ssid.SsidLength : size_t(SSID_CHARS - 1);
  std::memcpy(e.ssid, r.Ssid.Ssid, length);
  e.rssi = r.Rssi;
  // Every channel the arithmetic can give lies below 2^31 (at most
  // 0xFFFFFFFF / 50 + 1), so it keeps its value as an int32.
  e.channel = int32_t(channelFromDsConfig(r.Configuration.DSConfig));
  e.flags = r.Privacy << 4;
  e.infrastructure = r.InfrastructureMode != plat::Ndis802_11IBSS ? 1 : 0;
  e.candidate = 1;
  std::memcpy(e.bssid, r.MacAddress, sizeof e.bssid);
}

}  // namespace

int32_t findNodeByBssid(const uint8_t bssid[6]) {
  int32_t n = validEntries();
  for (int32_t i = 0; i < n; i++)
    if (std::memcmp(nodeTable.entries[i].bssid, bssid, 6) == 0) return i;
  return NO_NODE;
}

int32_t nextCandidate() {
  int32_t n = validEntries();
  for (int32_t i = 0; i < n; i++)
    if (nodeTable.entries[i].candidate) return i;
  return NO_NODE;
}

uint32_t channelFromDsConfig(uint32_t f) {
  // Drivers disagree on the unit. Values from 20 up to 24119 wrap around in
  // the subtraction and give a huge channel; the survey shows those as 0.
  if (f >= 2412000u) return (f - 2412000u) / 5000u + 1u;
  if (f >= 20u) return (f - 24120u) / 50u + 1u;
  return f;
}

// The walk follows each record's own Length. A record counts only when its
// published part and its whole Length lie inside the list, and its Length is
// at least the published size: a Length of 0 or one too small could not
// lead to the next record (a walk by it would stand still or step into the
// middle of the record), and a Length or a NumberOfItems that runs past the
// end of the reply describes bytes the driver never delivered. The walk
// stops at the first record that does not count and keeps the whole records
// before it. More networks than the table holds: the first `capacity` are
// kept, in the driver's order, and the rest are dropped.
int32_t parseBssidList(const uint8_t* list, size_t bytes, NodeEntry* entries, int capacity) {
  if (!list || !entries || capacity <= 0 || bytes < plat::BSSID_LIST_HEADER) return 0;
  plat::ULONG items;
  std::memcpy(&items, list, sizeof items);
  size_t at = plat::BSSID_LIST_HEADER;
  int32_t n = 0;
  while (plat::ULONG(n) < items && n < capacity) {
    plat::NDIS_WLAN_BSSID record;
    if (bytes - at < sizeof record) break;
    std::memcpy(&record, list + at, sizeof record);
    if (record.Length < sizeof record || record.Length > bytes - at) break;
    fillEntry(entries[n], record);
    n++;
    at += record.Length;
  }
  return n;
}
