// A known screen painted by the program into the simulated framebuffer and
// read back from the PNG screenshot: black background, green text, the red
// boxes over the text beneath them, a long line cut at the right edge.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/window.h"
#include "screen/winsys.h"
#include "ui/main_window.h"
#include "ui_testing.h"

namespace {

constexpr int W = 220, H = 240, CELL = 12;

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* at(int x, int y) const {
    return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
  }
  bool black(int x, int y) const {
    return at(x, y)[0] == 0 && at(x, y)[1] == 0 && at(x, y)[2] == 0;
  }
  bool red(int x, int y) const {
    return at(x, y)[0] == 255 && at(x, y)[1] == 0 && at(x, y)[2] == 0;
  }
  bool greenShade(int x, int y) const {
    return at(x, y)[0] == 0 && at(x, y)[1] > 0 && at(x, y)[2] == 0;
  }
  bool anyGreen(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        if (greenShade(x, y)) return true;
    return false;
  }
};

bool readPng(const std::string& path, Picture& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  out.width = int(image.width);
  out.height = int(image.height);
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

// The program's own start-up, outside the scheduler: the window belongs
// to this thread, so every repaint happens at once.
void startWindow() {
  ASSERT_NE(registerMainClass(nullptr), 0);
  ASSERT_EQ(createMainWindow(nullptr, 1), 1);
  setMainWindowGeometry();
  createDrawingResources();
  ASSERT_NE(mainWindowState.consoleFont, nullptr) << "the screen font is missing";
}

void knownScreen() {
  startWindow();
  std::u16string full(40, u'#');
  for (int line = 0; line < 20; line++) {
    if (line == 0) {
      appendLine(std::u16string(40, u'g').c_str());  // reaches below the up box's rows
    } else if (line == 4) {
      appendLine(std::u16string(60, u'W').c_str());  // wider than the window
    } else if (line == 5) {
      appendLine(u"");  // stays empty: the long line above does not wrap into it
    } else if (line == 7) {
      appendLine(u"short");
    } else {
      appendLine(full.c_str());
    }
  }

  char dir[] = "/tmp/qv-shot-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/screen.png";
  std::string why;
  ASSERT_TRUE(sim::writeScreenshot(path, why)) << why;
  Picture p;
  ASSERT_TRUE(readPng(path, p));
  std::remove(path.c_str());
  rmdir(dir);
  ASSERT_EQ(p.width, W);
  ASSERT_EQ(p.height, H);

  // The picture is the framebuffer, pixel for pixel.
  sim::Frame f;
  ASSERT_TRUE(sim::lastFrame(f));
  EXPECT_EQ(std::vector<uint8_t>(f.rgb, f.rgb + W * H * 3), p.rgb);

  const plat::RECT up = mainWindowState.upBox, down = mainWindowState.downBox;
  auto inBox = [&](int x, int y) {
    plat::POINT pt{x, y};
    return plat::ptInRect(&up, pt) || plat::ptInRect(&down, pt);
  };
  int boxPixels = 0, fullGreen = 0;
  for (int y = 0; y < H; y++) {
    for (int x = 0; x < W; x++) {
      if (inBox(x, y)) {
        // Text lies under both boxes (lines 0 and 19 are full), yet the
        // boxes are solid red.
        EXPECT_TRUE(p.red(x, y)) << x << "," << y;
        boxPixels++;
      } else {
        EXPECT_TRUE(p.black(x, y) || p.greenShade(x, y)) << x << "," << y;
        if (p.at(x, y)[1] == 255) fullGreen++;
      }
    }
  }
  EXPECT_EQ(boxPixels, 200);
  EXPECT_GT(fullGreen, 500);                 // text in the text colour itself, not only its edges
  EXPECT_TRUE(p.anyGreen(0, 0, 210, CELL));  // text beside the up box
  EXPECT_TRUE(p.anyGreen(0, 19 * CELL, 210, H));  // and beside the down box
  EXPECT_TRUE(p.anyGreen(210, 10, W, CELL));      // under the up box, only its rows are covered
  EXPECT_FALSE(p.red(215, 239));                  // the last row is below the down box
  EXPECT_FALSE(p.red(209, 5));
  // Line 4 reaches the window's right edge and is cut there; line 5 holds
  // nothing of it.
  EXPECT_TRUE(p.anyGreen(214, 4 * CELL, W, 5 * CELL));
  EXPECT_FALSE(p.anyGreen(0, 5 * CELL, W, 6 * CELL));
  // Black right of a short line.
  EXPECT_TRUE(p.anyGreen(0, 7 * CELL, 30, 8 * CELL));
  EXPECT_FALSE(p.anyGreen(40, 7 * CELL, W, 8 * CELL));
}

TEST(Screen, KnownScreenInTheScreenshot) { EXPECT_EQ(inChildProcess(knownScreen), 0); }

void firstPaintBeforeResources() {
  // The window is painted once before its brushes exist: that paint draws
  // nothing of its own and the class background shows.
  ASSERT_NE(registerMainClass(nullptr), 0);
  ASSERT_EQ(createMainWindow(nullptr, 1), 1);
  sim::Frame f;
  ASSERT_TRUE(sim::lastFrame(f));
  for (int i = 0; i < W * H * 3; i++) ASSERT_EQ(f.rgb[i], 0x80) << i;
  // The first write repaints it black.
  setMainWindowGeometry();
  createDrawingResources();
  appendLine(u"x");
  ASSERT_TRUE(sim::lastFrame(f));
  EXPECT_EQ(f.rgb[(100 * W + 100) * 3 + 1], 0);
  EXPECT_EQ(f.rgb[(100 * W + 100) * 3 + 0], 0);
}

TEST(Screen, FirstPaintShowsTheClassBackground) {
  EXPECT_EQ(inChildProcess(firstPaintBeforeResources), 0);
}

plat::LRESULT plainProc(plat::HWND w, plat::UINT m, plat::WPARAM wp, plat::LPARAM lp) {
  return plat::defWindowProc(w, m, wp, lp);
}

// A shown 100 x 100 window of a class that paints nothing of its own.
void showPlainWindow(plat::HWND& h) {
  plat::WNDCLASS wc{};
  wc.lpfnWndProc = plainProc;
  wc.lpszClassName = u"plain";
  ASSERT_NE(plat::registerClass(&wc), 0);
  h = plat::createWindowEx(0, u"plain", u"t", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
  ASSERT_NE(h, nullptr);
  plat::showWindow(h, 1);
}

void drawTextLines() {
  plat::HWND h = nullptr;
  ASSERT_NO_FATAL_FAILURE(showPlainWindow(h));
  plat::PAINTSTRUCT ps;
  plat::HDC dc = plat::beginPaint(h, &ps);
  ASSERT_NE(dc, nullptr);
  plat::LOGFONT lf{};
  lf.lfHeight = CELL;
  ASSERT_NE(plat::selectObject(dc, plat::createFontIndirect(&lf)), nullptr);
  plat::RECT r{0, 0, 100, 100};
  // CR LF is one line end; a CR or LF alone ends a line too.
  EXPECT_EQ(plat::drawText(dc, u"a\r\nb", -1, &r, 0), 2 * CELL);
  EXPECT_EQ(plat::drawText(dc, u"a\r\n\r\nb", -1, &r, 0), 3 * CELL);
  EXPECT_EQ(plat::drawText(dc, u"a\nb\rc", -1, &r, 0), 3 * CELL);
  EXPECT_EQ(plat::drawText(dc, u"a\r\n", -1, &r, 0), 1 * CELL);
  EXPECT_EQ(plat::drawText(dc, u"abc", 2, &r, 0), 1 * CELL);
  EXPECT_EQ(plat::drawText(dc, u"", -1, &r, 0), 0);
  // Opaque (the default) paints the cells' background white; drawn into an
  // empty rectangle nothing changes.
  plat::RECT none{50, 50, 50, 90};
  plat::drawText(dc, u"MMMM", -1, &none, 0);
  plat::endPaint(h, &ps);
  sim::Frame f;
  ASSERT_TRUE(sim::lastFrame(f));
  EXPECT_EQ(f.rgb[(1 * 100 + 1) * 3], 0xFF);  // top-left cell: white background
  EXPECT_EQ(f.rgb[(60 * 100 + 60) * 3], 0);   // nothing drawn into the empty rectangle
}

TEST(Screen, DrawTextBreaksLinesOnlyAtLineEnds) { EXPECT_EQ(inChildProcess(drawTextLines), 0); }

// A paint's calls are drawn only when the pixels are read: what a later
// paint leaves uncovered must still show the earlier one, a long paint must
// keep its order past the bound on kept calls, and reading in between must
// change nothing.
void keptCallsDrawInOrder() {
  plat::HWND h = nullptr;
  ASSERT_NO_FATAL_FAILURE(showPlainWindow(h));
  plat::HBRUSH white = plat::createSolidBrush(0xFFFFFF), red = plat::createSolidBrush(0x0000FF);
  plat::HBRUSH blue = plat::createSolidBrush(0xFF0000);
  plat::PAINTSTRUCT ps;
  plat::HDC dc = plat::beginPaint(h, &ps);
  plat::RECT all{0, 0, 100, 100};
  plat::fillRect(dc, &all, white);
  plat::LOGFONT lf{};
  lf.lfHeight = CELL;
  plat::selectObject(dc, plat::createFontIndirect(&lf));
  plat::setBkMode(dc, 1);  // transparent
  plat::RECT text{0, 0, 100, CELL};
  plat::drawText(dc, u"MMMMMMMMMMMMMMMM", -1, &text, 0);
  plat::endPaint(h, &ps);
  sim::Frame f;
  ASSERT_TRUE(sim::lastFrame(f));
  const std::vector<uint8_t> first(f.rgb, f.rgb + 100 * 100 * 3);
  int dark = 0;
  for (int x = 0; x < 50; x++) dark += first[(5 * 100 + size_t(x)) * 3] < 0x80;
  ASSERT_GT(dark, 0) << "the text was not drawn";

  // A second paint covers the right half only, then fills one pixel over
  // and over, more often than the calls kept at once.
  dc = plat::beginPaint(h, &ps);
  plat::RECT right{50, 0, 100, 100};
  plat::fillRect(dc, &right, red);
  plat::RECT dot{10, 90, 11, 91};
  for (int i = 0; i < 1001; i++) plat::fillRect(dc, &dot, i % 2 ? red : blue);
  plat::endPaint(h, &ps);
  ASSERT_TRUE(sim::lastFrame(f));
  ASSERT_TRUE(sim::lastFrame(f));  // reading twice draws nothing twice
  for (int y = 0; y < CELL; y++)
    for (int x = 0; x < 50; x++)
      for (int k = 0; k < 3; k++) {
        size_t i = (size_t(y) * 100 + size_t(x)) * 3 + size_t(k);
        ASSERT_EQ(f.rgb[i], first[i]) << x << "," << y;
      }
  EXPECT_EQ(f.rgb[(5 * 100 + 70) * 3 + 0], 0xFF);  // red is 0x0000FF: R first
  EXPECT_EQ(f.rgb[(5 * 100 + 70) * 3 + 2], 0);
  const uint8_t* d = &f.rgb[(90 * 100 + 10) * 3];
  EXPECT_EQ(d[0], 0);  // the last of the 1001 fills: blue
  EXPECT_EQ(d[2], 0xFF);
}

TEST(Screen, KeptCallsDrawInOrder) { EXPECT_EQ(inChildProcess(keptCallsDrawInOrder), 0); }

}  // namespace
