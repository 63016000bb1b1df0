// The run's view of the device's IP configuration: a snapshot of every
// adapter and of the network parameters, the WLAN adapter's address
// classified, and the connection report.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/iphlp.h"
#include "run/run_state.h"

// The first GetAdaptersInfo buffer holds one record as the target lays it
// out: 640 bytes on the 32-bit handheld, 704 on x86-64. A device with one
// adapter therefore answers the first call with 0 on every target, and the
// second call is made all the same.
constexpr plat::ULONG ADAPTER_INFO_FIRST_BYTES = sizeof(plat::IP_ADAPTER_INFO);
static_assert(sizeof(void*) != 4 || ADAPTER_INFO_FIRST_BYTES == 640,
              "one 32-bit record is 640 bytes");
constexpr plat::ULONG NETWORK_PARAMS_FIRST_BYTES = 584;
// The list can grow between the calls (an adapter appearing): a read that
// answers ERROR_BUFFER_OVERFLOW with the new size is sized again, at most
// this many reads after the first call.
constexpr int ADAPTER_INFO_READS = 4;

struct AdapterSnapshot {
  plat::IP_ADAPTER_INFO* adapterList;
  plat::ULONG adapterListBytes;
  plat::FIXED_INFO* networkParams;
  plat::ULONG networkParamsBytes;
  // The WLAN adapter: the first record whose name, widened, equals the NIC
  // name; null when there is none.
  const plat::IP_ADAPTER_INFO* currentAdapter;
  // Why there is no adapter list: the answer of the last GetAdaptersInfo
  // call, or ERROR_NOT_ENOUGH_MEMORY when no buffer could be had; 0 when the
  // list was read (also when the device has no IP adapter: ERROR_NO_DATA).
  plat::DWORD adapterListError;
};
extern AdapterSnapshot adapterSnapshot;

void refreshAdapters();
AddressState classifyAddress();
void printConnectionData();
// Leaves "%d/%02d/%02d %d:%02d:%02d local" in the scratch line.
void formatLeaseTime(int32_t leaseObtained);

// Readers of the current adapter. Without one (the WLAN adapter is missing
// from the IP configuration) the address texts read "0.0.0.0" and the
// adapter counts as having DHCP enabled and no address.
bool haveCurrentAdapter();
// 0 when the latest refresh read the adapter list, else why it could not
// (then there is no current adapter, whatever the device holds).
plat::DWORD adapterListError();
const char* currentAddress();
const char* currentMask();
const char* currentGateway();
bool currentDhcpEnabled();

// Classification of one address text (the rule classifyAddress applies).
AddressState classifyText(const char* address);

// Walks a chain of address entries that lies inside the snapshot's blocks;
// a link that leaves its block or is not aligned for an entry, or a chain
// longer than MAX_CHAIN, ends it.
constexpr int MAX_CHAIN = 64;
const plat::IP_ADDR_STRING* nextEntry(const plat::IP_ADDR_STRING* entry);
// Copies a 16-byte address text, terminated, into out (17 bytes).
void addressText(const plat::IP_ADDRESS_STRING& in, char out[17]);
