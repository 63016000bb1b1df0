// DHCP address recovery: two release-and-renew tries, then the subnet sweep.
#pragma once
#include <cstddef>

// Each sweep probe is a thread of its own and needs a few hundred bytes of
// stack; 64 KiB is the device's usual thread stack and ample. It is the
// reservation: up to every probe of a sweep (30 hosts in each of 32
// subnets) can be alive at once, and together they must fit a 32-bit
// address space.
constexpr size_t PROBE_STACK_BYTES = 64 * 1024;
constexpr int SWEEP_PROBES = 30 * 32;

// Called with the address state not 0; leaves it 0 (repaired) or not.
void recoverDhcpAddress();
// The sweep for hosts that answer in the usual 192.168 subnets.
void sweepSubnets();
