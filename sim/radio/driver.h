// The simulated driver's OID requests, as the radio model sees them.
#pragma once
#include <cstdint>
#include <vector>

#include "harness/trace.h"
#include "platform/ndisuio.h"
#include "scenario/world.h"

namespace sim {

struct OidRequest {
  bool set;
  plat::NDIS_OID oid;
  uint8_t* data;                   // the value (set) or room for the reply (query)
  size_t dataBytes;                // room in data
  plat::DWORD error;               // the last-error code when the request is refused
  std::vector<TraceField> detail;  // what the request carried, for the trace
  // A refused query's value bytes needed (0: none said), reported to the
  // caller through lpBytesReturned with the request's head.
  size_t needed = 0;
};

// Answers one OID request to an 802.11 adapter; false refuses it with
// request.error as the last-error code.
bool radioOid(const Binding& adapter, OidRequest& request);

}  // namespace sim
