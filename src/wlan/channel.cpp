#include "wlan/channel.h"

#include <cstring>

#include "console/format.h"

WlanChannel wlanChannel;

namespace {
alignas(8) uint8_t bindingBuffer[BINDING_BUFFER_BYTES];
alignas(8) uint8_t testRequest[4096];

bool sendOid(plat::DWORD code, void* request, plat::NDIS_OID oid, plat::DWORD size,
             plat::DWORD* returnedOut = nullptr) {
  if (size < plat::OID_DATA_OFFSET) return false;
  plat::NDISUIO_QUERY_OID head;
  std::memcpy(&head, request, plat::OID_DATA_OFFSET);
  head.Oid = oid;
  head.ptcDeviceName = wlanChannel.deviceName;
  std::memcpy(request, &head, plat::OID_DATA_OFFSET);
  plat::DWORD returned = 0;
  bool ok = plat::deviceIoControl(wlanChannel.deviceHandle, code, request, size, request, size,
                                  &returned, nullptr) != 0;
  if (returnedOut) *returnedOut = returned;
  return ok;
}
}  // namespace

bool openWlanChannel() {
  wlanChannel.deviceHandle = plat::createFile(
      u"UIO1:", 0, 0, nullptr, plat::OPEN_EXISTING,
      plat::FILE_FLAG_OVERLAPPED | plat::FILE_ATTRIBUTE_NORMAL, plat::INVALID_HANDLE_VALUE);
  return wlanChannel.deviceHandle != plat::INVALID_HANDLE_VALUE;
}

bool readBindingName(const uint8_t* reply, size_t replyBytes, char16_t* out, size_t outCapacity) {
  plat::NDISUIO_QUERY_BINDING b;
  if (replyBytes < sizeof b) return false;
  std::memcpy(&b, reply, sizeof b);
  // An odd byte count cannot end a UTF-16 name; the half unit is dropped.
  size_t units = b.DeviceNameLength / 2;
  size_t offset = b.DeviceNameOffset;
  if (offset > replyBytes || units * 2 > replyBytes - offset) return false;
  if (units + 1 > outCapacity) return false;
  std::memcpy(out, reply + offset, units * 2);
  out[units] = 0;
  return true;
}

bool findWlanNic() {
  if (!openWlanChannel()) return false;
  std::memset(bindingBuffer, 0, sizeof bindingBuffer);
  for (plat::ULONG index = 0; index < MAX_BINDINGS; index++) {
    plat::NDISUIO_QUERY_BINDING q{};
    q.BindingIndex = index;
    std::memcpy(bindingBuffer, &q, sizeof q);
    plat::DWORD returned = 0;
    bool answered = plat::deviceIoControl(
                        wlanChannel.deviceHandle, plat::IOCTL_NDISUIO_QUERY_BINDING, bindingBuffer,
                        sizeof q, bindingBuffer, sizeof bindingBuffer, &returned, nullptr) != 0;
    // A name that does not lie within the reply, or does not fit deviceName,
    // cannot name an adapter: that binding is passed over like a failed one.
    bool named = answered && readBindingName(bindingBuffer, sizeof bindingBuffer,
                                             wlanChannel.deviceName, DEVICE_NAME_CHARS);
    std::memset(bindingBuffer, 0, sizeof bindingBuffer);
    if (named) {
      std::memset(testRequest, 0, sizeof testRequest);
      if (setOid(testRequest, plat::OID_802_11_BSSID_LIST_SCAN, sizeof testRequest)) return true;
    }
  }
  return false;
}

size_t deviceNameLength() { return wideLength(wlanChannel.deviceName, DEVICE_NAME_CHARS - 1); }

bool copyDeviceName(char16_t* out, size_t capacity) {
  if (capacity == 0) return false;
  if (deviceNameLength() + 1 > capacity) {
    out[0] = 0;
    return false;
  }
  copyWide(out, capacity, wlanChannel.deviceName);
  return true;
}

bool queryOid(void* request, plat::NDIS_OID oid, plat::DWORD size) {
  return sendOid(plat::IOCTL_NDISUIO_QUERY_OID_VALUE, request, oid, size);
}

bool queryOid(void* request, plat::NDIS_OID oid, plat::DWORD size, plat::DWORD* returned) {
  return sendOid(plat::IOCTL_NDISUIO_QUERY_OID_VALUE, request, oid, size, returned);
}

bool setOid(void* request, plat::NDIS_OID oid, plat::DWORD size) {
  return sendOid(plat::IOCTL_NDISUIO_SET_OID_VALUE, request, oid, size);
}
