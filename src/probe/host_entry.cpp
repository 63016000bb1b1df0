#include "probe/host_entry.h"

#include <cstring>

uint32_t hostEntryAddress(const plat::hostent* h) {
  if (!h || h->h_length != 4 || !h->h_addr_list || !h->h_addr_list[0]) return plat::INADDR_NONE;
  uint32_t a;
  std::memcpy(&a, h->h_addr_list[0], 4);
  return a;
}
