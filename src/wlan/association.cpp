#include "wlan/association.h"

#include <cstring>

#include "platform/core.h"
#include "wlan/channel.h"

namespace {

alignas(8) uint8_t bssidRequest[BSSID_REQUEST_BYTES];
alignas(8) uint8_t disassociateRequest[DISASSOCIATE_REQUEST_BYTES];
alignas(8) uint8_t associateRequest[ASSOCIATE_REQUEST_BYTES];

bool setValue(plat::NDIS_OID oid, const void* value, size_t bytes) {
  static_assert(plat::OID_DATA_OFFSET + sizeof(plat::NDIS_802_11_SSID) <= ASSOCIATE_REQUEST_BYTES);
  std::memset(associateRequest, 0, sizeof associateRequest);
  std::memcpy(oidData(associateRequest), value, bytes);
  return setOid(associateRequest, oid, ASSOCIATE_REQUEST_BYTES);
}

}  // namespace

int32_t queryCurrentBssid(uint8_t bssid[6]) {
  std::memset(bssidRequest, 0, sizeof bssidRequest);
  if (queryOid(bssidRequest, plat::OID_802_11_BSSID, BSSID_REQUEST_BYTES)) {
    std::memcpy(bssid, oidData(bssidRequest), 6);
    return 0;
  }
  // A refusal that leaves no error code would read as "associated" to every
  // caller; it is reported as a general failure instead.
  plat::DWORD error = plat::getLastError();
  return error != 0 ? int32_t(error) : int32_t(plat::ERROR_GEN_FAILURE);
}

void disassociate() {
  std::memset(disassociateRequest, 0, sizeof disassociateRequest);
  setOid(disassociateRequest, plat::OID_802_11_DISASSOCIATE, DISASSOCIATE_REQUEST_BYTES);
}

bool associateSsid(const char* ssid) {
  plat::ULONG mode = plat::Ndis802_11Infrastructure;
  setValue(plat::OID_802_11_INFRASTRUCTURE_MODE, &mode, sizeof mode);
  plat::ULONG auth = plat::Ndis802_11AuthModeOpen;
  setValue(plat::OID_802_11_AUTHENTICATION_MODE, &auth, sizeof auth);

  plat::NDIS_802_11_SSID value{};
  size_t length = 0;
  while (length < sizeof value.Ssid && ssid[length]) length++;
  value.SsidLength = plat::ULONG(length);
  std::memcpy(value.Ssid, ssid, length);
  return setValue(plat::OID_802_11_SSID, &value, sizeof value);
}
