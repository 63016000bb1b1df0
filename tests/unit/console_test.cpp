#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/console.h"
#include "console_testing.h"

namespace {

std::u16string text() { return std::u16string(consoleLog.consoleText); }
std::u16string view() { return std::u16string(consoleLog.viewText); }

TEST(Console, FreshConsoleHasEmptyView) {
  resetConsole();
  EXPECT_EQ(view(), u"");
  refreshView();
  EXPECT_EQ(view(), u"");
  expectConsoleInvariants();
}

TEST(Console, TextThenLineMakesOneLine) {
  resetConsole();
  appendText(u"ab");
  EXPECT_EQ(consoleLog.currentLine, 0);
  EXPECT_EQ(consoleLog.lineLengths[0], 2);
  appendLine(u"cd");
  EXPECT_EQ(text(), u"abcd\r\n");
  EXPECT_EQ(consoleLog.lineLengths[0], 6);
  EXPECT_EQ(consoleLog.currentLine, 1);
  appendLine(u"");
  EXPECT_EQ(consoleLog.lineLengths[1], 2);
  EXPECT_EQ(consoleLog.currentLine, 2);
  expectConsoleInvariants();
}

TEST(Console, AutoScrollStartsAfterLine23AndIsRelative) {
  resetConsole();
  for (int i = 0; i < 23; i++) appendLine(u"x");
  EXPECT_EQ(consoleLog.firstVisibleLine, 0);
  appendLine(u"x");
  EXPECT_EQ(consoleLog.firstVisibleLine, 1);
  for (int i = 0; i < 6; i++) appendLine(u"x");
  EXPECT_EQ(consoleLog.firstVisibleLine, 7);
  appendText(u"tail");
  EXPECT_EQ(consoleLog.firstVisibleLine, 7);
  // Scrolled back to the top by hand, five more lines move it by five.
  scrollConsole(-100);
  EXPECT_EQ(consoleLog.firstVisibleLine, 0);
  for (int i = 0; i < 5; i++) appendLine(u"y");
  EXPECT_EQ(consoleLog.firstVisibleLine, 5);
  expectConsoleInvariants();
}

TEST(Console, ViewStartsAtFirstVisibleLineAndIsBounded) {
  resetConsole();
  appendLine(u"one");
  appendLine(u"two");
  appendText(u"thr");
  scrollConsole(1);
  EXPECT_EQ(view(), u"two\r\nthr");
  scrollConsole(1);
  EXPECT_EQ(view(), u"thr");  // only the unfinished line
  scrollConsole(1);
  EXPECT_EQ(view(), u"");  // past it: empty
  scrollConsole(5);
  EXPECT_EQ(consoleLog.firstVisibleLine, 3) << "held one line past the unfinished one";

  resetConsole();
  std::u16string longLine(1500, u'a');
  longLine[1151] = u'Z';
  appendLine(longLine.c_str());
  EXPECT_EQ(view().size(), size_t(VIEW_CHARS));
  EXPECT_EQ(view().back(), u'Z');
  expectConsoleInvariants();
}

TEST(Console, LineBreaksInsideOneTextCountAsOneLine) {
  resetConsole();
  appendLine(u"a\r\nb");
  EXPECT_EQ(consoleLog.currentLine, 1);
  EXPECT_EQ(consoleLog.lineLengths[0], 6);
  expectConsoleInvariants();
}

TEST(Console, FullStoreDropsOldestLinesAndKeepsTheNewest) {
  resetConsole();
  char16_t line[64];
  for (int i = 0; i < 400; i++) {
    std::u16string s =
        u"line " + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(30, u'.');
    std::memcpy(line, s.c_str(), (s.size() + 1) * 2);
    appendLine(line);
    expectConsoleInvariants();
  }
  EXPECT_LE(consoleLog.textLength, CONSOLE_TEXT_CHARS - 1);
  EXPECT_GT(consoleLog.droppedLines, 0);
  // The newest line is the last thing in the store, whole.
  std::u16string t = text();
  std::u16string last =
      u"line " + std::u16string(1, char16_t(u'A' + 399 % 26)) + std::u16string(30, u'.') + u"\r\n";
  EXPECT_EQ(t.substr(t.size() - last.size()), last);
  // Every line in the store is whole: it starts with "line ".
  EXPECT_EQ(t.substr(0, 5), u"line ");
}

TEST(Console, LineTableLimitDropsOldestLines) {
  resetConsole();
  for (int i = 0; i < CONSOLE_LINES + 10; i++) appendLine(u"");
  EXPECT_LT(consoleLog.currentLine, CONSOLE_LINES);
  expectConsoleInvariants();
}

TEST(Console, TextLongerThanTheWholeStoreKeepsItsEnd) {
  resetConsole();
  appendText(u"old");
  std::u16string big(CONSOLE_TEXT_CHARS * 2, u'b');
  big.back() = u'E';
  appendText(big.c_str());
  EXPECT_EQ(consoleLog.textLength, CONSOLE_TEXT_CHARS - 1);
  EXPECT_EQ(text().back(), u'E');
  appendLine(big.c_str());
  EXPECT_EQ(text().substr(text().size() - 3), u"E\r\n");
  expectConsoleInvariants();
}

}  // namespace
