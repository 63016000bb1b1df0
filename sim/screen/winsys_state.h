// The window system's own records, shared by its files (registry, queues,
// painting, script). Only the baton holder touches them.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness/scheduler.h"
#include "platform/window.h"

namespace sim {

struct Font;

namespace ws {

constexpr plat::UINT WM_ERASEBKGND = 0x0014;
constexpr int OPAQUE = 2;
constexpr plat::UINT USER_TIMER_MINIMUM = 10;

struct WindowClass {
  std::u16string name;
  plat::WNDPROC proc = nullptr;
  plat::UINT style = 0;
  plat::HBRUSH background = nullptr;
};

// The device context of a window's painting; reset by every beginPaint.
struct DcState {
  int bkMode = OPAQUE;
  plat::COLORREF bkColor = 0xFFFFFF;
  plat::COLORREF textColor = 0x000000;
  plat::HGDIOBJ font = nullptr;
};

// One drawing call of a paint, kept until somebody looks at the pixels
// (gdi.cpp): a run paints its console a hundred times or more, and only the
// screenshot, the report's frames and a script's look at the screen read
// what was painted.
struct PaintOp {
  enum Kind { Fill, Text } kind = Fill;
  plat::RECT rect{};         // Fill: already clipped; Text: DrawText's rectangle
  plat::RECT clip{};         // Text: the part of rect inside the window
  plat::COLORREF color = 0;  // Fill: the brush; Text: the text colour
  int bkMode = OPAQUE;
  plat::COLORREF bkColor = 0;
  Font* font = nullptr;
  std::u16string text;
};

struct Window {
  int index = 0;
  std::u16string className, title;
  plat::WNDPROC proc = nullptr;
  plat::HBRUSH background = nullptr;
  int thread = 0;  // the creating thread: its queue gets the window's messages
  plat::DWORD style = 0, exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool visible = false;
  bool invalid = false;  // needs WM_PAINT
  bool erase = false;    // the background goes first
  bool destroyed = false;
  bool painting = false;
  DcState dc;
  std::u16string frameText;  // what the paint in progress has drawn
  // The client area: width x height, 8-bit RGB, rows top to bottom, as of
  // the last time the pending calls were drawn.
  std::vector<uint8_t> rgb;
  std::vector<PaintOp> pending;  // drawn on rgb, in order, when it is read
};

// An UpdateWindow from another thread, waiting to be painted.
struct SentPaint {
  plat::HWND window = nullptr;
  bool done = false;
};

// A thread's queue. GetMessage takes, in this order (the device's "Receiving
// and Dispatching Messages"): sent messages, posted messages, input, the
// quit message, WM_PAINT, WM_TIMER (queue.cpp).
struct Queue {
  std::deque<plat::MSG> posted;  // PostMessage: WM_CLOSE, a WM_TIMER someone posts
  std::deque<plat::MSG> input;   // the user-input system: the stylus
  std::deque<SentPaint*> sent;
  bool quit = false;
  int quitCode = 0;
  int waiting = 0;        // threads blocked in GetMessage on this queue
  bool failNext = false;  // the next GetMessage answers -1 (injected)
};

// A window timer is no message in the queue: it falls due, and GetMessage
// makes one WM_TIMER of it when nothing else is waiting (timers.cpp).
struct Timer {
  plat::HWND window = nullptr;
  uintptr_t id = 0;
  plat::UINT elapse = 0;
  Ms due = 0;               // when it falls due next; due <= now(): a tick waits
  uint64_t generation = 0;  // of the wake-up at `due`: a restart or kill makes older ones stale
};

enum class GdiKind { Brush, Font };
struct GdiObject {
  GdiKind kind = GdiKind::Brush;
  plat::COLORREF color = 0;  // brushes
  Font* font = nullptr;      // fonts
};

struct State {
  std::vector<WindowClass> classes;
  std::vector<std::unique_ptr<Window>> windows;
  std::map<int, Queue> queues;  // by scheduler thread id
  std::vector<Timer> timers;
  uint64_t timerGeneration = 0;
  std::vector<GdiObject> objects;
  plat::HWND foreground = nullptr;
  int lastPainted = -1;  // window index
  std::u16string lastFrameText;
};

State& state();

plat::HWND handleOf(const Window& w);
// The live window behind a handle, or null.
Window* windowOf(plat::HWND window);
Queue& queueOf(int thread);
// The first live window: where the user's stylus lands.
Window* screenWindow();

// Posts a message to the window's thread and wakes it.
void post(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam);
// The same for the user-input system (the stylus): taken after posted ones.
void postInput(Window& w, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam);
// Has the window procedure paint the window now, if it needs it.
void paintNow(Window& w);
// Drops the window's timers and pending messages and answers its senders.
void forgetWindow(Window& w);
void killTimers(plat::HWND window);
// A due timer of the thread's windows as its WM_TIMER (the earliest due
// first), restarted for its next period; false when none is due.
bool takeDueTimer(int thread, plat::MSG& msg);

// From endPaint: the frame is complete (the script may be waiting for text).
void framePainted(Window& w);
const char* messageName(plat::UINT message);

}  // namespace ws
}  // namespace sim
