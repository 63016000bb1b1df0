// The run frame: banner, clock line, BSSID filter, NIC search, the phases
// and the closing lines.
#include "console/console.h"
#include "console/format.h"
#include "platform/core.h"
#include "run/node_loop.h"
#include "run/run.h"
#include "run/run_state.h"
#include "run/survey.h"
#include "wlan/channel.h"

RunState runState;

int wrapHour(int hour) { return ((hour % 24) + 24) % 24; }

namespace {

void clockLine() {
  plat::SYSTEMTIME t{};
  plat::TIME_ZONE_INFORMATION tz{};
  plat::getLocalTime(&t);
  plat::DWORD zone = plat::getTimeZoneInformation(&tz);
  runState.bias = tz.Bias;
  // The platform reports a DaylightBias also while standard time is in
  // effect (and for zones without daylight time); adding it then would put
  // GMT and the lease time an hour off. It counts only in daylight time.
  runState.daylightBias = zone == plat::TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : 0;
  // The offsets are added to the hour alone; a result outside 0..23 is
  // brought back into the day (the line shows no date for GMT).
  int gmtHour = wrapHour(int(t.wHour) + runState.bias / 60 + runState.daylightBias / 60);
  FORMAT_SCRATCH(u"%d/%02d/%02d %d:%02d:%02d local, %d:%02d GMT ", int(t.wMonth), int(t.wDay),
                 int(t.wYear) % 100, int(t.wHour), int(t.wMinute), int(t.wSecond), gmtHour,
                 int(t.wMinute));
  appendLine(runState.scratch);
}

void takeFilter() {
  // A command line longer than the filter's 79 characters is cut; it could
  // not have matched a BSSID text anyway.
  copyWide(runState.filterText, RUN_TEXT_CHARS, plat::getCommandLine());
  if (runState.filterText[0] != 0) {
    appendText(u"-Working only with BSSID :");
    appendLine(runState.filterText);
    runState.filterActive = 1;
  }
}

void closing() {
  appendLine(u" ");
  appendLine(u"Tap screen to exit. ");
}

}  // namespace

plat::DWORD QV_CALLBACK diagnosticRun(void*) {
  appendLine(u"Olvash Quorvelta V0.18");
  appendLine(u"======================");
  clockLine();
  takeFilter();

  appendText(u"-Searching for NDIS WLAN NIC.....");
  if (!findWlanNic()) {
    appendLine(u"");
    appendLine(u"Not found.");
    closing();
    plat::exitThread(0);
  }
  appendLine(u"OK");
  appendText(u"Found : ");
  if (!copyDeviceName(runState.nicName, RUN_TEXT_CHARS)) {
    // The IP configuration is matched and addressed by the NIC name, which
    // holds fewer characters than a device name may have. A cut name would
    // match no adapter (or another one), and every node would fail for a
    // cause that is not the network's: the run says so and ends instead.
    appendLine(wlanChannel.deviceName);
    FORMAT_SCRATCH(u"NIC name too long (%d chars, max %d): not usable.", int(deviceNameLength()),
                   RUN_TEXT_CHARS - 1);
    appendLine(runState.scratch);
    closing();
    plat::exitThread(0);
  }
  appendLine(runState.nicName);

  if (!surveyNetworks()) {
    closing();
    plat::exitThread(0);
  }
  if (runState.remainingNodes > 0) nodeLoop();

  closing();
  plat::exitThread(0);
}
