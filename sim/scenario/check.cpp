#include "scenario/scenario.h"

namespace sim {

// Checks that need more than one section.
void checkWorld(Section&, World&) {}

} // namespace sim
