// Basic types and handles of the platform interfaces, spelled as the
// published interfaces spell them. Everything lives in namespace plat so that
// the Win32 back end can include the real headers beside these.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace plat {

using BYTE = uint8_t;
using UCHAR = uint8_t;
using WORD = uint16_t;
using USHORT = uint16_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ATOM = uint16_t;
using COLORREF = uint32_t;

// time_t as the IP helper's records hold it: 32 bits on the 32-bit device,
// 64 bits on a 64-bit Windows (and in the simulated handheld on Linux x86-64).
using TIME_T = std::conditional_t<sizeof(void*) == 8, int64_t, int32_t>;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a 32- or 64-bit target");

// The calling convention of everything the platform calls back: window
// procedures and thread entries. On x86-32 Windows that is __stdcall (the
// callee removes its arguments); a function of the default convention handed
// over instead would leave the caller's stack pointer wrong after every call.
// x86-64 has one convention, and Linux needs none.
#if defined(_WIN32)
#define QV_CALLBACK __stdcall
#else
#define QV_CALLBACK
#endif

// Opaque handles. Each kind is its own pointer type so that they do not mix.
struct HandleTag;
using HANDLE = HandleTag*;
struct HwndTag;
using HWND = HwndTag*;
struct HinstanceTag;
using HINSTANCE = HinstanceTag*;
struct HdcTag;
using HDC = HdcTag*;
struct HgdiobjTag;
using HGDIOBJ = HgdiobjTag*;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// Error codes the program looks at.
constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_GEN_FAILURE = 31;

}  // namespace plat
