// Reachability probes: a name lookup and one ICMP echo.
#pragma once
#include <cstdint>

#include "platform/types.h"
#include "run/run_state.h"

// A public host that answers ICMP echo (the internet test's target).
inline constexpr const char16_t* PUBLIC_TEST_ADDRESS = u"1.1.1.1";

constexpr plat::DWORD ECHO_TTL = 128;
constexpr plat::DWORD ECHO_TIMEOUT_MS = 1000;
constexpr plat::WORD ECHO_DATA_BYTES = 0;  // an echo carries no data
constexpr size_t ICMP_ERROR_BYTES = 8;     // what an ICMP error message adds to a reply
constexpr int TARGET_BYTES = 260;          // the target's 8-bit form

// Resolves target (dotted address or host name), sends one echo and fills
// result. Answers the replies stored (0 or 1), or -1 when the target does
// not resolve (nothing sent, result untouched).
int32_t echoProbe(const char16_t* target, plat::DWORD ttl, plat::DWORD timeoutMs,
                  EchoResult* result);
// A probe succeeded: at least one reply, and the reply is an echo (status 0).
bool probeSucceeded(int32_t replies, const EchoResult& result);
// The internet test: 1 when PUBLIC_TEST_ADDRESS answered.
int testInternet();
// What a sweep hands each probe: its own copy of the address text (wide,
// first, so the block reads as the text) and the sweep it belongs to.
// Allocated with plat::allocate by the sweep; the worker releases it.
constexpr int SWEEP_TARGET_CHARS = 16;  // "192.168.255.255" and its end
struct SweepTarget {
  char16_t text[SWEEP_TARGET_CHARS];
  int32_t sweep;
};
// Thread body of a sweep probe; param is a SweepTarget.
plat::DWORD QV_CALLBACK sweepProbeWorker(void* param);

// The sweep's side of its probes. A probe prints its answer only while its
// sweep is open: one that ends after the sweep has closed (a slow name
// lookup, say) prints nothing, so no answer ever shows under a later
// heading or inside another writer's line. openSweep answers the new
// sweep's number; probeStarting counts a probe about to start (and
// probeNotStarted takes it back when its thread could not be made);
// closeSweep closes the sweep and answers how many of its probes had not
// ended. All of it is kept under the console's line lock, which a probe
// holds while it prints.
int32_t openSweep();
void probeStarting();
void probeNotStarted();
int32_t closeSweep();
