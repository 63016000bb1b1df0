// The route table's walk: GetIpForwardTable lays the fuzzer's bytes into
// the block the program allocated, with any dwNumEntries, and may claim a
// size of its own. deleteDefaultRoutes must read only whole rows inside
// the block it owns and hand only those to DeleteIpForwardEntry.
//
// Input: one byte (0: the platform claims the size it was asked for, else:
// it claims the size in the next two bytes, little-endian), then the table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "ip_platform.h"
#include "ipconfig/address_ops.h"
#include "platform/iphlp.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  fuzzIp = FuzzIpReplies{};
  bool honest = data[0] == 0;
  uint32_t claimed = uint32_t(data[1]) | uint32_t(data[2]) << 8;
  fuzzIp.routes = data + 3;
  fuzzIp.routeBytes = size - 3;
  fuzzIp.routeSizeClaimed = honest ? uint32_t(fuzzIp.routeBytes) : claimed;
  consoleLog.textLength = 0;

  if (setjmp(fuzzExit) == 0) deleteDefaultRoutes();
  // The walk never ends the process here: every deletion succeeds.
  require(fuzzIp.exitCode == -1);

  const size_t head = offsetof(plat::MIB_IPFORWARDTABLE, table);
  size_t rows =
      fuzzIp.routeBytes >= head ? (fuzzIp.routeBytes - head) / sizeof(plat::MIB_IPFORWARDROW) : 0;
  require(size_t(fuzzIp.routeDeletions) <= rows);
  return 0;
}
