#include "ip_platform.h"

#include <cstdlib>
#include <cstring>

#include "platform/core.h"
#include "platform/iphlp.h"
#include "platform/sockets.h"
#include "platform/window.h"
#include "run/run_state.h"

FuzzIpReplies fuzzIp;
std::jmp_buf fuzzExit;
RunState runState;

void layReply(void* block, size_t capacity, const uint8_t* bytes, size_t count) {
  auto* out = static_cast<uint8_t*>(block);
  size_t n = count < capacity ? count : capacity;
  std::memcpy(out, bytes, n);
  std::memset(out + n, 0, capacity - n);
  for (size_t at = 0; at + 8 <= n; at += 8) {
    if (out[at] != LINK_TAG) continue;
    size_t offset = size_t(out[at + 1]) | size_t(out[at + 2]) << 8;
    // Pointer arithmetic outside the block is only formed as an integer.
    uintptr_t target = reinterpret_cast<uintptr_t>(out) + offset - 64;
    std::memcpy(out + at, &target, sizeof target);
  }
}

namespace plat {

void* allocate(size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void release(void* block) { std::free(block); }

DWORD getAdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size) {
  if (fuzzIp.adaptersFail) return ERROR_GEN_FAILURE;
  if (fuzzIp.adapterBytes == 0) return 232;  // ERROR_NO_DATA
  if (!info || *size < fuzzIp.adapterBytes) {
    *size = ULONG(fuzzIp.adapterBytes);
    return ERROR_BUFFER_OVERFLOW;
  }
  layReply(info, *size, fuzzIp.adapters, fuzzIp.adapterBytes);
  return 0;
}

DWORD getNetworkParams(FIXED_INFO* info, ULONG* size) {
  if (fuzzIp.paramsFail) return ERROR_GEN_FAILURE;
  if (!info || *size < fuzzIp.paramBytes) {
    *size = ULONG(fuzzIp.paramBytes);
    return ERROR_BUFFER_OVERFLOW;
  }
  layReply(info, *size, fuzzIp.params, fuzzIp.paramBytes);
  return 0;
}

DWORD getIpForwardTable(MIB_IPFORWARDTABLE* table, ULONG* size, BOOL) {
  if (!table || *size < fuzzIp.routeBytes) {
    *size = ULONG(fuzzIp.routeBytes);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  layReply(table, *size, fuzzIp.routes, fuzzIp.routeBytes);
  *size = fuzzIp.routeSizeClaimed;
  return 0;
}

DWORD deleteIpForwardEntry(MIB_IPFORWARDROW* route) {
  // Reads the whole row, as the platform does.
  volatile DWORD sum = 0;
  for (size_t i = 0; i < sizeof *route / sizeof(DWORD); i++)
    sum = sum + reinterpret_cast<DWORD*>(route)[i];
  fuzzIp.routeDeletions++;
  return 0;
}

DWORD addIPAddress(IPAddr, IPMask, DWORD, ULONG* context, ULONG* instance) {
  *context = 0x200;
  *instance = 0x200;
  return 0;
}
DWORD deleteIPAddress(ULONG) { return 0; }
DWORD getAdapterIndex(char16_t*, ULONG* index) {
  *index = 2;
  return 0;
}
DWORD ipReleaseAddress(IP_ADAPTER_INDEX_MAP*) { return fuzzIp.releaseFails ? 1231 : 0; }
// A refused renewal: releaseAndRenew then makes no polls.
DWORD ipRenewAddress(IP_ADAPTER_INDEX_MAP*) { return 1231; }

DWORD formatMessage(DWORD, const void*, DWORD, DWORD, char16_t**, DWORD, void*) { return 0; }
void localFree(void* block) { std::free(block); }

BOOL fileTimeToSystemTime(const FILETIME* in, SYSTEMTIME* out) {
  uint64_t ft = (uint64_t(in->dwHighDateTime) << 32) | in->dwLowDateTime;
  if (ft >= 0x8000000000000000ull) return 0;
  uint64_t seconds = ft / 10000000;
  *out = SYSTEMTIME{WORD(1601 + seconds / 31556952),
                    1,
                    0,
                    1,
                    WORD(seconds / 3600 % 24),
                    WORD(seconds / 60 % 60),
                    WORD(seconds % 60),
                    0};
  return 1;
}

uint32_t inetAddr(const char*) { return 0x0100A8C0; }

void sleep(DWORD) {}
[[noreturn]] void exitProcess(UINT code) {
  fuzzIp.exitCode = int(code);
  std::longjmp(fuzzExit, 1);
}

// One thread only: the console's locks have nothing to do.
void initializeCriticalSection(CRITICAL_SECTION* cs) { std::memset(cs, 0, sizeof *cs); }
void enterCriticalSection(CRITICAL_SECTION*) {}
void leaveCriticalSection(CRITICAL_SECTION*) {}
void outputDebugString(const char16_t*) {}
BOOL invalidateRect(HWND, const RECT*, BOOL) { return 1; }
BOOL updateWindow(HWND) { return 1; }

}  // namespace plat
