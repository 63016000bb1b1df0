// The headless window system of the simulated handheld: classes, windows
// and the single-instance lookup. Messages and timers are in
// queue.cpp, painting in gdi.cpp, the user in script.cpp.
#include <algorithm>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "screen/winsys_state.h"
#include "system/switch_point.h"

namespace sim {
namespace ws {

namespace {

constexpr uintptr_t WINDOW_BASE = 0x00020000;
constexpr plat::ATOM ATOM_BASE = 0xC000;
constexpr plat::DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr plat::DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr plat::DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr plat::DWORD ERROR_ACCESS_DENIED = 5;
// Larger windows than this are not drawn into; the handheld's screen is
// far smaller.
constexpr int MAX_SURFACE_SIDE = 2048;

bool sameClassName(const std::u16string& a, const char16_t* b) {
  size_t n = std::char_traits<char16_t>::length(b);
  if (a.size() != n) return false;
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
  for (size_t i = 0; i < n; i++)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

const WindowClass* findClass(const char16_t* name) {
  for (const WindowClass& c : state().classes)
    if (sameClassName(c.name, name)) return &c;
  return nullptr;
}

std::string text8(const char16_t* s) { return s ? utf8(s) : std::string(); }

}  // namespace

State& state() {
  static State s;
  return s;
}

plat::HWND handleOf(const Window& w) {
  return reinterpret_cast<plat::HWND>(WINDOW_BASE + uintptr_t(w.index) * 4 + 4);
}

Window* windowOf(plat::HWND window) {
  uintptr_t v = reinterpret_cast<uintptr_t>(window);
  if (v < WINDOW_BASE + 4 || (v - WINDOW_BASE) % 4 != 0) return nullptr;
  size_t i = (v - WINDOW_BASE) / 4 - 1;
  if (i >= state().windows.size()) return nullptr;
  Window* w = state().windows[i].get();
  return w->destroyed ? nullptr : w;
}

Queue& queueOf(int thread) { return state().queues[thread]; }

Window* screenWindow() {
  for (auto& w : state().windows)
    if (!w->destroyed) return w.get();
  return nullptr;
}

void forgetWindow(Window& w) {
  plat::HWND h = handleOf(w);
  killTimers(h);
  Queue& q = queueOf(w.thread);
  for (auto* from : {&q.posted, &q.input})
    from->erase(
        std::remove_if(from->begin(), from->end(), [h](const plat::MSG& m) { return m.hwnd == h; }),
        from->end());
  // Nobody may stay blocked on a paint that will never come.
  for (auto it = q.sent.begin(); it != q.sent.end();) {
    if ((*it)->window == h) {
      (*it)->done = true;
      wakeAll(*it);
      it = q.sent.erase(it);
    } else {
      ++it;
    }
  }
  if (state().foreground == h) state().foreground = nullptr;
}

}  // namespace ws
}  // namespace sim

namespace plat {

using namespace sim;
using namespace sim::ws;

HWND findWindow(const char16_t* className, const char16_t* title) {
  sim::switchPoint();
  Window* found = nullptr;
  for (auto& w : state().windows) {
    if (w->destroyed) continue;
    if (className && !sameClassName(w->className, className)) continue;
    if (title && w->title != title) continue;
    found = w.get();
    break;
  }
  trace("FindWindow",
        {{"class", text8(className)}, {"title", text8(title)}, {"found", found != nullptr}});
  return found ? handleOf(*found) : nullptr;
}

BOOL setForegroundWindow(HWND window) {
  sim::switchPoint();
  Window* w = windowOf(window);
  trace("SetForegroundWindow",
        {{"title", w ? utf8(w->title) : std::string()}, {"ok", w != nullptr}});
  if (!w) return 0;
  state().foreground = window;
  return 1;
}

ATOM registerClass(const WNDCLASS* windowClass) {
  sim::switchPoint();
  const char16_t* name =
      windowClass && windowClass->lpszClassName ? windowClass->lpszClassName : u"";
  bool valid = windowClass && windowClass->lpfnWndProc && name[0] && !findClass(name);
  uint32_t call = countCall(FaultCall::RegisterClass);
  const Fault* fault = valid ? faultFires(FaultCall::RegisterClass, call) : nullptr;
  bool ok = valid && !fault;
  trace("RegisterClass", {{"class", text8(name)},
                          {"style", windowClass ? int64_t(windowClass->style) : 0},
                          {"ok", ok}});
  if (!ok) {
    setLastError(findClass(name) ? ERROR_CLASS_ALREADY_EXISTS
                 : fault         ? fault->answer
                                 : ERROR_INVALID_PARAMETER);
    return 0;
  }
  State& s = state();
  s.classes.push_back(
      {name, windowClass->lpfnWndProc, windowClass->style, windowClass->hbrBackground});
  return ATOM(ATOM_BASE + s.classes.size() - 1);
}

HWND createWindowEx(DWORD exStyle, const char16_t* className, const char16_t* title, DWORD style,
                    int x, int y, int width, int height, HWND parent, void* menu, HINSTANCE,
                    void*) {
  sim::switchPoint();
  const WindowClass* c = className ? findClass(className) : nullptr;
  uint32_t call = countCall(FaultCall::CreateWindow);
  const Fault* fault = c ? faultFires(FaultCall::CreateWindow, call) : nullptr;
  bool ok = c && !fault && width >= 0 && height >= 0 && (!parent || windowOf(parent));
  trace("CreateWindowEx", {{"exStyle", hex32(exStyle)},
                           {"class", text8(className)},
                           {"title", text8(title)},
                           {"style", hex32(style)},
                           {"x", x},
                           {"y", y},
                           {"width", width},
                           {"height", height},
                           {"parent", parent != nullptr},
                           {"menu", menu != nullptr},
                           {"ok", ok}});
  if (!ok) {
    setLastError(!c      ? ERROR_CANNOT_FIND_WND_CLASS
                 : fault ? fault->answer
                         : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  State& s = state();
  auto w = std::make_unique<Window>();
  w->index = int(s.windows.size());
  w->className = c->name;
  w->title = title ? title : u"";
  w->proc = c->proc;
  w->background = c->background;
  w->thread = currentThread();
  w->style = style;
  w->exStyle = exStyle;
  w->x = x;
  w->y = y;
  w->width = std::min(width, MAX_SURFACE_SIDE);
  w->height = std::min(height, MAX_SURFACE_SIDE);
  // Its pixels are made when a paint is first drawn (drawPending): most
  // runs never read them, and a surface of fresh memory is a page fault per
  // 4 KiB.
  w->invalid = true;
  w->erase = true;
  s.windows.push_back(std::move(w));
  return handleOf(*s.windows.back());
}

BOOL showWindow(HWND window, int showCommand) {
  sim::switchPoint();
  Window* w = windowOf(window);
  trace("ShowWindow", {{"show", showCommand}, {"ok", w != nullptr}});
  if (!w) return 0;
  bool was = w->visible;
  w->visible = showCommand != 0;  // SW_HIDE is 0
  if (w->visible && !was) {
    w->invalid = true;
    w->erase = true;
  }
  return was ? 1 : 0;
}

BOOL destroyWindow(HWND window) {
  sim::switchPoint();
  Window* w = windowOf(window);
  bool own = w && w->thread == currentThread();
  trace("DestroyWindow", {{"ok", own}});
  if (!w) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!own) {
    setLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  w->visible = false;
  w->proc(window, WM_DESTROY, 0, 0);
  w->destroyed = true;
  forgetWindow(*w);
  return 1;
}

LRESULT defWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
  sim::switchPoint();
  switch (message) {
    case WM_PAINT: {
      // Validates, so that WM_PAINT is not generated again and again.
      PAINTSTRUCT ps;
      if (beginPaint(window, &ps)) endPaint(window, &ps);
      return 0;
    }
    case WM_CLOSE:
      destroyWindow(window);
      return 0;
    default:
      return 0;
  }
}

}  // namespace plat
