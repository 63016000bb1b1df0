// Dotted-decimal IPv4 texts for the simulated IP stack.
#pragma once
#include <cstdint>
#include <string>

namespace sim {

// Strict "a.b.c.d" with decimal parts 0..255; host byte order.
bool parseIpv4(const std::string& text, uint32_t& out);
std::string formatIpv4(uint32_t hostOrder);
// Host order <-> the network-order value the sockets interface uses.
uint32_t toNetwork(uint32_t hostOrder);
uint32_t fromNetwork(uint32_t networkOrder);

}  // namespace sim
