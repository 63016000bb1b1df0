// Association control: is the adapter on a network, drop it, join another.
#pragma once
#include <cstdint>

constexpr uint32_t BSSID_REQUEST_BYTES = 128;
constexpr uint32_t DISASSOCIATE_REQUEST_BYTES = 1024;
constexpr uint32_t ASSOCIATE_REQUEST_BYTES = 128;

// 0 when the adapter is associated, with its BSSID in `bssid`; otherwise a
// nonzero error code and `bssid` is left as it was.
int32_t queryCurrentBssid(uint8_t bssid[6]);
// Drops the adapter's current association; the driver's answer is ignored.
void disassociate();
// Asks the adapter to join the infrastructure network `ssid` (NUL-terminated,
// at most 32 bytes are sent) under open authentication. True when the driver
// accepted the SSID request; the join itself shows only in later queries.
bool associateSsid(const char* ssid);
