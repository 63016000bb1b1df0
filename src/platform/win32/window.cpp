// Window class, window, GDI painting, timers and the message loop.
#include "platform/window.h"
#include "platform/win32/target.h"

namespace {
constexpr plat::UINT OUR_MESSAGES[] = {plat::WM_DESTROY,  plat::WM_PAINT, plat::WM_CLOSE,
                                       plat::WM_QUIT,     plat::WM_TIMER, plat::WM_LBUTTONDOWN,
                                       plat::WM_LBUTTONUP};
constexpr plat::UINT OUR_CLASS_STYLES = plat::CS_HREDRAW | plat::CS_VREDRAW;
constexpr plat::DWORD OUR_BORDER = plat::WS_BORDER;
constexpr plat::DWORD OUR_TOOLWINDOW = plat::WS_EX_TOOLWINDOW;
constexpr int OUR_GRAY_BRUSH = plat::GRAY_BRUSH;
constexpr int OUR_TRANSPARENT = plat::TRANSPARENT;
constexpr plat::LONG OUR_EXTRABOLD = plat::FW_EXTRABOLD;
constexpr plat::BYTE OUR_CLEARTYPE = plat::CLEARTYPE_QUALITY;
constexpr plat::BYTE OUR_FIXED_MODERN = plat::FIXED_PITCH | plat::FF_MODERN;
constexpr plat::COLORREF OUR_COLOUR = plat::rgb(0x12, 0x34, 0x56);
}  // namespace

#include <windows.h>

#include "platform/win32/layout.h"

static_assert(OUR_MESSAGES[0] == WM_DESTROY && OUR_MESSAGES[1] == WM_PAINT &&
              OUR_MESSAGES[2] == WM_CLOSE && OUR_MESSAGES[3] == WM_QUIT &&
              OUR_MESSAGES[4] == WM_TIMER && OUR_MESSAGES[5] == WM_LBUTTONDOWN &&
              OUR_MESSAGES[6] == WM_LBUTTONUP);
static_assert(OUR_CLASS_STYLES == (CS_HREDRAW | CS_VREDRAW) && OUR_BORDER == WS_BORDER &&
              OUR_TOOLWINDOW == WS_EX_TOOLWINDOW);
static_assert(OUR_GRAY_BRUSH == GRAY_BRUSH && OUR_TRANSPARENT == TRANSPARENT);
static_assert(OUR_EXTRABOLD == FW_EXTRABOLD && OUR_CLEARTYPE == CLEARTYPE_QUALITY &&
              OUR_FIXED_MODERN == (FIXED_PITCH | FF_MODERN));
static_assert(OUR_COLOUR == RGB(0x12, 0x34, 0x56));

QV_SAME_SIZE(RECT, RECT);
QV_SAME_FIELD(RECT, RECT, left);
QV_SAME_FIELD(RECT, RECT, top);
QV_SAME_FIELD(RECT, RECT, right);
QV_SAME_FIELD(RECT, RECT, bottom);

QV_SAME_SIZE(POINT, POINT);
QV_SAME_FIELD(POINT, POINT, x);
QV_SAME_FIELD(POINT, POINT, y);

QV_SAME_SIZE(MSG, MSG);
QV_SAME_FIELD(MSG, MSG, hwnd);
QV_SAME_FIELD(MSG, MSG, message);
QV_SAME_FIELD(MSG, MSG, wParam);
QV_SAME_FIELD(MSG, MSG, lParam);
QV_SAME_FIELD(MSG, MSG, time);
QV_SAME_FIELD(MSG, MSG, pt);

QV_SAME_SIZE(PAINTSTRUCT, PAINTSTRUCT);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, hdc);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, fErase);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, rcPaint);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, fRestore);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, fIncUpdate);
QV_SAME_FIELD(PAINTSTRUCT, PAINTSTRUCT, rgbReserved);

QV_SAME_SIZE(WNDCLASS, WNDCLASSW);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, style);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, lpfnWndProc);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, cbClsExtra);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, cbWndExtra);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, hInstance);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, hIcon);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, hCursor);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, hbrBackground);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, lpszMenuName);
QV_SAME_FIELD(WNDCLASS, WNDCLASSW, lpszClassName);

QV_SAME_SIZE(LOGFONT, LOGFONTW);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfHeight);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfWidth);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfEscapement);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfOrientation);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfWeight);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfItalic);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfUnderline);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfStrikeOut);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfCharSet);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfOutPrecision);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfClipPrecision);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfQuality);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfPitchAndFamily);
QV_SAME_FIELD(LOGFONT, LOGFONTW, lfFaceName);

static_assert(std::is_same_v<plat::WNDPROC, QvWinapiPointer<plat::LRESULT, plat::HWND, plat::UINT,
                                                            plat::WPARAM, plat::LPARAM>>,
              "window procedures must have the platform's calling convention");
static_assert(sizeof(plat::LRESULT) == sizeof(::LRESULT) && sizeof(plat::HWND) == sizeof(::HWND) &&
              sizeof(plat::UINT) == sizeof(::UINT) && sizeof(plat::WPARAM) == sizeof(::WPARAM) &&
              sizeof(plat::LPARAM) == sizeof(::LPARAM));

namespace {

// Handles are opaque pointers on both sides.
::HWND native(plat::HWND w) { return reinterpret_cast<::HWND>(w); }
::HDC native(plat::HDC dc) { return reinterpret_cast<::HDC>(dc); }
::HGDIOBJ native(plat::HGDIOBJ o) { return reinterpret_cast<::HGDIOBJ>(o); }
plat::HWND ours(::HWND w) { return reinterpret_cast<plat::HWND>(w); }
plat::HGDIOBJ ours(::HGDIOBJ o) { return reinterpret_cast<plat::HGDIOBJ>(o); }
const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

namespace plat {

HWND findWindow(const char16_t* className, const char16_t* title) {
  return ours(::FindWindowW(wide(className), wide(title)));
}

BOOL setForegroundWindow(HWND window) { return ::SetForegroundWindow(native(window)); }

HGDIOBJ getStockObject(int object) { return ours(::GetStockObject(object)); }

// Our window procedure is declared with the platform's convention and has
// the published one's argument and result sizes (asserted above): the class
// takes it as it is.
ATOM registerClass(const WNDCLASS* windowClass) {
  return ::RegisterClassW(reinterpret_cast<const ::WNDCLASSW*>(windowClass));
}

// The device draws a window that is neither pop-up nor child with no caption
// unless asked for one (WS_BORDER alone is a thin frame). Desktop Windows
// gives every such overlapped window a caption, so it is made a pop-up,
// which keeps the frame it asked for and nothing more.
HWND createWindowEx(DWORD exStyle, const char16_t* className, const char16_t* title, DWORD style,
                    int x, int y, int width, int height, HWND parent, void* menu,
                    HINSTANCE instance, void* param) {
#if QV_WINDOWS_DESKTOP
  if (!(style & (WS_POPUP | WS_CHILD))) style |= WS_POPUP;
#endif
  return ours(::CreateWindowExW(exStyle, wide(className), wide(title), style, x, y, width, height,
                                native(parent), static_cast<::HMENU>(menu),
                                reinterpret_cast<::HINSTANCE>(instance), param));
}

BOOL showWindow(HWND window, int showCommand) { return ::ShowWindow(native(window), showCommand); }

// From another thread UpdateWindow sends WM_PAINT, so it returns once the
// window's own thread has painted.
BOOL updateWindow(HWND window) { return ::UpdateWindow(native(window)); }

BOOL invalidateRect(HWND window, const RECT* rect, BOOL erase) {
  return ::InvalidateRect(native(window), reinterpret_cast<const ::RECT*>(rect), erase);
}

BOOL destroyWindow(HWND window) { return ::DestroyWindow(native(window)); }

LRESULT defWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(native(window), message, wParam, lParam);
}

HDC beginPaint(HWND window, PAINTSTRUCT* paint) {
  return reinterpret_cast<HDC>(
      ::BeginPaint(native(window), reinterpret_cast<::PAINTSTRUCT*>(paint)));
}

BOOL endPaint(HWND window, const PAINTSTRUCT* paint) {
  return ::EndPaint(native(window), reinterpret_cast<const ::PAINTSTRUCT*>(paint));
}

int fillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  return ::FillRect(native(dc), reinterpret_cast<const ::RECT*>(rect),
                    static_cast<::HBRUSH>(native(brush)));
}

int setBkMode(HDC dc, int mode) { return ::SetBkMode(native(dc), mode); }

HGDIOBJ selectObject(HDC dc, HGDIOBJ object) {
  return ours(::SelectObject(native(dc), native(object)));
}

COLORREF setTextColor(HDC dc, COLORREF color) { return ::SetTextColor(native(dc), color); }

int drawText(HDC dc, const char16_t* text, int count, RECT* rect, UINT format) {
  return ::DrawTextW(native(dc), wide(text), count, reinterpret_cast<::RECT*>(rect), format);
}

HBRUSH createSolidBrush(COLORREF color) { return ours(::CreateSolidBrush(color)); }

HFONT createFontIndirect(const LOGFONT* font) {
  return ours(::CreateFontIndirectW(reinterpret_cast<const ::LOGFONTW*>(font)));
}

BOOL ptInRect(const RECT* rect, POINT point) {
  return ::PtInRect(reinterpret_cast<const ::RECT*>(rect), ::POINT{point.x, point.y});
}

uintptr_t setTimer(HWND window, uintptr_t id, UINT elapse, void* timerProc) {
  return ::SetTimer(native(window), id, elapse, reinterpret_cast<::TIMERPROC>(timerProc));
}

BOOL killTimer(HWND window, uintptr_t id) { return ::KillTimer(native(window), id); }

void postQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

BOOL getMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  return ::GetMessageW(reinterpret_cast<::MSG*>(msg), native(window), filterMin, filterMax);
}

BOOL translateMessage(const MSG* msg) {
  return ::TranslateMessage(reinterpret_cast<const ::MSG*>(msg));
}

LRESULT dispatchMessage(const MSG* msg) {
  return ::DispatchMessageW(reinterpret_cast<const ::MSG*>(msg));
}

}  // namespace plat
