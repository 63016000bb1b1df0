// The window and GDI subset the program uses, and the message loop.
#pragma once
#include "platform/types.h"

namespace plat {

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
struct POINT {
  LONG x;
  LONG y;
};
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using WNDPROC = LRESULT(QV_CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
struct WNDCLASS {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HGDIOBJ hIcon;
  HGDIOBJ hCursor;
  HBRUSH hbrBackground;
  const char16_t* lpszMenuName;
  const char16_t* lpszClassName;
};
struct LOGFONT {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char16_t lfFaceName[32];
};

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr int GRAY_BRUSH = 2;
constexpr int TRANSPARENT = 1;
constexpr LONG FW_EXTRABOLD = 800;
constexpr BYTE CLEARTYPE_QUALITY = 5;
constexpr BYTE FIXED_PITCH = 0x01;
constexpr BYTE FF_MODERN = 0x30;

constexpr COLORREF rgb(BYTE r, BYTE g, BYTE b) {
  return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}

HWND findWindow(const char16_t* className, const char16_t* title);
BOOL setForegroundWindow(HWND window);
HGDIOBJ getStockObject(int object);
ATOM registerClass(const WNDCLASS* windowClass);
HWND createWindowEx(DWORD exStyle, const char16_t* className, const char16_t* title, DWORD style,
                    int x, int y, int width, int height, HWND parent, void* menu,
                    HINSTANCE instance, void* param);
BOOL showWindow(HWND window, int showCommand);
// Paints what is marked at once; from another thread it waits until the
// window's own thread has painted.
BOOL updateWindow(HWND window);
BOOL invalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL destroyWindow(HWND window);
LRESULT defWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HDC beginPaint(HWND window, PAINTSTRUCT* paint);
BOOL endPaint(HWND window, const PAINTSTRUCT* paint);
int fillRect(HDC dc, const RECT* rect, HBRUSH brush);
int setBkMode(HDC dc, int mode);
HGDIOBJ selectObject(HDC dc, HGDIOBJ object);
COLORREF setTextColor(HDC dc, COLORREF color);
int drawText(HDC dc, const char16_t* text, int count, RECT* rect, UINT format);
HBRUSH createSolidBrush(COLORREF color);
HFONT createFontIndirect(const LOGFONT* font);
BOOL ptInRect(const RECT* rect, POINT point);

uintptr_t setTimer(HWND window, uintptr_t id, UINT elapse, void* timerProc);
BOOL killTimer(HWND window, uintptr_t id);

void postQuitMessage(int exitCode);
BOOL getMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL translateMessage(const MSG* msg);
LRESULT dispatchMessage(const MSG* msg);

}  // namespace plat

// The program entry, called by the platform's process start; its result is
// the process exit code.
int programEntry(plat::HINSTANCE instance, plat::HINSTANCE previous, char16_t* commandLine,
                 int showCommand);
