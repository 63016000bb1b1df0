// The radio part of the world: the networks the adapter can see and how it
// associates with them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ndisuio.h"

namespace sim {

// The most bytes an SSID has (NDIS_802_11_SSID.Ssid).
constexpr size_t MAX_SSID_BYTES = 32;

// One network (one BSSID). The fields hold what the driver sends in the
// network's NDIS_WLAN_BSSID record, already in the record's own form.
struct RadioNetwork {
  std::string ssid;         // the SSID's bytes, at most 32
  int64_t ssidLength = -1;  // SsidLength as sent; -1: the number of ssid bytes
  uint8_t bssid[6] = {};
  int32_t rssi = -60;                              // Rssi as sent
  uint32_t dsConfig = 2437000;                     // Configuration.DSConfig as sent
  uint32_t privacy = 0;                            // Privacy as sent
  uint32_t mode = plat::Ndis802_11Infrastructure;  // InfrastructureMode as sent
  uint32_t extraBytes = 0;                         // bytes after the published record
  int64_t length = -1;     // Length as sent; -1: the published size + extraBytes
  bool listed = true;      // appears in the scan list
  bool joins = true;       // an SSID request naming it leads to a join
  uint32_t joinPolls = 1;  // the 2-second poll that first sees the join
};

struct RadioWorld {
  std::vector<RadioNetwork> networks;  // in the order of the scan list
  int64_t numberOfItems = -1;          // NumberOfItems as sent; -1: the listed networks
  uint32_t bssidError =
      plat::ERROR_GEN_FAILURE;  // last error of a BSSID query while not associated
  // A list query whose reply does not fit: false, as a conforming driver, it
  // fails with ERROR_INSUFFICIENT_BUFFER and the bytes needed; true, as a
  // careless (non-conforming) driver, it cuts the list and reports success.
  bool cutList = false;
  // Refused requests ([[radio.refuse]]) are faults (fault.h).
  // How long a scan takes: after a scan request the list starts empty and
  // each network enters it when the scan reaches its channel, the 2.4 GHz
  // band in the first half of scanMs and the 5 GHz band in the second.
  uint32_t scanMs = 2000;

  // The adapter's state; the scenario gives its start, the radio changes it.
  int associated = -1;    // index into networks; -1: on no network
  int joining = -1;       // the network of a join under way; -1: none
  uint64_t joinAt = 0;    // virtual ms from which that join holds
  uint64_t joins = 0;     // joins completed since the start
  uint64_t joinedAt = 0;  // virtual ms at which the last completed join held
  bool scanning = false;  // a scan was requested: the list fills from scanAt
  uint64_t scanAt = 0;
};

// The network the adapter is associated with now (a join under way that is
// due by now counts), as an index into world.radio.networks; -1: none.
int associatedNetwork();

}  // namespace sim
