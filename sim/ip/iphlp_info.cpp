// GetAdaptersInfo and GetNetworkParams of the simulated IP stack: the
// records are laid out in the caller's buffer the way the platform does,
// first records then the further list entries, linked by pointers.
#include <cstring>

#include "harness/trace.h"
#include "ip/ipstack.h"
#include "ip/ipv4.h"
#include "platform/iphlp.h"
#include "system/switch_point.h"

namespace sim {
namespace {

void putText(char* out, size_t capacity, const std::string& text) {
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  out[n] = 0;
}

// Fills a chain whose first entry is `first`; further entries are taken from
// `spare`. Answers the entries used from spare.
struct Item {
  std::string address, mask;
  uint32_t context;
};
size_t fillChain(plat::IP_ADDR_STRING* first, const std::vector<Item>& items,
                 plat::IP_ADDR_STRING* spare) {
  std::memset(first, 0, sizeof *first);
  if (items.empty()) return 0;
  plat::IP_ADDR_STRING* at = first;
  size_t used = 0;
  for (size_t i = 0; i < items.size(); i++) {
    if (i > 0) {
      at->Next = &spare[used++];
      at = at->Next;
      std::memset(at, 0, sizeof *at);
    }
    putText(at->IpAddress.String, 16, items[i].address);
    putText(at->IpMask.String, 16, items[i].mask);
    at->Context = items[i].context;
  }
  return used;
}

std::vector<Item> addressItems(const LiveAdapter& a) {
  std::vector<Item> v;
  for (const LiveAddress& x : a.addresses)
    v.push_back({formatIpv4(x.address), formatIpv4(x.mask), x.context});
  if (v.empty()) v.push_back({"0.0.0.0", "0.0.0.0", 0});
  return v;
}

std::vector<Item> gatewayItems(const LiveAdapter& a) {
  std::vector<Item> v;
  for (uint32_t g : a.gateways) v.push_back({formatIpv4(g), "255.255.255.255", 0});
  return v;
}

}  // namespace
}  // namespace sim

namespace plat {

DWORD getAdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size) {
  sim::switchPoint();
  using namespace sim;
  IpState& s = ipNow(IpQuery::Adapters);
  uint32_t call = countCall(FaultCall::AdaptersInfo);
  DWORD answer = 0;
  size_t records = s.adapters.size(), extra = 0;
  for (const LiveAdapter& a : s.adapters) {
    extra += addressItems(a).size() - 1;
    size_t g = a.gateways.size();
    extra += g > 1 ? g - 1 : 0;
  }
  size_t needed = records * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING);
  if (!size)
    answer = ERROR_INVALID_PARAMETER;
  else if (const Fault* f = faultFires(FaultCall::AdaptersInfo, call))
    answer = f->answer;
  else if (records == 0)
    answer = 232;  // ERROR_NO_DATA
  else if (!info || *size < needed) {
    *size = ULONG(needed);
    answer = ERROR_BUFFER_OVERFLOW;
  }
  trace("GetAdaptersInfo", {{"size", size ? *size : 0u}, {"answer", answer}});
  if (answer) return answer;

  std::memset(info, 0, needed);
  auto* spare = reinterpret_cast<IP_ADDR_STRING*>(reinterpret_cast<uint8_t*>(info) +
                                                  records * sizeof(IP_ADAPTER_INFO));
  for (size_t i = 0; i < records; i++) {
    const LiveAdapter& a = s.adapters[i];
    IP_ADAPTER_INFO& r = info[i];
    r.Next = i + 1 < records ? &info[i + 1] : nullptr;
    r.ComboIndex = a.config->index;
    putText(r.AdapterName, sizeof r.AdapterName, a.config->name);
    putText(r.Description, sizeof r.Description, a.config->description);
    r.AddressLength = 6;
    for (int k = 0; k < 6; k++) r.Address[k] = BYTE(0x10 * (i + 1) + k);
    r.Index = a.config->index;
    r.Type = a.wlan ? 71 : 6;  // IF_TYPE_IEEE80211 / ETHERNET
    r.DhcpEnabled = a.dhcp ? 1 : 0;
    spare += fillChain(&r.IpAddressList, addressItems(a), spare);
    r.CurrentIpAddress = &r.IpAddressList;
    spare += fillChain(&r.GatewayList, gatewayItems(a), spare);
    // The DHCP server and the lease's times are those of a DHCP adapter;
    // a fixed one (by itself or on the network it joined) reports none.
    if (a.dhcp) {
      if (a.dhcpServer) putText(r.DhcpServer.IpAddress.String, 16, formatIpv4(a.dhcpServer));
      r.LeaseObtained = a.leaseObtained;
      r.LeaseExpires = a.leaseObtained ? a.leaseObtained + 86400 : 0;
    }
  }
  return 0;
}

DWORD getNetworkParams(FIXED_INFO* info, ULONG* size) {
  sim::switchPoint();
  using namespace sim;
  ipNow();
  uint32_t call = countCall(FaultCall::NetworkParams);
  const std::vector<uint32_t>& dns = dnsServers();
  size_t extra = dns.size() > 1 ? dns.size() - 1 : 0;
  size_t needed = sizeof(FIXED_INFO) + extra * sizeof(IP_ADDR_STRING);
  DWORD answer = 0;
  if (!size)
    answer = ERROR_INVALID_PARAMETER;
  else if (const Fault* f = faultFires(FaultCall::NetworkParams, call))
    answer = f->answer;
  else if (!info || *size < needed) {
    *size = ULONG(needed);
    answer = ERROR_BUFFER_OVERFLOW;
  }
  trace("GetNetworkParams", {{"size", size ? *size : 0u}, {"answer", answer}});
  if (answer) return answer;
  std::memset(info, 0, needed);
  putText(info->HostName, sizeof info->HostName, "HANDHELD");
  std::vector<Item> items;
  for (uint32_t d : dns) items.push_back({formatIpv4(d), "255.255.255.255", 0});
  fillChain(&info->DnsServerList, items, reinterpret_cast<IP_ADDR_STRING*>(info + 1));
  info->CurrentDnsServer = &info->DnsServerList;
  info->NodeType = 1;
  return 0;
}

}  // namespace plat
