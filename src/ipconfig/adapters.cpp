#include "ipconfig/adapters.h"

#include <cstring>

#include "console/console.h"
#include "console/format.h"
#include "platform/core.h"

AdapterSnapshot adapterSnapshot;

namespace {

// A record of type T lies whole inside the block, at an address aligned for
// it (a link into the middle of a field must not be followed: on the
// device's processor a misaligned read faults).
template <typename T>
bool insideBlock(const void* block, size_t bytes, const T* p) {
  auto b = reinterpret_cast<uintptr_t>(block);
  auto q = reinterpret_cast<uintptr_t>(p);
  return block && p && q % alignof(T) == 0 && q >= b && sizeof(T) <= bytes &&
         q - b <= bytes - sizeof(T);
}

template <typename T>
bool insideSnapshot(const T* p) {
  const AdapterSnapshot& s = adapterSnapshot;
  return insideBlock(s.adapterList, s.adapterListBytes, p) ||
         insideBlock(s.networkParams, s.networkParamsBytes, p);
}

// The adapter name, widened, against the NIC name; the name is read within
// its field only.
bool nameIsNic(const plat::IP_ADAPTER_INFO& a) {
  size_t i = 0;
  for (; i < sizeof a.AdapterName && a.AdapterName[i]; i++) {
    if (i >= RUN_TEXT_CHARS ||
        runState.nicName[i] != char16_t(static_cast<unsigned char>(a.AdapterName[i])))
      return false;
  }
  return i < RUN_TEXT_CHARS && runState.nicName[i] == 0;
}

// Scratch copies of the current adapter's texts, always terminated.
char addressBuf[17], maskBuf[17], gatewayBuf[17];

void releaseSnapshot() {
  plat::release(adapterSnapshot.adapterList);
  plat::release(adapterSnapshot.networkParams);
  adapterSnapshot = AdapterSnapshot{};
}

void line(const char16_t* format, int counter, const char* text) {
  FORMAT_SCRATCH(format, counter, text);
  appendLine(runState.scratch);
}

}  // namespace

void addressText(const plat::IP_ADDRESS_STRING& in, char out[17]) {
  std::memcpy(out, in.String, 16);
  out[16] = 0;
}

const plat::IP_ADDR_STRING* nextEntry(const plat::IP_ADDR_STRING* entry) {
  const plat::IP_ADDR_STRING* n = entry->Next;
  return insideSnapshot(n) ? n : nullptr;
}

void refreshAdapters() {
  releaseSnapshot();

  plat::ULONG size = ADAPTER_INFO_FIRST_BYTES;
  plat::ULONG held = size;
  auto* list = static_cast<plat::IP_ADAPTER_INFO*>(plat::allocate(size));
  plat::DWORD answer = list ? plat::getAdaptersInfo(list, &size) : plat::ERROR_NOT_ENOUGH_MEMORY;
  // Only a later read counts (also when the first call succeeded); a read
  // that finds the list grown since the call before answers
  // ERROR_BUFFER_OVERFLOW with the new size and is made again in a block of
  // that size.
  for (int read = 0; read < ADAPTER_INFO_READS; read++) {
    if (answer == plat::ERROR_BUFFER_OVERFLOW) {
      plat::release(list);
      held = size;
      list = static_cast<plat::IP_ADAPTER_INFO*>(plat::allocate(size));
    } else if (read > 0) {
      break;
    }
    answer = list ? plat::getAdaptersInfo(list, &size) : plat::ERROR_NOT_ENOUGH_MEMORY;
  }
  // A device without any IP adapter has an empty list, read like any other.
  adapterSnapshot.adapterListError = answer == plat::ERROR_NO_DATA ? 0 : answer;
  if (answer == 0) {
    adapterSnapshot.adapterList = list;
    // The block we own is as large as we allocated, whatever the call wrote
    // back into size afterwards.
    adapterSnapshot.adapterListBytes = held;
    const plat::IP_ADAPTER_INFO* a = list;
    for (int n = 0; n < MAX_CHAIN && insideBlock(list, adapterSnapshot.adapterListBytes, a);
         n++, a = a->Next) {
      if (nameIsNic(*a)) {
        adapterSnapshot.currentAdapter = a;
        break;
      }
    }
  } else {
    plat::release(list);
  }

  size = NETWORK_PARAMS_FIRST_BYTES;
  auto* params = static_cast<plat::FIXED_INFO*>(plat::allocate(size));
  held = size;
  answer = params ? plat::getNetworkParams(params, &size) : plat::ERROR_NOT_ENOUGH_MEMORY;
  if (answer == plat::ERROR_BUFFER_OVERFLOW) {
    plat::release(params);
    held = size;
    params = static_cast<plat::FIXED_INFO*>(plat::allocate(size));
    answer = params ? plat::getNetworkParams(params, &size) : plat::ERROR_NOT_ENOUGH_MEMORY;
  }
  if (params && answer == 0 && held >= sizeof(plat::FIXED_INFO)) {
    adapterSnapshot.networkParams = params;
    adapterSnapshot.networkParamsBytes = held;
  } else {
    plat::release(params);
  }
}

bool haveCurrentAdapter() { return adapterSnapshot.currentAdapter != nullptr; }

plat::DWORD adapterListError() { return adapterSnapshot.adapterListError; }

const char* currentAddress() {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  if (!a) return "0.0.0.0";
  addressText(a->IpAddressList.IpAddress, addressBuf);
  return addressBuf;
}

const char* currentMask() {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  if (!a) return "0.0.0.0";
  addressText(a->IpAddressList.IpMask, maskBuf);
  return maskBuf;
}

const char* currentGateway() {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  if (!a) return "0.0.0.0";
  addressText(a->GatewayList.IpAddress, gatewayBuf);
  return gatewayBuf;
}

bool currentDhcpEnabled() {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  return !a || a->DhcpEnabled != 0;
}

AddressState classifyText(const char* address) {
  char16_t wide[17];
  size_t n = 0;
  for (; n < 16 && address[n]; n++) wide[n] = char16_t(static_cast<unsigned char>(address[n]));
  wide[n] = 0;
  // Ordinal comparison of texts, not of address numbers: "." sorts before
  // the digits and a proper prefix sorts first.
  auto between = [&](const char16_t* low, const char16_t* high) {
    return compareWide(wide, low) > 0 && compareWide(wide, high) < 0;
  };
  if (compareWide(wide, u"0.0.0.0") == 0) return ADDRESS_NONE;
  if (between(u"169.254", u"170")) return ADDRESS_APIPA;
  if (between(u"10.", u"11.") || between(u"172.16.", u"172.32.") || between(u"192.168", u"192.169"))
    return ADDRESS_VALID;
  return ADDRESS_INCORRECT;
}

AddressState classifyAddress() { return classifyText(currentAddress()); }

void formatLeaseTime(int32_t leaseObtained) {
  // The biases are applied in whole hours to the moment itself, so that the
  // date moves with an hour that leaves the day.
  int64_t hours = -(runState.bias / 60) - (runState.daylightBias / 60);
  int64_t fileTime =
      int64_t(leaseObtained) * 10000000 + 116444736000000000LL + hours * 3600 * 10000000LL;
  plat::FILETIME ft;
  ft.dwLowDateTime = uint32_t(uint64_t(fileTime));
  ft.dwHighDateTime = uint32_t(uint64_t(fileTime) >> 32);
  plat::SYSTEMTIME t{};
  if (fileTime < 0 || !plat::fileTimeToSystemTime(&ft, &t))
    t = plat::SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 0};
  FORMAT_SCRATCH(u"%d/%02d/%02d %d:%02d:%02d local", int(t.wMonth), int(t.wDay), int(t.wYear) % 100,
                 int(t.wHour), int(t.wMinute), int(t.wSecond));
}

void printConnectionData() {
  const plat::IP_ADAPTER_INFO* a = adapterSnapshot.currentAdapter;
  char text[17], mask[17];
  if (a) {
    appendLine(u"-Connection data:");
    int i = 0;
    for (const plat::IP_ADDR_STRING* e = &a->IpAddressList; e && i < MAX_CHAIN;
         e = nextEntry(e), i++) {
      addressText(e->IpAddress, text);
      addressText(e->IpMask, mask);
      line(u"IP Address %d:      %S", i, text);
      line(u"IP Mask %d:         %S", i, mask);
    }
    i = 0;
    for (const plat::IP_ADDR_STRING* e = &a->GatewayList; e && i < MAX_CHAIN;
         e = nextEntry(e), i++) {
      addressText(e->IpAddress, text);
      line(u"Gateway %d:         %S", i, text);
    }
    if (a->DhcpEnabled) {
      appendLine(u"DHCP Enabled:      Yes");
      addressText(a->DhcpServer.IpAddress, text);
      FORMAT_SCRATCH(u"   DHCP Server:    %S", text);
      appendLine(runState.scratch);
      appendText(u"   Lease Obtained: ");
      formatLeaseTime(int32_t(a->LeaseObtained));
      appendLine(runState.scratch);
    } else {
      appendLine(u"DHCP Enabled: No");
    }
  }
  // Without network parameters the DNS line carries an empty text, as an
  // empty first entry would.
  const plat::FIXED_INFO* p = adapterSnapshot.networkParams;
  text[0] = 0;
  if (p) addressText(p->DnsServerList.IpAddress, text);
  FORMAT_SCRATCH(u"DNS Servers:       %S", text);
  appendLine(runState.scratch);
  if (!p) return;
  int i = 0;
  for (const plat::IP_ADDR_STRING* e = nextEntry(&p->DnsServerList); e && i < MAX_CHAIN;
       e = nextEntry(e), i++) {
    addressText(e->IpAddress, text);
    FORMAT_SCRATCH(u"                   %S", text);
    appendLine(runState.scratch);
  }
}
