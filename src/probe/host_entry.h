// Reading a host entry that a name lookup answered with.
#pragma once
#include <cstdint>

#include "platform/sockets.h"

// The first address of a host entry, or INADDR_NONE when it has none (no
// entry, an empty list, or addresses that are not 4 bytes long).
uint32_t hostEntryAddress(const plat::hostent* h);
