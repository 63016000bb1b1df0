// Painting on the headless screen: each window's client area is an RGB
// framebuffer of the window's size (no border or caption is modelled), and
// the drawing calls the program makes between BeginPaint and EndPaint
// write into it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "harness/scheduler.h"
#include "harness/trace.h"
#include "platform/core.h"
#include "scenario/world.h"
#include "screen/font.h"
#include "screen/winsys.h"
#include "screen/winsys_state.h"
#include "system/switch_point.h"

namespace sim {
namespace ws {

namespace {

constexpr uintptr_t GDI_BASE = 0x00030000;
constexpr uintptr_t DC_BASE = 0x00040000;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_CELL = 16;  // the device's system font

plat::HGDIOBJ handleOfObject(size_t i) {
  return reinterpret_cast<plat::HGDIOBJ>(GDI_BASE + uintptr_t(i) * 4 + 4);
}

GdiObject* objectOf(plat::HGDIOBJ h) {
  uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v < GDI_BASE + 4 || (v - GDI_BASE) % 4 != 0) return nullptr;
  size_t i = (v - GDI_BASE) / 4 - 1;
  auto& o = state().objects;
  return i < o.size() ? &o[i] : nullptr;
}

plat::HGDIOBJ addObject(const GdiObject& o) {
  state().objects.push_back(o);
  return handleOfObject(state().objects.size() - 1);
}

Font* loadFont(int cellHeight) {
  static bool told = false;
  std::string error;
  Font* f = openFont(cellHeight, error);
  if (!f && !told) {
    told = true;
    std::fprintf(stderr, "quorvelta-sim: %s; text is not drawn\n", error.c_str());
  }
  return f;
}

// Stock objects, made on first use and then always the same handles.
plat::HGDIOBJ stock(int object) {
  static plat::HGDIOBJ made[32] = {};
  if (object < 0 || object >= 32) return nullptr;
  if (made[object]) return made[object];
  static const plat::COLORREF BRUSHES[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  if (object < 5) {
    made[object] = addObject({GdiKind::Brush, BRUSHES[object], nullptr});
  } else if (object == SYSTEM_FONT) {
    made[object] = addObject({GdiKind::Font, 0, loadFont(DEFAULT_CELL)});
  }
  return made[object];
}

Window* paintingWindow(plat::HDC dc) {
  uintptr_t v = reinterpret_cast<uintptr_t>(dc);
  if (v < DC_BASE + 4 || (v - DC_BASE) % 4 != 0) return nullptr;
  size_t i = (v - DC_BASE) / 4 - 1;
  auto& ws = state().windows;
  if (i >= ws.size() || ws[i]->destroyed || !ws[i]->painting) return nullptr;
  return ws[i].get();
}

uint8_t red(plat::COLORREF c) { return uint8_t(c & 0xFF); }
uint8_t green(plat::COLORREF c) { return uint8_t((c >> 8) & 0xFF); }
uint8_t blue(plat::COLORREF c) { return uint8_t((c >> 16) & 0xFF); }

// The part of r inside the window and inside clip.
plat::RECT clipped(const Window& w, const plat::RECT& r, const plat::RECT& clip) {
  plat::RECT c;
  c.left = std::max({r.left, clip.left, plat::LONG(0)});
  c.top = std::max({r.top, clip.top, plat::LONG(0)});
  c.right = std::min({r.right, clip.right, plat::LONG(w.width)});
  c.bottom = std::min({r.bottom, clip.bottom, plat::LONG(w.height)});
  return c;
}

// One row is filled pixel by pixel, the others are copies of it (a paint
// fills the whole screen several times; this was most of its time).
void fill(Window& w, const plat::RECT& r, plat::COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const size_t bytes = size_t(r.right - r.left) * 3;
  uint8_t* first = &w.rgb[(size_t(r.top) * size_t(w.width) + size_t(r.left)) * 3];
  for (size_t k = 0; k < bytes; k += 3) {
    first[k] = red(color);
    first[k + 1] = green(color);
    first[k + 2] = blue(color);
  }
  for (plat::LONG y = r.top + 1; y < r.bottom; y++)
    std::memcpy(&w.rgb[(size_t(y) * size_t(w.width) + size_t(r.left)) * 3], first, bytes);
}

// Blends the text colour over the pixel by the glyph's coverage.
void blend(uint8_t* p, plat::COLORREF color, int coverage) {
  const uint8_t c[3] = {red(color), green(color), blue(color)};
  for (int k = 0; k < 3; k++)
    p[k] = uint8_t((p[k] * (255 - coverage) + c[k] * coverage + 127) / 255);
}

void drawGlyph(Window& w, const Glyph& g, int penX, int baseline, const plat::RECT& clip,
               plat::COLORREF color) {
  // The rows and columns of the bitmap inside the clip, worked out once:
  // painting is most of what a run does, so the pixel loop tests nothing.
  const int x0 = penX + g.left, y0 = baseline - g.top;
  const int c0 = std::max(0, int(clip.left) - x0), c1 = std::min(g.width, int(clip.right) - x0);
  const int r0 = std::max(0, int(clip.top) - y0), r1 = std::min(g.rows, int(clip.bottom) - y0);
  const uint8_t rgb[3] = {red(color), green(color), blue(color)};
  for (int r = r0; r < r1; r++) {
    const uint8_t* cover = &g.coverage[size_t(r) * size_t(g.width)];
    if (c0 >= c1) break;
    uint8_t* p = &w.rgb[(size_t(y0 + r) * size_t(w.width) + size_t(x0 + c0)) * 3];
    for (int c = c0; c < c1; c++) {
      uint8_t* px = p + size_t(c - c0) * 3;
      if (cover[c] == 255) {
        // What blend() gives at full coverage, without its arithmetic.
        px[0] = rgb[0];
        px[1] = rgb[1];
        px[2] = rgb[2];
      } else if (cover[c]) {
        blend(px, color, cover[c]);
      }
    }
  }
}

char32_t codePoint(const char16_t* s, int n, int& i) {
  char32_t c = s[i];
  if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
    c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
    i++;
  }
  return c;
}

// The line of text that starts at i ends at the index answered; i moves
// past its line end. Lines end at CR LF, and at a CR or LF alone, as the
// device's DrawText breaks them.
int lineEnd(const char16_t* text, int n, int& i) {
  while (i < n && text[i] != u'\r' && text[i] != u'\n') i++;
  const int end = i;
  if (i < n) i += (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
  return end;
}

// Draws one DrawText call: each line of the text from the rectangle's top
// left, clipped to the rectangle.
void drawTextOp(Window& w, const PaintOp& op) {
  const char16_t* text = op.text.data();
  const int n = int(op.text.size());
  const int cell = fontCellHeight(op.font);
  const plat::RECT& clip = op.clip;
  int penY = op.rect.top;
  int i = 0;
  while (i < n && penY < clip.bottom) {
    const int start = i;
    const int end = lineEnd(text, n, i);
    if (penY + cell > clip.top) {
      int baseline = penY + fontAscent(op.font);
      if (op.bkMode == OPAQUE) {
        int width = 0;
        for (int k = start; k < end && op.rect.left + width < clip.right; k++)
          width += fontGlyph(op.font, codePoint(text, end, k)).advance;
        plat::RECT lineRect{op.rect.left, penY, op.rect.left + width, penY + cell};
        fill(w, clipped(w, lineRect, clip), op.bkColor);
      }
      int penX = op.rect.left;
      for (int k = start; k < end && penX < clip.right; k++) {
        const Glyph& g = fontGlyph(op.font, codePoint(text, end, k));
        drawGlyph(w, g, penX, baseline, clip, op.color);
        penX += g.advance;
      }
    }
    penY += cell;
  }
}

// The calls painted since the pixels were last read, drawn now, in order.
void drawPending(Window& w) {
  // A new window's screen is whatever was there; black stands for it.
  if (w.rgb.empty()) w.rgb.assign(size_t(w.width) * size_t(w.height) * 3, 0);
  for (const PaintOp& op : w.pending) {
    if (op.kind == PaintOp::Fill)
      fill(w, op.rect, op.color);
    else
      drawTextOp(w, op);
  }
  w.pending.clear();
}

// Keeps a drawing call for later. A fill of the whole window hides
// everything before it, so those are dropped; the list is drawn once it
// holds MAX_PENDING calls, which bounds what a long paint keeps.
constexpr size_t MAX_PENDING = 512;
void keep(Window& w, PaintOp op) {
  const plat::RECT& r = op.rect;
  if (op.kind == PaintOp::Fill && r.left <= 0 && r.top <= 0 && r.right >= w.width &&
      r.bottom >= w.height)
    w.pending.clear();
  if (w.pending.size() >= MAX_PENDING) drawPending(w);
  w.pending.push_back(std::move(op));
}

void keepFill(Window& w, const plat::RECT& r, plat::COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  PaintOp op;
  op.kind = PaintOp::Fill;
  op.rect = r;
  op.color = color;
  keep(w, std::move(op));
}

}  // namespace

}  // namespace ws

namespace {
PaintTap paintTap = nullptr;
}

void setPaintTap(PaintTap tap) { paintTap = tap; }

bool lastFrame(Frame& out) {
  auto& s = ws::state();
  if (s.lastPainted < 0) return false;
  ws::Window& w = *s.windows[size_t(s.lastPainted)];
  ws::drawPending(w);
  out.width = w.width;
  out.height = w.height;
  out.rgb = w.rgb.data();
  return w.width > 0 && w.height > 0;
}

}  // namespace sim

namespace plat {

using namespace sim;
using namespace sim::ws;

HGDIOBJ getStockObject(int object) { return stock(object); }

HDC beginPaint(HWND window, PAINTSTRUCT* paint) {
  sim::switchPoint();
  sim::switchPoint();
  Window* w = windowOf(window);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  w->painting = true;
  w->dc = DcState{};
  w->dc.font = stock(SYSTEM_FONT);
  w->frameText.clear();
  HDC dc = reinterpret_cast<HDC>(DC_BASE + uintptr_t(w->index) * 4 + 4);
  paint->hdc = dc;
  paint->rcPaint = RECT{0, 0, LONG(w->width), LONG(w->height)};
  // WM_ERASEBKGND, handled the default way: the class background brush.
  if (w->erase) {
    w->erase = false;
    if (w->proc(window, WM_ERASEBKGND, WPARAM(reinterpret_cast<uintptr_t>(dc)), 0) == 0) {
      if (GdiObject* b = objectOf(w->background); b && b->kind == GdiKind::Brush)
        keepFill(*w, paint->rcPaint, b->color);
    }
  }
  w->invalid = false;  // validated: nothing more to paint until marked again
  return dc;
}

// On a slow display the frame takes world.ui.paintMs to reach the screen,
// and the window's thread is busy until then: whatever the user does or a
// timer brings meanwhile waits in its queue.
BOOL endPaint(HWND window, const PAINTSTRUCT*) {
  sim::switchPoint();
  Window* w = windowOf(window);
  if (!w || !w->painting) return 0;
  if (world.ui.paintMs > 0) sleepUntil(now() + world.ui.paintMs, "EndPaint");
  w->painting = false;
  state().lastPainted = w->index;
  state().lastFrameText = w->frameText;
  framePainted(*w);
  if (paintTap) paintTap(w->frameText);
  return 1;
}

int fillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  sim::switchPoint();
  Window* w = paintingWindow(dc);
  GdiObject* b = objectOf(brush);
  if (!w || !rect || !b || b->kind != GdiKind::Brush) return 0;
  keepFill(*w, clipped(*w, *rect, *rect), b->color);
  return 1;
}

int setBkMode(HDC dc, int mode) {
  sim::switchPoint();
  Window* w = paintingWindow(dc);
  if (!w || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int was = w->dc.bkMode;
  w->dc.bkMode = mode;
  return was;
}

HGDIOBJ selectObject(HDC dc, HGDIOBJ object) {
  sim::switchPoint();
  Window* w = paintingWindow(dc);
  GdiObject* o = objectOf(object);
  // Only fonts are selected into this device's DCs; brushes go straight to
  // fillRect.
  if (!w || !o || o->kind != GdiKind::Font) return nullptr;
  HGDIOBJ was = w->dc.font;
  w->dc.font = object;
  return was;
}

COLORREF setTextColor(HDC dc, COLORREF color) {
  sim::switchPoint();
  Window* w = paintingWindow(dc);
  if (!w) return 0xFFFFFFFF;  // CLR_INVALID
  COLORREF was = w->dc.textColor;
  w->dc.textColor = color & 0xFFFFFF;
  return was;
}

// Format 0 only: left and top aligned, clipped to the rectangle, no word
// wrap. Lines end at CR LF, and at a CR or LF alone, as the device's
// DrawText breaks them. Answers the height of the text drawn.
int drawText(HDC dc, const char16_t* text, int count, RECT* rect, UINT format) {
  sim::switchPoint();
  Window* w = paintingWindow(dc);
  if (!w || !text || !rect) return 0;
  int n = count < 0 ? int(std::char_traits<char16_t>::length(text)) : count;
  GdiObject* fo = objectOf(w->dc.font);
  Font* font = fo && fo->kind == GdiKind::Font ? fo->font : nullptr;
  int cell = font ? fontCellHeight(font) : DEFAULT_CELL;
  // The lines are counted here; the pixels are drawn when they are read.
  int lines = 0;
  for (int i = 0; i < n; lines++) lineEnd(text, n, i);
  RECT clip = clipped(*w, *rect, *rect);
  if (font && clip.right > clip.left && clip.bottom > clip.top) {
    PaintOp op;
    op.kind = PaintOp::Text;
    op.rect = *rect;
    op.clip = clip;
    op.color = w->dc.textColor;
    op.bkMode = w->dc.bkMode;
    op.bkColor = w->dc.bkColor;
    op.font = font;
    op.text.assign(text, size_t(n));
    keep(*w, std::move(op));
  }
  w->frameText.append(text, size_t(n));
  trace("DrawText", {{"chars", n}, {"lines", lines}, {"format", format}});
  return lines * cell;
}

HBRUSH createSolidBrush(COLORREF color) {
  sim::switchPoint();
  trace("CreateSolidBrush", {{"color", hex32(color)}});
  return addObject({GdiKind::Brush, color & 0xFFFFFF, nullptr});
}

// Every request gets the device's one fixed-pitch bold face; the height
// picks the size: positive is the cell height, negative the character
// height, 0 the system font's size.
HFONT createFontIndirect(const LOGFONT* font) {
  sim::switchPoint();
  if (!font) return nullptr;
  // The face's ascent plus descent is 2384 units of its 2048-unit em.
  constexpr int CELL_UNITS = 2384, EM_UNITS = 2048;
  LONG h = font->lfHeight;
  int cell = h > 0 ? int(h) : h < 0 && h > -512 ? int(-h) * CELL_UNITS / EM_UNITS : DEFAULT_CELL;
  Font* f = cell > 0 && cell <= 512 ? loadFont(cell) : nullptr;
  trace("CreateFontIndirect", {{"height", int64_t(h)},
                               {"weight", int64_t(font->lfWeight)},
                               {"quality", unsigned(font->lfQuality)},
                               {"pitchAndFamily", hex32(font->lfPitchAndFamily)},
                               {"ok", f != nullptr}});
  if (!f) return nullptr;
  return addObject({GdiKind::Font, 0, f});
}

BOOL ptInRect(const RECT* rect, POINT point) {
  return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
         point.y < rect->bottom;
}

}  // namespace plat
