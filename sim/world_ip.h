// The IP part of the world: adapters, addresses, routes, DHCP servers, hosts
// that answer echoes and names that resolve.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct IpWorld {};

} // namespace sim
