#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/format.h"

namespace {

std::u16string f(const char16_t* fmt, auto... args) {
  char16_t out[80];
  formatText(out, 80, fmt, args...);
  return out;
}

TEST(Format, TheProgramsConversions) {
  EXPECT_EQ(f(u"%d/%02d/%02d %d:%02d", 3, 5, 6, 9, 7), u"3/05/06 9:07");
  EXPECT_EQ(f(u" %4dms", 35), u"   35ms");
  EXPECT_EQ(f(u"%2d Available", -1), u"-1 Available");
  EXPECT_EQ(f(u"%02x.%02x", 0x0a, 0xff), u"0a.ff");
  EXPECT_EQ(f(u"%X", 0xdeadu), u"DEAD");
  EXPECT_EQ(f(u"[%-14S]", "abc"), u"[abc           ]");
  EXPECT_EQ(f(u"[%-4S]", "abcdef"), u"[abcdef]");
  EXPECT_EQ(f(u"%s!", u"wide"), u"wide!");
  EXPECT_EQ(f(u"%d%%", 5), u"5%");
  EXPECT_EQ(f(u"%d", -2147483647 - 1), u"-2147483648");
  EXPECT_EQ(f(u"%S", "\xe9"), u"\u00e9") << "8-bit text is widened byte by byte";
}

TEST(Format, ZeroPaddingComesAfterTheSign) {
  EXPECT_EQ(f(u"%05d", -42), u"-0042");
  EXPECT_EQ(f(u"%5d", -42), u"  -42");
  EXPECT_EQ(f(u"%-5d|", -42), u"-42  |");
}

TEST(Format, MismatchedOrMissingArgumentsPrintNothing) {
  EXPECT_EQ(f(u"a%Sb", 5), u"ab");
  EXPECT_EQ(f(u"a%db"), u"ab");
  EXPECT_EQ(f(u"a%Sb", static_cast<const char*>(nullptr)), u"ab");
}

TEST(Format, OutputIsCutAtCapacity) {
  char16_t out[8];
  int n = formatText(out, 8, u"%s", u"0123456789");
  EXPECT_EQ(n, 7);
  EXPECT_EQ(std::u16string(out), u"0123456");
  char16_t one[1];
  EXPECT_EQ(formatText(one, 1, u"abc"), 0);
  EXPECT_EQ(one[0], 0);
}

TEST(Format, NarrowCopyIsCutAndTerminatedInsideItsCapacity) {
  char out[6];
  std::memset(out, '#', sizeof out);
  copyNarrow(out, 4, "abcdef");
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(out[4], '#') << "written past the capacity";
  copyNarrow(out, 4, "ab");
  EXPECT_STREQ(out, "ab");
}

}  // namespace
