// What the simulated system services share: the thread's last error and
// the injected failures' call lists.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "harness/scheduler.h"
#include "platform/types.h"

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

// Whether the n-th call (1-based) is one of the calls listed to fail.
inline bool listed(const std::vector<uint32_t>& v, int n) {
  return std::find(v.begin(), v.end(), uint32_t(n)) != v.end();
}

}  // namespace sim
