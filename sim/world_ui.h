// The screen-and-stylus part of the world: scripted input.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct UiWorld {};

} // namespace sim
