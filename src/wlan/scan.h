// The network scan: ask the adapter to scan, give it time, read its list.
#pragma once
#include <cstdint>

#include "wlan/node_table.h"

constexpr uint32_t SCAN_REQUEST_BYTES = 4096;
constexpr uint32_t SCAN_WAIT_MS = 3000;

// Scans and fills entries 0 to n - 1 of `entries` (a table of
// NODE_TABLE_ENTRIES); answers n. A list query the driver refuses gives 0.
int32_t scanNetworks(NodeEntry* entries);
