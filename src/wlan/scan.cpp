#include "wlan/scan.h"

#include <cstring>

#include "platform/core.h"
#include "wlan/channel.h"

namespace {
alignas(8) uint8_t scanRequest[SCAN_REQUEST_BYTES];
}  // namespace

int32_t scanNetworks(NodeEntry* entries) {
  // A refused trigger is no reason to give up: the adapter may still hold
  // the list of an earlier scan.
  std::memset(scanRequest, 0, sizeof scanRequest);
  setOid(scanRequest, plat::OID_802_11_BSSID_LIST_SCAN, SCAN_REQUEST_BYTES);
  plat::sleep(SCAN_WAIT_MS);

  std::memset(scanRequest, 0, sizeof scanRequest);
  // Whatever a refused query left in the buffer is not a list: a failed
  // query counts as a scan that found nothing.
  if (!queryOid(scanRequest, plat::OID_802_11_BSSID_LIST, SCAN_REQUEST_BYTES)) return 0;
  return parseBssidList(oidData(scanRequest), SCAN_REQUEST_BYTES - plat::OID_DATA_OFFSET, entries,
                        NODE_TABLE_ENTRIES);
}
