// Where the simulated handheld may take the processor from a thread.
//
// On the device a thread can lose the processor anywhere; in the simulator
// a thread gives way only where it blocks, unless the scenario asks for
// more ([system] in docs/scenarios.md):
//   - preempt = P: a thread that releases a lock gives way for a
//     millisecond with a chance of P percent;
//   - switch_points = P: at every platform request, before the request does
//     anything, the calling thread gives way (at the same virtual time: the
//     threads ready to run go first) with a chance of P percent.
// Both draw from one stream seeded with the run's seed (preempt_seed), and
// only the baton holder draws, so a run replays exactly and another seed
// tries other interleavings.
#pragma once
#include <cstdint>

namespace sim {

// The lock-release preemption: true when the releasing thread gives way.
bool preemptNow();
// A switch point; every simulated platform request begins with one.
void switchPoint();
// How many times a switch point gave way in this run (traced before
// sim.end when switch points are on).
uint64_t switchesMade();

}  // namespace sim
