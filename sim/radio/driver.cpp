// The NDIS user-mode I/O driver of the simulated handheld: the device
// "UIO1:", its bindings and the OID requests, answered the way the published
// interface answers them.
#include <algorithm>
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "radio/driver.h"
#include "scenario/world.h"
#include "system/switch_point.h"

namespace sim {
namespace {

plat::HANDLE const DEVICE = reinterpret_cast<plat::HANDLE>(uintptr_t(0x5549'4F31));  // "UIO1"

const char* codeName(plat::DWORD code) {
  switch (code) {
    case plat::IOCTL_NDISUIO_QUERY_BINDING:
      return "QUERY_BINDING";
    case plat::IOCTL_NDISUIO_QUERY_OID_VALUE:
      return "QUERY_OID_VALUE";
    case plat::IOCTL_NDISUIO_SET_OID_VALUE:
      return "SET_OID_VALUE";
    default:
      return "UNKNOWN";
  }
}

plat::BOOL fail(plat::DWORD error) {
  plat::setLastError(error);
  return 0;
}

const Binding* bindingAt(uint32_t index) {
  for (const Binding& b : world.driver.bindings)
    if (b.index == index) return &b;
  return nullptr;
}

plat::BOOL queryBinding(uint8_t* in, plat::DWORD inBytes, uint8_t* out, plat::DWORD outBytes) {
  if (!in || !out || inBytes < sizeof(plat::NDISUIO_QUERY_BINDING) ||
      outBytes < sizeof(plat::NDISUIO_QUERY_BINDING))
    return fail(plat::ERROR_INSUFFICIENT_BUFFER);
  plat::NDISUIO_QUERY_BINDING q;
  std::memcpy(&q, in, sizeof q);
  const Binding* b = bindingAt(q.BindingIndex);
  const Fault* fault = b ? nextCallFails(FaultCall::BindingQuery, b->index) : nullptr;
  trace("DeviceIoControl", {{"code", codeName(plat::IOCTL_NDISUIO_QUERY_BINDING)},
                            {"in", inBytes},
                            {"out", outBytes},
                            {"binding", q.BindingIndex},
                            {"ok", b && !fault}});
  if (!b) return fail(259);  // ERROR_NO_MORE_ITEMS
  if (fault) return fail(fault->answer);
  // The reply: the record, then the name and the description, UTF-16.
  size_t nameBytes = b->deviceName.size() * 2;
  size_t descBytes = b->description.size() * 2;
  size_t nameAt = sizeof q;
  size_t descAt = nameAt + nameBytes + 2;
  if (descAt + descBytes + 2 > outBytes) return fail(plat::ERROR_INSUFFICIENT_BUFFER);
  std::memset(out, 0, outBytes);
  std::memcpy(out + nameAt, b->deviceName.data(), nameBytes);
  std::memcpy(out + descAt, b->description.data(), descBytes);
  q.DeviceNameOffset = plat::ULONG(b->nameOffset >= 0 ? uint64_t(b->nameOffset) : nameAt);
  q.DeviceNameLength = plat::ULONG(b->nameLength >= 0 ? uint64_t(b->nameLength) : nameBytes);
  q.DeviceDescrOffset = plat::ULONG(descAt);
  q.DeviceDescrLength = plat::ULONG(descBytes);
  std::memcpy(out, &q, sizeof q);
  return 1;
}

// The adapter an OID request names, read through its ptcDeviceName.
const Binding* namedAdapter(const char16_t* name) {
  if (!name) return nullptr;
  std::u16string n;
  for (size_t i = 0; i < 512 && name[i]; i++) n += name[i];
  for (const Binding& b : world.driver.bindings)
    if (b.deviceName == n) return &b;
  return nullptr;
}

plat::BOOL oidRequest(bool set, uint8_t* in, plat::DWORD inBytes, uint8_t* out,
                      plat::DWORD outBytes, plat::DWORD* returned) {
  if (!in || inBytes < plat::OID_DATA_OFFSET || out != in || outBytes != inBytes)
    return fail(plat::ERROR_INVALID_PARAMETER);
  plat::NDISUIO_QUERY_OID q;
  std::memcpy(&q, in, plat::OID_DATA_OFFSET);
  const Binding* b = namedAdapter(q.ptcDeviceName);
  OidRequest r{set, q.Oid, in + plat::OID_DATA_OFFSET, inBytes - plat::OID_DATA_OFFSET, 0, {}};
  bool ok = false;
  if (!b) {
    r.error = plat::ERROR_FILE_NOT_FOUND;
  } else if (!b->acceptsScan) {
    // Not an 802.11 adapter: it refuses the scan request and every 802.11 OID.
    r.error = plat::ERROR_NOT_SUPPORTED;
  } else {
    ok = radioOid(*b, r);
  }
  std::u16string name;
  if (q.ptcDeviceName)
    for (size_t i = 0; i < 512 && q.ptcDeviceName[i]; i++) name += q.ptcDeviceName[i];
  std::vector<TraceField> fields{{"code", codeName(set ? plat::IOCTL_NDISUIO_SET_OID_VALUE
                                                       : plat::IOCTL_NDISUIO_QUERY_OID_VALUE)},
                                 {"oid", hex32(q.Oid)},
                                 {"name", utf8(name)},
                                 {"in", inBytes},
                                 {"out", outBytes},
                                 {"ok", ok}};
  fields.insert(fields.end(), r.detail.begin(), r.detail.end());
  trace("DeviceIoControl", fields);
  // A reply too large for the room: the bytes the whole request needs.
  if (!ok && r.needed && returned) *returned = plat::DWORD(plat::OID_DATA_OFFSET + r.needed);
  if (!ok) return fail(r.error);
  return 1;
}

}  // namespace
}  // namespace sim

namespace plat {

HANDLE createFile(const char16_t* name, DWORD, DWORD, void*, DWORD disposition, DWORD flags,
                  HANDLE) {
  sim::switchPoint();
  std::u16string n(name ? name : u"");
  bool device = n == u"UIO1:";
  const sim::Fault* fault = device ? sim::nextCallFails(sim::FaultCall::DriverOpen) : nullptr;
  bool ok = device && !fault && disposition == OPEN_EXISTING;
  sim::trace("CreateFile", {{"name", sim::utf8(n)}, {"flags", sim::hex32(flags)}, {"ok", ok}});
  if (!ok) {
    setLastError(fault ? fault->answer : sim::world.driver.openError);
    return INVALID_HANDLE_VALUE;
  }
  return sim::DEVICE;
}

BOOL deviceIoControl(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                     DWORD* returned, void*) {
  sim::switchPoint();
  if (returned) *returned = 0;
  if (device != sim::DEVICE) return sim::fail(6);  // ERROR_INVALID_HANDLE
  auto* i = static_cast<uint8_t*>(in);
  auto* o = static_cast<uint8_t*>(out);
  BOOL ok;
  switch (code) {
    case IOCTL_NDISUIO_QUERY_BINDING:
      ok = sim::queryBinding(i, inBytes, o, outBytes);
      break;
    case IOCTL_NDISUIO_QUERY_OID_VALUE:
      ok = sim::oidRequest(false, i, inBytes, o, outBytes, returned);
      break;
    case IOCTL_NDISUIO_SET_OID_VALUE:
      ok = sim::oidRequest(true, i, inBytes, o, outBytes, returned);
      break;
    default:
      sim::trace("DeviceIoControl", {{"code", sim::hex32(code)}, {"ok", false}});
      ok = sim::fail(ERROR_NOT_SUPPORTED);
  }
  if (ok && returned) *returned = outBytes;
  return ok;
}

}  // namespace plat
