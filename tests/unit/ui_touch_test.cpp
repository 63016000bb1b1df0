// The scroll boxes' edges and the stylus position carried by a message.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "ui/main_window.h"

namespace {

struct Hit {
  plat::LONG x, y;
  bool up, down;
};

TEST(ScrollBoxes, EdgesAreInsideOnlyOnTheLeftAndTop) {
  setMainWindowGeometry();
  const Hit HITS[] = {
      {219, 9, true, false},     // the up box's last column and row
      {210, 0, true, false},     // its first
      {220, 5, false, false},    // right of it: outside the window
      {215, 10, false, false},   // just below it
      {209, 5, false, false},    // just left of it
      {210, 229, false, true},   // the down box's first column and row
      {219, 238, false, true},   // its last
      {215, 239, false, false},  // the window's last row is below it
      {215, 228, false, false},  // just above it
      {110, 120, false, false},  // the idle tap's point
  };
  for (const Hit& h : HITS) {
    plat::POINT p{h.x, h.y};
    EXPECT_EQ(plat::ptInRect(&mainWindowState.upBox, p) != 0, h.up) << h.x << "," << h.y;
    EXPECT_EQ(plat::ptInRect(&mainWindowState.downBox, p) != 0, h.down) << h.x << "," << h.y;
  }
  EXPECT_EQ(mainWindowState.clientRect.right, 220);
  EXPECT_EQ(mainWindowState.clientRect.bottom, 240);
}

TEST(ScrollBoxes, StylusPositionIsTwoUnsigned16BitHalves) {
  plat::POINT p = stylusPoint(plat::LPARAM((233 << 16) | 215));
  EXPECT_EQ(p.x, 215);
  EXPECT_EQ(p.y, 233);
  // Both halves unsigned: 0xFFFF is 65535, never -1, and bits above the
  // low 32 are ignored.
  p = stylusPoint(plat::LPARAM(intptr_t(-1)));
  EXPECT_EQ(p.x, 0xFFFF);
  EXPECT_EQ(p.y, 0xFFFF);
  p = stylusPoint(plat::LPARAM(0x8000'0001));
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.y, 0x8000);
}

}  // namespace
