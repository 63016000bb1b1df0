// The fault model's table and its one question (fault.h).
#include "scenario/fault.h"

#include <map>
#include <utility>

#include "platform/assert.h"
#include "platform/ndisuio.h"
#include "platform/types.h"
#include "scenario/world.h"

namespace sim {

const FaultKind FAULT_KINDS[FAULT_CALLS] = {
    {FaultCall::CreateThread, "system", "fail_thread_starts", plat::ERROR_NOT_ENOUGH_MEMORY},
    {FaultCall::Allocate, "system", "fail_allocations", 0},
    {FaultCall::FileOpen, "system", "fail_file_opens", 0},
    {FaultCall::TextConversion, "system", "fail_text_conversions", plat::ERROR_INSUFFICIENT_BUFFER},
    {FaultCall::FileTime, "system", "fail_file_times", plat::ERROR_INVALID_PARAMETER},
    {FaultCall::DriverOpen, "driver", "opens", plat::ERROR_FILE_NOT_FOUND},
    {FaultCall::BindingQuery, "driver.binding", "query_fails", 259},  // ERROR_NO_MORE_ITEMS
    {FaultCall::Oid, "radio", "refuse", plat::ERROR_GEN_FAILURE},
    {FaultCall::AdaptersInfo, "ip", "fail_adapters_info", plat::ERROR_GEN_FAILURE},
    {FaultCall::NetworkParams, "ip", "fail_network_params", plat::ERROR_GEN_FAILURE},
    {FaultCall::ForwardTable, "ip", "fail_forward_table", plat::ERROR_GEN_FAILURE},
    {FaultCall::AddAddress, "ip", "fail_add_address", plat::ERROR_GEN_FAILURE},
    {FaultCall::DeleteAddress, "ip", "fail_delete_address", plat::ERROR_GEN_FAILURE},
    {FaultCall::AdapterIndex, "ip", "adapter_index_fails", 1168},  // ERROR_NOT_FOUND
    {FaultCall::IcmpCreate, "ip", "icmp_create_fails", plat::ERROR_NOT_ENOUGH_MEMORY},
    {FaultCall::Echo, "ip", "fail_echo", 11050},                // IP_GENERAL_FAILURE
    {FaultCall::HostByName, "ip", "fail_host_by_name", 11002},  // WSATRY_AGAIN
    {FaultCall::HostByAddr, "ip", "fail_host_by_addr", 11002},
    {FaultCall::RegisterClass, "ui", "register_fails", plat::ERROR_INVALID_PARAMETER},
    {FaultCall::CreateWindow, "ui", "create_fails", plat::ERROR_INVALID_PARAMETER},
};

const OidName REFUSABLE_OIDS[7] = {
    {"BSSID_LIST_SCAN", plat::OID_802_11_BSSID_LIST_SCAN},
    {"BSSID_LIST", plat::OID_802_11_BSSID_LIST},
    {"BSSID", plat::OID_802_11_BSSID},
    {"SSID", plat::OID_802_11_SSID},
    {"INFRASTRUCTURE_MODE", plat::OID_802_11_INFRASTRUCTURE_MODE},
    {"AUTHENTICATION_MODE", plat::OID_802_11_AUTHENTICATION_MODE},
    {"DISASSOCIATE", plat::OID_802_11_DISASSOCIATE},
};

namespace {

// Calls so far, per call and target.
std::map<std::pair<FaultCall, uint32_t>, uint32_t> counts;

}  // namespace

const FaultKind& faultKind(FaultCall call) {
  const FaultKind& k = FAULT_KINDS[int(call)];
  QV_ASSERT(k.call == call, "FAULT_KINDS is in FaultCall's order");
  return k;
}

const char* oidName(uint32_t oid) {
  for (const OidName& o : REFUSABLE_OIDS)
    if (o.oid == oid) return o.name;
  return nullptr;
}

uint32_t countCall(FaultCall call, uint32_t target) {
  uint32_t& n = counts[{call, target}];
  QV_ASSERT(n < UINT32_MAX, "a call counter overflows");
  return ++n;
}

const Fault* faultFires(FaultCall call, uint32_t n, uint32_t target) {
  QV_ASSERT(n > 0, "calls are counted from 1");
  for (Fault& f : world.faults) {
    if (f.call != call || f.target != target) continue;
    if (f.occurrence != EVERY_CALL && f.occurrence != n) continue;
    f.fired++;
    return &f;
  }
  return nullptr;
}

std::string faultName(const Fault& f) {
  const FaultKind& k = faultKind(f.call);
  std::string name = std::string(k.section) + ".";
  if (f.call == FaultCall::BindingQuery) {
    name = "driver.binding " + std::to_string(f.target) + " " + k.key;
  } else if (f.call == FaultCall::Oid) {
    const char* oid = oidName(f.target);
    name += std::string(k.key) + " " + (oid ? oid : "?");
  } else {
    name += k.key;
  }
  if (f.occurrence != EVERY_CALL) name += " " + std::to_string(f.occurrence);
  return name;
}

std::vector<std::string> unreachedFaults() {
  std::vector<std::string> out;
  for (const Fault& f : world.faults)
    if (f.fired == 0) out.push_back(faultName(f));
  return out;
}

}  // namespace sim
