// The network scan: ask the adapter to scan, give it time, read its list.
#pragma once
#include <cstdint>

#include "wlan/node_table.h"

constexpr uint32_t SCAN_REQUEST_BYTES = 4096;
// A list larger than SCAN_REQUEST_BYTES is asked for again in a block as
// large as the driver says the request needs, at most this large and at
// most SCAN_LIST_RETRIES times (the list can grow between two queries).
constexpr uint32_t SCAN_LIST_MAX_BYTES = 256 * 1024;
constexpr int SCAN_LIST_RETRIES = 3;
constexpr uint32_t SCAN_WAIT_MS = 3000;

// Scans and fills entries 0 to n - 1 of `entries` (a table of
// NODE_TABLE_ENTRIES); answers n. A list query the driver refuses gives 0,
// except one refused for want of room, which is made again in a larger
// block (none to be had: 0).
int32_t scanNetworks(NodeEntry* entries);
