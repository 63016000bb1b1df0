// The channel to the WLAN adapter through the NDIS user-mode I/O driver, and
// the search for the adapter among the driver's bindings.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ndisuio.h"

constexpr int DEVICE_NAME_CHARS = 258;
constexpr int BINDING_BUFFER_BYTES = 1024;
constexpr int MAX_BINDINGS = 5;

struct WlanChannel {
  plat::HANDLE deviceHandle;
  char16_t deviceName[DEVICE_NAME_CHARS];
};
extern WlanChannel wlanChannel;

bool openWlanChannel();
bool findWlanNic();
// Copies the device name, with its terminator, into out (capacity units).
// A name that does not fit is not cut (a cut name would name another
// adapter than the one every driver request names): the answer is false and
// out holds an empty text.
bool copyDeviceName(char16_t* out, size_t capacity);
// Units in the device name, without the terminator.
size_t deviceNameLength();
// request: a buffer of `size` bytes beginning with an NDISUIO_QUERY_OID /
// NDISUIO_SET_OID record; its Data is the OID's value.
bool queryOid(void* request, plat::NDIS_OID oid, plat::DWORD size);
// The same, leaving the driver's bytes returned in *returned: on success the
// bytes used, on a query refused for want of room (ERROR_INSUFFICIENT_BUFFER)
// the bytes the whole request needs.
bool queryOid(void* request, plat::NDIS_OID oid, plat::DWORD size, plat::DWORD* returned);
bool setOid(void* request, plat::NDIS_OID oid, plat::DWORD size);
// The value part of a request buffer.
inline uint8_t* oidData(void* request) {
  return static_cast<uint8_t*>(request) + plat::OID_DATA_OFFSET;
}

// Reads the device name out of a binding reply of replyBytes bytes into out
// (outCapacity units). Answers false, leaving out untouched, when the name
// does not lie wholly inside the reply or does not fit out with its
// terminator.
bool readBindingName(const uint8_t* reply, size_t replyBytes, char16_t* out, size_t outCapacity);
