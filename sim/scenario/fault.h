// The fault model: every platform failure a scenario can switch on, as one
// plain record each, and the one question every simulated service asks of
// them ("does this call fail?").
//
// A fault names
//   - the call it makes fail (FaultCall; for driver requests also the
//     target: the OID, or the binding's index),
//   - which occurrence: the n-th call (1-based) of that call on that
//     target, counted over the whole run, or every call (occurrence 0),
//   - and the answer: the error code the failed call returns or leaves as
//     its last error (0 where the call gives none, as a failed malloc).
// The scenario keys that switch faults on (fail_allocations = [3],
// [[radio.refuse]], icmp_create_fails, ...) are read into these records by
// the loader, one record per listed occurrence; FAULT_KINDS below is the
// table of every kind with its key, and the explorer's generator writes its
// faults through the same table. docs/scenarios.md documents each key.
//
// What a device is rather than what fails on it stays in the world: a
// thread limit (max_threads), a missing \Temp, a route that cannot be
// deleted, a network's release error and its renewals' results.
//
// A fault switched on that never fired (its occurrence never came, or the
// call was never made) is listed by name in the trace's last record,
// sim.end, as "unreached", so that a scenario can tell the two apart.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class FaultCall : uint8_t {
  // [system]
  CreateThread,
  Allocate,
  FileOpen,
  TextConversion,
  FileTime,
  // [driver] and [radio]
  DriverOpen,
  BindingQuery,  // target: the binding's index
  Oid,           // target: the OID
  // [ip]
  AdaptersInfo,
  NetworkParams,
  ForwardTable,
  AddAddress,
  DeleteAddress,
  AdapterIndex,
  IcmpCreate,
  Echo,
  HostByName,
  HostByAddr,
  // [ui]
  RegisterClass,
  CreateWindow,
};
constexpr int FAULT_CALLS = int(FaultCall::CreateWindow) + 1;

struct Fault {
  FaultCall call = FaultCall::Allocate;
  uint32_t target = 0;      // the OID or binding index; 0 for untargeted calls
  uint32_t occurrence = 0;  // the n-th call, 1-based; EVERY_CALL: each one
  uint32_t answer = 0;      // the error code of the failure
  uint32_t fired = 0;       // times it decided a call's answer in this run
};
constexpr uint32_t EVERY_CALL = 0;

// One kind of fault: where its scenario key is and what it answers unless
// the scenario gives another code.
struct FaultKind {
  FaultCall call;
  const char* section;  // "system", "ip", ...
  const char* key;      // the key inside it
  uint32_t answer;      // the default error code
};
extern const FaultKind FAULT_KINDS[FAULT_CALLS];
const FaultKind& faultKind(FaultCall call);

// The OIDs a [[radio.refuse]] may name, by their short names.
struct OidName {
  const char* name;
  uint32_t oid;
};
extern const OidName REFUSABLE_OIDS[7];
const char* oidName(uint32_t oid);  // null for one not in the list

// Counts one call of `call` on `target` and answers its number (1-based).
uint32_t countCall(FaultCall call, uint32_t target = 0);
// The fault that fires on the n-th call of `call` on `target`, or null.
// The first matching record of the scenario wins; it is marked fired, so
// ask only where the answer then follows the fault.
const Fault* faultFires(FaultCall call, uint32_t n, uint32_t target = 0);
// Both at once, for calls that check for their fault before anything else.
inline const Fault* nextCallFails(FaultCall call, uint32_t target = 0, uint32_t* n = nullptr) {
  uint32_t k = countCall(call, target);
  if (n) *n = k;
  return faultFires(call, k, target);
}

// A fault as the scenario names it: "system.fail_allocations 3",
// "radio.refuse SSID 2", "driver.binding 1 query_fails", "ip.icmp_create_fails".
std::string faultName(const Fault& f);
// Every fault of the world that never fired, by name, in the scenario's order.
std::vector<std::string> unreachedFaults();

}  // namespace sim
