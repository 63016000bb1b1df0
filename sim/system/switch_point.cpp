#include "system/switch_point.h"

#include <cstdint>

#include "harness/random.h"
#include "harness/scheduler.h"
#include "scenario/world.h"

namespace sim {
namespace {

// Draws a percent from the run's one stream.
bool draw(uint32_t percent) {
  static uint64_t state = 0;
  static bool seeded = false;
  if (percent == 0) return false;
  if (!seeded) {
    state = world.system.preemptSeed;
    seeded = true;
  }
  return splitmix64(state) % 100 < percent;
}

uint64_t switches = 0;

}  // namespace

uint64_t switchesMade() { return switches; }

bool preemptNow() { return draw(world.system.preemptPercent); }

void switchPoint() {
  // Outside the simulation (unit tests on plain threads) and inside a
  // scheduled event there is nobody to give way to.
  if (world.system.switchPercent == 0 || !mayGiveWay()) return;
  if (!draw(world.system.switchPercent)) return;
  switches++;
  giveWay();
}

}  // namespace sim
