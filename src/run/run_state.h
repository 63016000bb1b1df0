// The diagnostic run's shared variables. This header pulls in nothing of the
// other subsystems, so that every subsystem the run calls can use it.
#pragma once
#include <cstdint>

constexpr int RUN_TEXT_CHARS = 80; // filter text, NIC name, scratch line

// Classification of the adapter's address: 0 valid private, 1 none,
// 2 APIPA, 3 not working, -1 incorrect.
using AddressState = int32_t;

// The outputs of one echo probe.
struct EchoResult {
  uint32_t status;
  uint32_t roundTripTime;
  char16_t replyAddress[16];
};

struct RunState {
  char16_t filterText[RUN_TEXT_CHARS];
  uint8_t filterActive;
  char16_t nicName[RUN_TEXT_CHARS];
  int32_t bias;
  int32_t daylightBias;
  int32_t currentNode = 100; // NO_NODE
  int32_t remainingNodes;
  uint8_t currentBssid[6];
  int32_t associationState;
  char ssidText[33];
  AddressState addressState;
  uint8_t internetReachable;
  uint32_t tempAddressContext;
  EchoResult probe;
  char16_t scratch[RUN_TEXT_CHARS];
};

extern RunState runState;

// Formats into the scratch line (cut at its capacity).
#define FORMAT_SCRATCH(...) formatText(runState.scratch, RUN_TEXT_CHARS, __VA_ARGS__)
