#include "run/recovery.h"

#include "console/console.h"
#include "console/format.h"
#include "ipconfig/adapters.h"
#include "ipconfig/address_ops.h"
#include "platform/core.h"
#include "probe/echo.h"
#include "run/run_state.h"

namespace {

constexpr int RENEW_TRIES = 2;
constexpr unsigned TRY_PAUSE_MS = 300;
constexpr unsigned LAUNCH_GAP_MS = 1;
constexpr unsigned SWEEP_SETTLE_MS = 2000;
constexpr unsigned RETRY_START_MS = 50;

// The sweep's octet ranges: 1..15 then 240..254 for hosts, 0..15 then
// 240..255 for subnets.
int nextOctet(int v) { return v + 1 == 16 ? 240 : v + 1; }

void stateLine() {
  const char16_t* format;
  switch (runState.addressState) {
    case ADDRESS_NONE:
      format = u"     No actual IP Address: %S";
      break;
    case ADDRESS_APIPA:
      format = u"     APIPA IP Address: %S";
      break;
    case ADDRESS_NOT_WORKING:
      format = u"     Not working IP Addr.: %S";
      break;
    default:
      format = u"     Incorrect IP Address: %S";
      break;
  }
  FORMAT_SCRATCH(format, currentAddress());
  appendLine(runState.scratch);
}

// Starts one probe; a thread that cannot be started is tried once more
// after a pause in which earlier probes can end. Answers false when the
// address stays unprobed.
bool startProbe(int32_t sweep, int subnet, int host) {
  for (int attempt = 0; attempt < 2; attempt++) {
    auto* target = static_cast<SweepTarget*>(plat::allocate(sizeof(SweepTarget)));
    if (target) {
      formatText(target->text, SWEEP_TARGET_CHARS, u"192.168.%d.%d", subnet, host);
      target->sweep = sweep;
      probeStarting();
      plat::HANDLE thread =
          plat::createThread(sweepProbeWorker, target, PROBE_STACK_BYTES, nullptr);
      if (thread) {
        plat::closeHandle(thread);
        return true;
      }
      probeNotStarted();
      plat::release(target);
    }
    plat::sleep(RETRY_START_MS);
  }
  return false;
}

}  // namespace

void recoverDhcpAddress() {
  for (int t = 1; t <= RENEW_TRIES; t++) {
    plat::sleep(TRY_PAUSE_MS);
    if (runState.addressState == ADDRESS_VALID) {
      refreshAdapters();
      runState.addressState = classifyAddress();
      break;
    }
    FORMAT_SCRATCH(u"-Trying to get a valid IP. Try %d", t);
    appendLine(runState.scratch);
    stateLine();
    releaseAndRenew();
    refreshAdapters();
    runState.addressState = classifyAddress();
  }
  if (runState.addressState == ADDRESS_VALID) return;
  sweepSubnets();
}

void sweepSubnets() {
  appendLine(u"Cannot get a valid IP Address with DHCP.");
  appendLine(u"-Trying to find usual AP configurations...");
  runState.tempAddressContext = addTemporaryAddress("192.168.0.133", "255.255.0.0");
  const int32_t sweep = openSweep();
  int unprobed = 0;
  for (int host = 1; host <= 254; host = nextOctet(host)) {
    appendText(u".");
    for (int subnet = 0; subnet <= 255; subnet = nextOctet(subnet)) {
      if (!startProbe(sweep, subnet, host)) unprobed++;
      plat::sleep(LAUNCH_GAP_MS);
    }
  }
  appendLine(u".");
  // Addresses whose probe could not be started are said, not hidden.
  if (unprobed > 0) {
    FORMAT_SCRATCH(u"     Not probed: %d addresses", unprobed);
    appendLine(runState.scratch);
  }
  plat::sleep(SWEEP_SETTLE_MS);
  // Probes still under way (slow name lookups) can no longer report here:
  // say how many, so that "no gateway" is not read as every host silent.
  const int32_t unfinished = closeSweep();
  if (unfinished > 0) {
    FORMAT_SCRATCH(u"     Probes unfinished: %d addresses", unfinished);
    appendLine(runState.scratch);
  }
  deleteAddress(runState.tempAddressContext);
  deleteDefaultRoutes();
  appendLine(u"     No valid Internet gateway found.");
}
