#include "run/survey.h"

#include "console/console.h"
#include "console/format.h"
#include "run/run_state.h"
#include "wlan/association.h"
#include "wlan/node_table.h"
#include "wlan/scan.h"

static_assert(RunState{}.currentNode == NO_NODE, "the run starts on no node");

namespace {

constexpr int32_t RAW_RSSI_BELOW = -30000;  // below this the dBm sit in the upper half-word
constexpr int32_t WEAKEST_RSSI = -90;       // this or lower: too weak to try
constexpr int32_t LAST_CHANNEL = 13;

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; }

// The filter is typed by hand, often copied from a label in capitals, while
// the BSSID text is always lower-case: the comparison ignores the case of
// the letters. Everything else must be the same, so a filter written with
// colons never matches the dotted form.
bool sameBssidText(const char16_t* bssidText, const char16_t* filter) {
  size_t i = 0;
  for (; i < RUN_TEXT_CHARS && bssidText[i]; i++)
    if (lowerAscii(bssidText[i]) != lowerAscii(filter[i])) return false;
  return i < RUN_TEXT_CHARS && filter[i] == 0;
}

void printRow(NodeEntry& e) {
  beginConsoleLine();
  FORMAT_SCRATCH(u"%-14S", e.ssid);
  appendText(runState.scratch);

  FORMAT_SCRATCH(u"%02x.%02x.%02x.%02x.%02x.%02x", e.bssid[0], e.bssid[1], e.bssid[2], e.bssid[3],
                 e.bssid[4], e.bssid[5]);
  if (runState.filterActive && !sameBssidText(runState.scratch, runState.filterText))
    e.candidate = 0;
  appendText(runState.scratch);

  if (e.rssi < RAW_RSSI_BELOW) e.rssi >>= 16;
  if (e.rssi <= WEAKEST_RSSI) {
    appendText(u"      ");
    e.candidate = 0;
  } else {
    FORMAT_SCRATCH(u" %2ddB", e.rssi);
    appendText(runState.scratch);
  }

  if (e.channel < 1 || e.channel > LAST_CHANNEL) e.channel = 0;
  FORMAT_SCRATCH(u"%2dch ", e.channel);
  appendText(runState.scratch);

  if (!e.infrastructure) {
    appendLine(u"A");
    e.candidate = 0;
  } else if (e.flags & PRIVACY_FLAG) {
    appendLine(u"W");
    e.candidate = 0;
  } else {
    appendLine(u"O");
  }
  endConsoleLine();
}

}  // namespace

bool surveyNetworks() {
  appendText(u"-Scanning WLANs .... ");
  nodeTable.count = scanNetworks(nodeTable.entries);
  FORMAT_SCRATCH(u"%1d APs found:", nodeTable.count);
  appendLine(runState.scratch);
  if (nodeTable.count <= 0) {
    appendLine(u"No networks available. Exiting...");
    return false;
  }

  appendLine(u"SSID          BSSID              RSSI CH WP");
  for (int32_t i = 0; i < nodeTable.count; i++) printRow(nodeTable.entries[i]);
  for (int32_t i = 0; i < nodeTable.count; i++)
    if (nodeTable.entries[i].candidate) runState.remainingNodes++;

  appendText(u"-Current state.... ");
  runState.associationState = queryCurrentBssid(runState.currentBssid);
  if (runState.associationState == ASSOCIATED) {
    appendLine(u"ASSOCIATED");
    // The network the adapter is on is worked on first, candidate or not.
    runState.currentNode = findNodeByBssid(runState.currentBssid);
    if (runState.currentNode == NO_NODE || !nodeTable.entries[runState.currentNode].candidate)
      runState.remainingNodes++;
  } else {
    appendLine(u"DISSASSOCIATED");
  }
  return true;
}
