// Basic types and handles of the platform interfaces, spelled as the
// published interfaces spell them. Everything lives in namespace plat so that
// the Win32 back end can include the real headers beside these.
#pragma once
#include <cstddef>
#include <cstdint>

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
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NO_DATA = 232;

} // namespace plat
