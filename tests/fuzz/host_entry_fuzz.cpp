// A host entry as a name lookup may answer it: any h_length, any number of
// addresses (each exactly h_length bytes long, so a read past one is
// caught), or no list at all. Only an entry with 4-byte addresses and at
// least one of them gives an address, its first.
//
// Input: h_length (two bytes, little-endian, signed), the number of
// addresses (0..15), a switch byte (1: no list), then the address bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "probe/host_entry.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  short length = short(uint16_t(data[0] | data[1] << 8));
  size_t count = data[2] % 16;
  bool noList = data[3] & 1;
  data += 4;
  size -= 4;

  size_t each = length > 0 ? size_t(length) : 0;
  std::vector<std::unique_ptr<char[]>> addresses;
  std::unique_ptr<char*[]> list(new char*[count + 1]);
  for (size_t i = 0; i < count; i++) {
    addresses.emplace_back(new char[each ? each : 1]);
    for (size_t k = 0; k < each; k++)
      addresses.back()[k] = char(i * each + k < size ? data[i * each + k] : 0);
    list[i] = addresses.back().get();
  }
  list[count] = nullptr;
  char name[] = "host";
  char* aliases[] = {nullptr};
  plat::hostent h{name, aliases, plat::AF_INET, length, noList ? nullptr : list.get()};

  uint32_t a = hostEntryAddress(&h);
  if (length == 4 && !noList && count > 0) {
    uint32_t first;
    std::memcpy(&first, list[0], 4);
    require(a == first);
  } else {
    require(a == plat::INADDR_NONE);
  }
  require(hostEntryAddress(nullptr) == plat::INADDR_NONE);
  return 0;
}
