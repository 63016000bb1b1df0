// The diagnostic run's shared variables. This header pulls in nothing of the
// other subsystems, so that every subsystem the run calls can use it.
#pragma once
#include <cstdint>

constexpr int RUN_TEXT_CHARS = 80;  // filter text, NIC name, scratch line

// Classification of the adapter's address.
using AddressState = int32_t;
constexpr AddressState ADDRESS_VALID = 0;        // a private address
constexpr AddressState ADDRESS_NONE = 1;         // 0.0.0.0
constexpr AddressState ADDRESS_APIPA = 2;        // 169.254.x.x, automatic
constexpr AddressState ADDRESS_NOT_WORKING = 3;  // valid, but the internet test failed
constexpr AddressState ADDRESS_INCORRECT = -1;   // anything else

// The association state: ASSOCIATED, or the BSSID query's error code (any
// other value: not associated).
using AssociationState = int32_t;
constexpr AssociationState ASSOCIATED = 0;
constexpr AssociationState NOT_ASSOCIATED = 1;

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
  int32_t currentNode = 100;  // NO_NODE
  int32_t remainingNodes;
  uint8_t currentBssid[6];
  AssociationState associationState;
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
