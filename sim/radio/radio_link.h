// What the IP model needs to know of the radio.
#pragma once
#include <cstdint>
#include <string>

namespace sim {

// The SSID of the network the WLAN adapter is associated with now, or null.
const std::string* associatedSsid();
// Counts the joins completed since the start; it changes whenever the
// adapter has joined a network anew.
uint64_t joinCount();
// The virtual time at which the last completed join held.
uint64_t lastJoinAt();

}  // namespace sim
