// splitmix64: the one pseudo-random stream of the simulator (the
// explorer's worlds, the preemption chances). Small, fast and good enough
// for both; the same seed gives the same stream on every machine.
#pragma once
#include <cstdint>

namespace sim {

// Advances `state` and answers the stream's next number.
inline uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace sim
