// What the simulated system services share: the thread's last error and
// the fault model they ask whether a call fails.
#pragma once
#include <cstdint>

#include "platform/types.h"
#include "scenario/fault.h"

namespace sim {

// GetLastError's value, per simulated thread.
extern thread_local plat::DWORD lastError;

}  // namespace sim
