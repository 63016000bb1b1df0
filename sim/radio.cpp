// The radio: scanning, the scan list and association.
#include "driver.h"

namespace sim {

bool radioOid(const Binding&, OidRequest& r) {
  if (r.set && r.oid == plat::OID_802_11_BSSID_LIST_SCAN) return true;
  r.error = plat::ERROR_NOT_SUPPORTED;
  return false;
}

} // namespace sim
