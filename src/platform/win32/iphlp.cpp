// The IP helper calls and ICMP echo. Our records are the published ones
// byte for byte (asserted below), so the program's buffers go to the system
// as they are.
#include "platform/iphlp.h"

namespace {
constexpr plat::ULONG OUR_IP_SUCCESS = plat::IP_SUCCESS;
constexpr plat::ULONG OUR_BUF_TOO_SMALL = plat::IP_BUF_TOO_SMALL;
constexpr plat::ULONG OUR_NET_UNREACHABLE = plat::IP_DEST_NET_UNREACHABLE;
constexpr plat::ULONG OUR_HOST_UNREACHABLE = plat::IP_DEST_HOST_UNREACHABLE;
constexpr plat::ULONG OUR_TIMED_OUT = plat::IP_REQ_TIMED_OUT;
constexpr plat::ULONG OUR_TTL_EXPIRED = plat::IP_TTL_EXPIRED_TRANSIT;
constexpr int OUR_NAME_LENGTH = plat::MAX_ADAPTER_NAME_LENGTH;
constexpr int OUR_DESCRIPTION_LENGTH = plat::MAX_ADAPTER_DESCRIPTION_LENGTH;
constexpr int OUR_ADDRESS_LENGTH = plat::MAX_ADAPTER_ADDRESS_LENGTH;
constexpr int OUR_ADAPTER_NAME = plat::MAX_ADAPTER_NAME;
}  // namespace

// In this order: each needs the ones before it.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include "platform/win32/layout.h"

static_assert(OUR_IP_SUCCESS == IP_SUCCESS && OUR_BUF_TOO_SMALL == IP_BUF_TOO_SMALL &&
              OUR_NET_UNREACHABLE == IP_DEST_NET_UNREACHABLE &&
              OUR_HOST_UNREACHABLE == IP_DEST_HOST_UNREACHABLE &&
              OUR_TIMED_OUT == IP_REQ_TIMED_OUT && OUR_TTL_EXPIRED == IP_TTL_EXPIRED_TRANSIT);
static_assert(OUR_NAME_LENGTH == MAX_ADAPTER_NAME_LENGTH &&
              OUR_DESCRIPTION_LENGTH == MAX_ADAPTER_DESCRIPTION_LENGTH &&
              OUR_ADDRESS_LENGTH == MAX_ADAPTER_ADDRESS_LENGTH &&
              OUR_ADAPTER_NAME == MAX_ADAPTER_NAME);

QV_SAME_SIZE(IP_ADDRESS_STRING, IP_ADDRESS_STRING);
QV_SAME_SIZE(IP_ADDR_STRING, IP_ADDR_STRING);
QV_SAME_FIELD(IP_ADDR_STRING, IP_ADDR_STRING, Next);
QV_SAME_FIELD(IP_ADDR_STRING, IP_ADDR_STRING, IpAddress);
QV_SAME_FIELD(IP_ADDR_STRING, IP_ADDR_STRING, IpMask);
QV_SAME_FIELD(IP_ADDR_STRING, IP_ADDR_STRING, Context);

QV_SAME_SIZE(IP_ADAPTER_INFO, IP_ADAPTER_INFO);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, Next);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, ComboIndex);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, AdapterName);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, Description);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, AddressLength);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, Address);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, Index);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, Type);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, DhcpEnabled);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, CurrentIpAddress);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, IpAddressList);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, GatewayList);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, DhcpServer);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, HaveWins);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, PrimaryWinsServer);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, SecondaryWinsServer);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, LeaseObtained);
QV_SAME_FIELD(IP_ADAPTER_INFO, IP_ADAPTER_INFO, LeaseExpires);

QV_SAME_SIZE(FIXED_INFO, FIXED_INFO);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, HostName);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, DomainName);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, CurrentDnsServer);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, DnsServerList);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, NodeType);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, ScopeId);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, EnableRouting);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, EnableProxy);
QV_SAME_FIELD(FIXED_INFO, FIXED_INFO, EnableDns);

QV_SAME_SIZE(MIB_IPFORWARDROW, MIB_IPFORWARDROW);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardDest);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMask);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardPolicy);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardNextHop);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardIfIndex);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardType);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardProto);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardAge);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardNextHopAS);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMetric1);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMetric2);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMetric3);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMetric4);
QV_SAME_FIELD(MIB_IPFORWARDROW, MIB_IPFORWARDROW, dwForwardMetric5);
QV_SAME_SIZE(MIB_IPFORWARDTABLE, MIB_IPFORWARDTABLE);
QV_SAME_FIELD(MIB_IPFORWARDTABLE, MIB_IPFORWARDTABLE, dwNumEntries);
QV_SAME_FIELD(MIB_IPFORWARDTABLE, MIB_IPFORWARDTABLE, table);

QV_SAME_SIZE(IP_ADAPTER_INDEX_MAP, IP_ADAPTER_INDEX_MAP);
QV_SAME_FIELD(IP_ADAPTER_INDEX_MAP, IP_ADAPTER_INDEX_MAP, Index);
QV_SAME_FIELD(IP_ADAPTER_INDEX_MAP, IP_ADAPTER_INDEX_MAP, Name);

QV_SAME_SIZE(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION);
QV_SAME_FIELD(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION, Ttl);
QV_SAME_FIELD(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION, Tos);
QV_SAME_FIELD(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION, Flags);
QV_SAME_FIELD(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION, OptionsSize);
QV_SAME_FIELD(IP_OPTION_INFORMATION, IP_OPTION_INFORMATION, OptionsData);

QV_SAME_SIZE(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, Address);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, Status);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, RoundTripTime);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, DataSize);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, Reserved);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, Data);
QV_SAME_FIELD(ICMP_ECHO_REPLY, ICMP_ECHO_REPLY, Options);

namespace {
// Windows' ULONG is unsigned long, ours uint32_t: the same 32 bits.
static_assert(sizeof(::ULONG) == sizeof(plat::ULONG));
::ULONG* native(plat::ULONG* p) { return reinterpret_cast<::ULONG*>(p); }
}  // namespace

namespace plat {

DWORD getAdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size) {
  return ::GetAdaptersInfo(reinterpret_cast<::IP_ADAPTER_INFO*>(info), native(size));
}

DWORD getNetworkParams(FIXED_INFO* info, ULONG* size) {
  return ::GetNetworkParams(reinterpret_cast<::FIXED_INFO*>(info), native(size));
}

DWORD addIPAddress(IPAddr address, IPMask mask, DWORD ifIndex, ULONG* context, ULONG* instance) {
  return ::AddIPAddress(address, mask, ifIndex, native(context), native(instance));
}

DWORD deleteIPAddress(ULONG context) { return ::DeleteIPAddress(context); }

DWORD getIpForwardTable(MIB_IPFORWARDTABLE* table, ULONG* size, BOOL order) {
  return ::GetIpForwardTable(reinterpret_cast<::MIB_IPFORWARDTABLE*>(table), native(size), order);
}

DWORD deleteIpForwardEntry(MIB_IPFORWARDROW* route) {
  return ::DeleteIpForwardEntry(reinterpret_cast<::MIB_IPFORWARDROW*>(route));
}

DWORD getAdapterIndex(char16_t* adapterName, ULONG* index) {
  return ::GetAdapterIndex(reinterpret_cast<wchar_t*>(adapterName), native(index));
}

DWORD ipReleaseAddress(IP_ADAPTER_INDEX_MAP* adapter) {
  return ::IpReleaseAddress(reinterpret_cast<::IP_ADAPTER_INDEX_MAP*>(adapter));
}

DWORD ipRenewAddress(IP_ADAPTER_INDEX_MAP* adapter) {
  return ::IpRenewAddress(reinterpret_cast<::IP_ADAPTER_INDEX_MAP*>(adapter));
}

HANDLE icmpCreateFile() { return reinterpret_cast<HANDLE>(::IcmpCreateFile()); }

BOOL icmpCloseHandle(HANDLE icmp) { return ::IcmpCloseHandle(reinterpret_cast<::HANDLE>(icmp)); }

DWORD icmpSendEcho(HANDLE icmp, IPAddr destination, void* requestData, WORD requestSize,
                   IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                   DWORD timeout) {
  return ::IcmpSendEcho(reinterpret_cast<::HANDLE>(icmp), destination, requestData, requestSize,
                        reinterpret_cast<::IP_OPTION_INFORMATION*>(options), replyBuffer, replySize,
                        timeout);
}

}  // namespace plat
