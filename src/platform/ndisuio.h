// The NDIS user-mode I/O driver: device I/O, its request records and the
// 802.11 OIDs and records, laid out as published.
#pragma once
#include <cstddef>
#include "platform/types.h"

namespace plat {

constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

HANDLE createFile(const char16_t* name, DWORD desiredAccess, DWORD shareMode, void* security,
                  DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// Synchronous when overlapped is null. On failure getLastError() tells why.
BOOL deviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBytes,
                     void* outBuffer, DWORD outBytes, DWORD* bytesReturned, void* overlapped);

constexpr DWORD IOCTL_NDISUIO_QUERY_OID_VALUE = 0x00120804;
constexpr DWORD IOCTL_NDISUIO_QUERY_BINDING = 0x0012080C;
constexpr DWORD IOCTL_NDISUIO_SET_OID_VALUE = 0x00120814;

using NDIS_OID = ULONG;
constexpr NDIS_OID OID_802_11_BSSID = 0x0D010101;
constexpr NDIS_OID OID_802_11_SSID = 0x0D010102;
constexpr NDIS_OID OID_802_11_INFRASTRUCTURE_MODE = 0x0D010108;
constexpr NDIS_OID OID_802_11_DISASSOCIATE = 0x0D010115;
constexpr NDIS_OID OID_802_11_AUTHENTICATION_MODE = 0x0D010118;
constexpr NDIS_OID OID_802_11_BSSID_LIST_SCAN = 0x0D01011A;
constexpr NDIS_OID OID_802_11_BSSID_LIST = 0x0D010217;

struct NDISUIO_QUERY_BINDING {
  ULONG BindingIndex;
  ULONG DeviceNameOffset;
  ULONG DeviceNameLength;
  ULONG DeviceDescrOffset;
  ULONG DeviceDescrLength;
};
static_assert(sizeof(NDISUIO_QUERY_BINDING) == 20);

// Data is the start of the OID's value; a request is a buffer of some total
// size that begins with this record, and the value runs on to its end.
struct NDISUIO_QUERY_OID {
  NDIS_OID Oid;
  char16_t* ptcDeviceName;
  UCHAR Data[sizeof(ULONG)];
};
struct NDISUIO_SET_OID {
  NDIS_OID Oid;
  char16_t* ptcDeviceName;
  UCHAR Data[sizeof(ULONG)];
};
constexpr size_t OID_DATA_OFFSET = offsetof(NDISUIO_QUERY_OID, Data);
static_assert(offsetof(NDISUIO_SET_OID, Data) == OID_DATA_OFFSET);
// The driver's published layouts: the device name pointer follows the OID
// at the pointer's alignment, and the value follows the pointer.
constexpr size_t POINTER_BYTES = sizeof(void*);
static_assert(offsetof(NDISUIO_QUERY_OID, ptcDeviceName) == (POINTER_BYTES == 8 ? 8 : 4));
static_assert(OID_DATA_OFFSET == (POINTER_BYTES == 8 ? 16 : 8));
static_assert(sizeof(NDISUIO_QUERY_OID) == (POINTER_BYTES == 8 ? 24 : 12));
static_assert(sizeof(NDISUIO_SET_OID) == sizeof(NDISUIO_QUERY_OID));
static_assert(offsetof(NDISUIO_QUERY_BINDING, DeviceNameOffset) == 4 &&
              offsetof(NDISUIO_QUERY_BINDING, DeviceDescrLength) == 16);

enum : ULONG { Ndis802_11IBSS = 0, Ndis802_11Infrastructure = 1, Ndis802_11AutoUnknown = 2 };
enum : ULONG { Ndis802_11AuthModeOpen = 0 };

struct NDIS_802_11_SSID {
  ULONG SsidLength;
  UCHAR Ssid[32];
};
struct NDIS_802_11_CONFIGURATION_FH {
  ULONG Length;
  ULONG HopPattern;
  ULONG HopSet;
  ULONG DwellTime;
};
struct NDIS_802_11_CONFIGURATION {
  ULONG Length;
  ULONG BeaconPeriod;
  ULONG ATIMWindow;
  ULONG DSConfig;
  NDIS_802_11_CONFIGURATION_FH FHConfig;
};
struct NDIS_WLAN_BSSID {
  ULONG Length;
  UCHAR MacAddress[6];
  UCHAR Reserved[2];
  NDIS_802_11_SSID Ssid;
  ULONG Privacy;
  LONG Rssi;
  ULONG NetworkTypeInUse;
  NDIS_802_11_CONFIGURATION Configuration;
  ULONG InfrastructureMode;
  UCHAR SupportedRates[8];
};
static_assert(sizeof(NDIS_WLAN_BSSID) == 104);
static_assert(offsetof(NDIS_WLAN_BSSID, Ssid) == 12 && offsetof(NDIS_WLAN_BSSID, Rssi) == 52 &&
              offsetof(NDIS_WLAN_BSSID, Configuration) == 60 &&
              offsetof(NDIS_WLAN_BSSID, InfrastructureMode) == 92 &&
              offsetof(NDIS_WLAN_BSSID, SupportedRates) == 96);
struct NDIS_802_11_BSSID_LIST {
  ULONG NumberOfItems;
  NDIS_WLAN_BSSID Bssid[1];
};
constexpr size_t BSSID_LIST_HEADER = offsetof(NDIS_802_11_BSSID_LIST, Bssid);

}  // namespace plat
