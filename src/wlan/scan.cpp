#include "wlan/scan.h"

#include <cstring>

#include "platform/core.h"
#include "wlan/channel.h"

namespace {
alignas(8) uint8_t scanRequest[SCAN_REQUEST_BYTES];

bool wantsRoom(plat::DWORD error) {
  return error == plat::ERROR_INSUFFICIENT_BUFFER || error == plat::ERROR_MORE_DATA;
}

// A list the driver could not fit into the request: it failed the query for
// want of room and said how many bytes the request needs (a driver that says
// nothing, or no more than was given, gets twice the room). Asked again in a
// block that large, a bounded number of times; the block is released here.
int32_t scanLargeList(NodeEntry* entries, plat::DWORD needed) {
  plat::DWORD size = SCAN_REQUEST_BYTES;
  plat::DWORD error = plat::getLastError();
  for (int retry = 0; retry < SCAN_LIST_RETRIES && wantsRoom(error); retry++) {
    size = needed > size ? needed : size * 2;
    if (size > SCAN_LIST_MAX_BYTES) return 0;
    auto* request = static_cast<uint8_t*>(plat::allocate(size));
    if (!request) return 0;
    std::memset(request, 0, size);
    needed = 0;
    int32_t found = -1;
    if (queryOid(request, plat::OID_802_11_BSSID_LIST, size, &needed))
      found = parseBssidList(oidData(request), size - plat::OID_DATA_OFFSET, entries,
                             NODE_TABLE_ENTRIES);
    else
      error = plat::getLastError();
    plat::release(request);
    if (found >= 0) return found;
  }
  return 0;
}
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
  plat::DWORD needed = 0;
  if (queryOid(scanRequest, plat::OID_802_11_BSSID_LIST, SCAN_REQUEST_BYTES, &needed))
    return parseBssidList(oidData(scanRequest), SCAN_REQUEST_BYTES - plat::OID_DATA_OFFSET, entries,
                          NODE_TABLE_ENTRIES);
  return scanLargeList(entries, needed);
}
