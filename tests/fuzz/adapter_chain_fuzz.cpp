// The adapter snapshot's walks over IP_ADAPTER_INFO and FIXED_INFO chains:
// the fuzzer lays the replies and points their Next fields wherever it
// likes (inside the block, outside it, into the middle of a record). The
// search for the WLAN adapter, the classification, the connection report
// and the release's walk over the addresses must read only whole, aligned
// records inside the blocks the snapshot owns.
//
// Input: one byte of switches (1: GetAdaptersInfo fails, 2: GetNetworkParams
// fails, 4: the release fails), two bytes (little-endian) with the length
// of the adapter list's reply, that reply, and the network parameters'
// reply in the rest.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "console/format.h"
#include "ip_platform.h"
#include "ipconfig/adapters.h"
#include "ipconfig/address_ops.h"
#include "platform/core.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

template <typename T>
bool wholeInside(const void* block, size_t bytes, const T* p) {
  auto b = reinterpret_cast<uintptr_t>(block), q = reinterpret_cast<uintptr_t>(p);
  return q % alignof(T) == 0 && q >= b && sizeof(T) <= bytes && q - b <= bytes - sizeof(T);
}

void resetConsole() {
  std::memset(&consoleLog, 0, sizeof consoleLog);
  plat::initializeCriticalSection(&consoleLog.storeLock);
  plat::initializeCriticalSection(&consoleLog.lineLock);
}

void consoleIntact() {
  const ConsoleLog& c = consoleLog;
  require(c.currentLine >= 0 && c.currentLine < CONSOLE_LINES);
  int64_t sum = 0;
  for (int i = 0; i <= c.currentLine; i++) sum += c.lineLengths[i];
  require(sum == c.textLength && c.textLength < CONSOLE_TEXT_CHARS &&
          c.consoleText[c.textLength] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  fuzzIp = FuzzIpReplies{};
  fuzzIp.adaptersFail = data[0] & 1;
  fuzzIp.paramsFail = data[0] & 2;
  fuzzIp.releaseFails = data[0] & 4;
  size_t adapterBytes = size_t(data[1]) | size_t(data[2]) << 8;
  data += 3;
  size -= 3;
  if (adapterBytes > size) adapterBytes = size;
  fuzzIp.adapters = data;
  fuzzIp.adapterBytes = adapterBytes;
  fuzzIp.params = data + adapterBytes;
  fuzzIp.paramBytes = size - adapterBytes;
  copyWide(runState.nicName, RUN_TEXT_CHARS, u"WLAGN1");
  resetConsole();

  refreshAdapters();
  const AdapterSnapshot& s = adapterSnapshot;
  if (s.currentAdapter) require(wholeInside(s.adapterList, s.adapterListBytes, s.currentAdapter));
  AddressState state = classifyAddress();
  require(state >= -1 && state <= 2);
  require(std::strlen(currentAddress()) <= 16 && std::strlen(currentMask()) <= 16 &&
          std::strlen(currentGateway()) <= 16);
  printConnectionData();
  releaseAndRenew();
  consoleIntact();

  plat::release(adapterSnapshot.adapterList);
  plat::release(adapterSnapshot.networkParams);
  adapterSnapshot = AdapterSnapshot{};
  return 0;
}
