// What the simulated system services share: the thread's last error and
// the fault model they ask whether a call fails.
#pragma once
#include <cstdint>

#include "harness/scheduler.h"
#include "platform/types.h"
#include "scenario/fault.h"

namespace sim {

// GetLastError's value, per simulated thread.
class LastError {
 public:
  LastError& operator=(plat::DWORD code) {
    value_.get() = code;
    return *this;
  }
  operator plat::DWORD() { return value_.get(); }

 private:
  PerThread<plat::DWORD> value_;
};
extern LastError lastError;

}  // namespace sim
