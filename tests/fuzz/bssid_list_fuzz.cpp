// The scan-list walk over arbitrary reply bytes: it must stay inside the
// reply and the table, and every entry it fills must be well formed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/ndisuio.h"
#include "wlan/node_table.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

void walk(const uint8_t* data, size_t size, int capacity) {
  // Exactly the table's room, so a write past it is caught.
  std::vector<NodeEntry> entries(size_t(capacity) + 1);
  NodeEntry sentinel;
  std::memset(&sentinel, 0x5A, sizeof sentinel);
  entries[size_t(capacity)] = sentinel;
  int32_t n = parseBssidList(data, size, entries.data(), capacity);
  require(n >= 0 && n <= capacity);
  // Every record taken lies whole inside the reply.
  require(n == 0 || plat::BSSID_LIST_HEADER + size_t(n) * sizeof(plat::NDIS_WLAN_BSSID) <= size);
  for (int32_t i = 0; i < n; i++) {
    const NodeEntry& e = entries[size_t(i)];
    require(std::memchr(e.ssid, 0, SSID_CHARS) != nullptr);
    require(e.candidate == 1);
    require(e.infrastructure <= 1);
    require(e.channel >= 0);
    require((e.flags & 0xF) == 0);
  }
  require(std::memcmp(&entries[size_t(capacity)], &sentinel, sizeof sentinel) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  walk(data, size, NODE_TABLE_ENTRIES);
  if (size > 0) walk(data, size, 1 + data[0] % NODE_TABLE_ENTRIES);
  return 0;
}
