// The radio part of the world: the networks the adapter can see and how it
// associates with them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct RadioWorld {};

} // namespace sim
