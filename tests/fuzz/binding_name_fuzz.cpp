// The binding reply of NIC discovery: whatever DeviceNameOffset and
// DeviceNameLength say, the name is read from inside the reply only and
// written, terminated, inside the caller's buffer only.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "wlan/channel.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

void read(const uint8_t* data, size_t size, size_t capacity) {
  // Exactly `capacity` units, so a write past them is caught.
  std::unique_ptr<char16_t[]> out(new char16_t[capacity]);
  for (size_t i = 0; i < capacity; i++) out[i] = u'#';
  if (!readBindingName(data, size, out.get(), capacity)) {
    for (size_t i = 0; i < capacity; i++) require(out[i] == u'#');  // left untouched
    return;
  }
  plat::NDISUIO_QUERY_BINDING q;
  require(size >= sizeof q);
  std::memcpy(&q, data, sizeof q);
  size_t units = q.DeviceNameLength / 2;
  require(units < capacity && out[units] == 0);
  require(std::memcmp(out.get(), data + q.DeviceNameOffset, units * 2) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  read(data, size, DEVICE_NAME_CHARS);
  read(data, size, 80);  // the run's NIC name
  read(data, size, 1);
  return 0;
}
