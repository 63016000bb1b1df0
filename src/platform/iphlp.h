// The IP helper interface and ICMP echo, with their records laid out as
// published for the target: native pointers, and time values of the target's
// time_t (32 bits on the 32-bit device, 64 on x86-64).
#pragma once
#include "platform/types.h"

namespace plat {

using IPAddr = uint32_t;  // network byte order
using IPMask = uint32_t;

struct IP_ADDRESS_STRING {
  char String[16];
};
struct IP_ADDR_STRING {
  IP_ADDR_STRING* Next;
  IP_ADDRESS_STRING IpAddress;
  IP_ADDRESS_STRING IpMask;
  DWORD Context;
};

constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;

struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO* Next;
  DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
  UINT AddressLength;
  BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
  DWORD Index;
  UINT Type;
  UINT DhcpEnabled;
  IP_ADDR_STRING* CurrentIpAddress;
  IP_ADDR_STRING IpAddressList;
  IP_ADDR_STRING GatewayList;
  IP_ADDR_STRING DhcpServer;
  BOOL HaveWins;
  IP_ADDR_STRING PrimaryWinsServer;
  IP_ADDR_STRING SecondaryWinsServer;
  TIME_T LeaseObtained;
  TIME_T LeaseExpires;
};

struct FIXED_INFO {
  char HostName[128 + 4];
  char DomainName[128 + 4];
  IP_ADDR_STRING* CurrentDnsServer;
  IP_ADDR_STRING DnsServerList;
  UINT NodeType;
  char ScopeId[256 + 4];
  UINT EnableRouting;
  UINT EnableProxy;
  UINT EnableDns;
};

struct MIB_IPFORWARDROW {
  DWORD dwForwardDest;
  DWORD dwForwardMask;
  DWORD dwForwardPolicy;
  DWORD dwForwardNextHop;
  DWORD dwForwardIfIndex;
  DWORD dwForwardType;
  DWORD dwForwardProto;
  DWORD dwForwardAge;
  DWORD dwForwardNextHopAS;
  DWORD dwForwardMetric1;
  DWORD dwForwardMetric2;
  DWORD dwForwardMetric3;
  DWORD dwForwardMetric4;
  DWORD dwForwardMetric5;
};
struct MIB_IPFORWARDTABLE {
  DWORD dwNumEntries;
  MIB_IPFORWARDROW table[1];
};

constexpr int MAX_ADAPTER_NAME = 128;
struct IP_ADAPTER_INDEX_MAP {
  ULONG Index;
  char16_t Name[MAX_ADAPTER_NAME];
};

// Fills info (*size bytes) with the chain of adapter records: 0; when the
// buffer is too small, ERROR_BUFFER_OVERFLOW with the size needed in *size;
// ERROR_NO_DATA when the device has no IP adapter at all; any other answer:
// the list could not be read.
DWORD getAdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size);
DWORD getNetworkParams(FIXED_INFO* info, ULONG* size);
DWORD addIPAddress(IPAddr address, IPMask mask, DWORD ifIndex, ULONG* context, ULONG* instance);
DWORD deleteIPAddress(ULONG context);
// Fills table (*size bytes) with the route table: 0; no size:
// ERROR_INVALID_PARAMETER; no routes at all: ERROR_NO_DATA, whatever the
// block; a missing or short block: ERROR_INSUFFICIENT_BUFFER with the size
// needed in *size (the table may grow between a sizing call and the read).
DWORD getIpForwardTable(MIB_IPFORWARDTABLE* table, ULONG* size, BOOL order);
DWORD deleteIpForwardEntry(MIB_IPFORWARDROW* route);
DWORD getAdapterIndex(char16_t* adapterName, ULONG* index);
DWORD ipReleaseAddress(IP_ADAPTER_INDEX_MAP* adapter);
DWORD ipRenewAddress(IP_ADAPTER_INDEX_MAP* adapter);

// ---- ICMP echo --------------------------------------------------------------
struct IP_OPTION_INFORMATION {
  UCHAR Ttl;
  UCHAR Tos;
  UCHAR Flags;
  UCHAR OptionsSize;
  UCHAR* OptionsData;
};
struct ICMP_ECHO_REPLY {
  IPAddr Address;
  ULONG Status;
  ULONG RoundTripTime;
  USHORT DataSize;
  USHORT Reserved;
  void* Data;
  IP_OPTION_INFORMATION Options;
};
constexpr ULONG IP_SUCCESS = 0;
constexpr ULONG IP_BUF_TOO_SMALL = 11001;
constexpr ULONG IP_DEST_NET_UNREACHABLE = 11002;
constexpr ULONG IP_DEST_HOST_UNREACHABLE = 11003;
constexpr ULONG IP_REQ_TIMED_OUT = 11010;
constexpr ULONG IP_TTL_EXPIRED_TRANSIT = 11013;

HANDLE icmpCreateFile();
BOOL icmpCloseHandle(HANDLE icmp);
// IcmpSendEcho: answers the number of replies stored in replyBuffer (0 on
// failure or time-out, then getLastError() tells why). replySize must be at
// least sizeof(ICMP_ECHO_REPLY) + 8 (room for an ICMP error message) +
// requestSize; requestData may be null when requestSize is 0. Blocks until a
// reply arrives or timeout milliseconds have passed.
DWORD icmpSendEcho(HANDLE icmp, IPAddr destination, void* requestData, WORD requestSize,
                   IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                   DWORD timeout);

}  // namespace plat
