#include "run/node_loop.h"

#include "console/console.h"
#include "console/format.h"
#include "ipconfig/adapters.h"
#include "platform/core.h"
#include "probe/echo.h"
#include "run/recovery.h"
#include "run/run_state.h"
#include "wlan/association.h"
#include "wlan/node_table.h"

static_assert(RunState{}.currentNode == NO_NODE);

namespace {

enum class Outcome { Failed, TestDns };

// The entry the loop works on; null when the adapter is on a network that
// is not in the table (the index is NO_NODE).
const NodeEntry* currentEntry() {
  int32_t i = runState.currentNode;
  return i >= 0 && i < nodeTable.count && i < NODE_TABLE_ENTRIES ? &nodeTable.entries[i] : nullptr;
}

bool currentHasPrivacy() {
  const NodeEntry* e = currentEntry();
  return e && (e->flags & PRIVACY_FLAG);
}

void nodeHeading(const NodeEntry* e) {
  // Without a table entry the line shows an empty SSID and the BSSID the
  // adapter itself reported.
  FORMAT_SCRATCH(u"Node: %-18S ", e ? e->ssid : "");
  appendText(runState.scratch);
  const uint8_t* b = e ? e->bssid : runState.currentBssid;
  FORMAT_SCRATCH(u"%02x.%02x.%02x.%02x.%02x.%02x", int(b[0]), int(b[1]), int(b[2]), int(b[3]),
                 int(b[4]), int(b[5]));
  appendLine(runState.scratch);
}

// Joins the entry's network and waits for it; false when it never holds.
bool associate(const NodeEntry& e) {
  disassociate();
  copyNarrow(runState.ssidText, sizeof runState.ssidText, e.ssid);
  associateSsid(runState.ssidText);
  FORMAT_SCRATCH(u"     %S ", runState.ssidText);
  appendText(runState.scratch);
  for (int poll = 0; poll < ASSOCIATION_POLLS; poll++) {
    plat::sleep(ASSOCIATION_POLL_MS);
    runState.associationState = queryCurrentBssid(runState.currentBssid);
    appendText(u".");
    if (runState.associationState == ASSOCIATED) {
      FORMAT_SCRATCH(u"Associated in %2ds ", 2 * poll);
      appendLine(runState.scratch);
      return true;
    }
  }
  appendLine(u": Association failed.");
  appendLine(u"Cannot associate to AP.");
  appendLine(u"Check:");
  appendLine(u"   Signal (RSSI) between  -10 and -70dB.");
  appendLine(u"   No allowed MAC list.");
  return false;
}

// A valid address that does not reach the internet: the causes, the key's
// only for an encrypted network, and the failed-node bookkeeping.
void noInternet(const char16_t* heading, const char16_t* keyCause) {
  appendLine(heading);
  if (currentHasPrivacy()) appendLine(keyCause);
  appendLine(u"   IP Address.");
  appendLine(u"   Default Gateway.");
  appendLine(u"   May work with proxy configuration.");
  markNodeFailed();
}

Outcome noValidAddress() {
  appendLine(u"Cannot get a valid Ip address. Check:");
  appendLine(u"   DHCP server available.");
  appendLine(u"   Signal (RSSI) between  -10 and -70dB.");
  markNodeFailed();
  runState.internetReachable = 0;
  return Outcome::Failed;
}

Outcome dhcpAddressing() {
  appendLine(u"     NIC DHCP Enabled");
  runState.addressState = classifyAddress();
  if (runState.addressState == ADDRESS_VALID) {
    FORMAT_SCRATCH(u"     Actual IP Address: %S", currentAddress());
    appendLine(runState.scratch);
    if (testInternet()) {
      runState.internetReachable = 1;
      return Outcome::TestDns;
    }
    runState.addressState = ADDRESS_NOT_WORKING;
  }
  if (runState.addressState != ADDRESS_VALID) recoverDhcpAddress();
  if (runState.addressState != ADDRESS_VALID) return noValidAddress();
  if (runState.internetReachable) return Outcome::TestDns;
  FORMAT_SCRATCH(u"     Got valid IP Add.:%S", currentAddress());
  appendLine(runState.scratch);
  if (testInternet()) {
    runState.internetReachable = 1;
    return Outcome::TestDns;
  }
  noInternet(u"Valid IP but no internet connection. Check:", u"   Valid WEP / WPA key");
  return Outcome::Failed;
}

Outcome fixedAddressing() {
  appendLine(u"-System configured as fixed IP : ");
  FORMAT_SCRATCH(u"IP Address:        %S", currentAddress());
  appendLine(runState.scratch);
  FORMAT_SCRATCH(u"IP Mask:           %S", currentMask());
  appendLine(runState.scratch);
  FORMAT_SCRATCH(u"Gateway:           %S", currentGateway());
  appendLine(runState.scratch);
  if (testInternet()) {
    runState.internetReachable = 1;
    return Outcome::TestDns;
  }
  appendLine(u"ERROR");
  noInternet(u"Fixed IP but no internet Connection. Check:", u"   Check valid WEP / WPA key");
  runState.internetReachable = 0;
  return Outcome::Failed;
}

// Answers true when the run is over with success.
bool dnsTest() {
  appendText(u"-Testing DNS resolution....");
  int32_t replies = echoProbe(PUBLIC_TEST_HOST, ECHO_TTL, ECHO_TIMEOUT_MS, &runState.probe);
  if (probeSucceeded(replies, runState.probe)) {
    appendText(u"OK:");
    FORMAT_SCRATCH(u" %4dms", runState.probe.roundTripTime);
    appendLine(runState.scratch);
    appendLine(u"Already connected to Internet. Exiting OK");
    plat::playSound(SUCCESS_SOUND, plat::SND_ASYNC);
    refreshAdapters();
    printConnectionData();
    runState.remainingNodes = 0;
    return true;
  }
  appendLine(u"ERROR");
  appendLine(u"   Incorrect DNS. Check it.");
  appendLine(u"   Try setting fixed DNS on adapter properties.");
  markNodeFailed();
  return false;
}

}  // namespace

void markNodeFailed() {
  if (currentEntry()) nodeTable.entries[runState.currentNode].candidate = 0;
  runState.remainingNodes--;
  refreshAdapters();
  printConnectionData();
  runState.associationState = NOT_ASSOCIATED;
  FORMAT_SCRATCH(u"%2d Available nodes more...  ", runState.remainingNodes);
  appendLine(runState.scratch);
  plat::sleep(FAILED_NODE_PAUSE_MS);
}

void nodeLoop() {
  for (;;) {
    if (runState.associationState != ASSOCIATED) {
      // Nodes may remain by the count while no candidate is left (the count
      // included a network the adapter was on that then failed): the loop
      // ends instead of working on an entry that does not exist.
      int32_t next = nextCandidate();
      if (next == NO_NODE) {
        runState.remainingNodes = 0;
        return;
      }
      appendLine(u"-Trying to associate with....");
      runState.currentNode = next;
    }
    const NodeEntry* entry = currentEntry();
    nodeHeading(entry);

    Outcome outcome = Outcome::Failed;
    if (runState.associationState != ASSOCIATED && entry && !associate(*entry)) {
      markNodeFailed();
    } else {
      refreshAdapters();
      if (plat::DWORD error = adapterListError()) {
        // The device's IP configuration could not be read at all: nothing
        // is known about this node's address, so no cause is given for it.
        FORMAT_SCRATCH(u"Cannot read the IP adapter list, ERROR %d", error);
        appendLine(runState.scratch);
        markNodeFailed();
      } else if (!haveCurrentAdapter()) {
        // The WLAN adapter is missing from the IP configuration: there is no
        // address to test or repair.
        appendLine(u"     NIC not found in IP configuration.");
        outcome = noValidAddress();
      } else {
        outcome = currentDhcpEnabled() ? dhcpAddressing() : fixedAddressing();
      }
      if (outcome == Outcome::TestDns && dnsTest()) return;
    }
    if (runState.remainingNodes < 1) return;
  }
}
