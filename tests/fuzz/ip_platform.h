// A platform for the IP configuration's fuzz targets: the IP helper answers
// with the bytes the fuzzer chose, laid into the caller's own block.
#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdint>

struct FuzzIpReplies {
  const uint8_t* adapters = nullptr;  // GetAdaptersInfo's reply
  size_t adapterBytes = 0;
  const uint8_t* params = nullptr;  // GetNetworkParams' reply
  size_t paramBytes = 0;
  const uint8_t* routes = nullptr;  // GetIpForwardTable's reply
  size_t routeBytes = 0;
  // The size GetIpForwardTable writes back with its table (a careless
  // platform may claim more than the caller's block holds).
  uint32_t routeSizeClaimed = 0;
  bool adaptersFail = false;
  bool paramsFail = false;
  bool releaseFails = false;
  int routeDeletions = 0;
  int exitCode = -1;
};
extern FuzzIpReplies fuzzIp;
// exitProcess comes back here (the code lands in fuzzIp.exitCode).
extern std::jmp_buf fuzzExit;

// Lays `bytes` into `block` and turns tagged words into pointers: every
// 8-byte word whose low byte is LINK_TAG becomes block + offset - 64, where
// the offset is the word's next two bytes. So a fuzz input can point a Next
// field anywhere in or near the block, aligned or not; any other word stays
// as it is, a wild pointer or null.
constexpr uint8_t LINK_TAG = 0xB1;
void layReply(void* block, size_t capacity, const uint8_t* bytes, size_t count);
