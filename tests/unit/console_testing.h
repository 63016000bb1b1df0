// Helpers for tests that look into the console.
#pragma once
#include <gtest/gtest.h>

#include <cstring>

#include "console/console.h"
#include "harness/host.h"

inline void resetConsole() {
  sim::host.echo = false;  // the simulated debug channel would echo to stdout
  lockConsole();
  std::memset(consoleLog.consoleText, 0, sizeof consoleLog.consoleText);
  std::memset(consoleLog.lineLengths, 0, sizeof consoleLog.lineLengths);
  std::memset(consoleLog.viewText, 0, sizeof consoleLog.viewText);
  consoleLog.currentLine = 0;
  consoleLog.firstVisibleLine = 0;
  consoleLog.textLength = 0;
  consoleLog.droppedLines = 0;
  unlockConsole();
}

// The store's invariants: the table sums to the text's length, entries past
// the current line are 0, everything is terminated and in bounds.
inline void expectConsoleInvariants() {
  lockConsole();
  const ConsoleLog& c = consoleLog;
  ASSERT_GE(c.currentLine, 0);
  ASSERT_LT(c.currentLine, CONSOLE_LINES);
  int64_t sum = 0;
  for (int i = 0; i <= c.currentLine; i++) sum += c.lineLengths[i];
  for (int i = c.currentLine + 1; i < CONSOLE_LINES; i++) EXPECT_EQ(c.lineLengths[i], 0) << i;
  size_t len = 0;
  while (len < CONSOLE_TEXT_CHARS && c.consoleText[len]) len++;
  ASSERT_LT(len, size_t(CONSOLE_TEXT_CHARS));
  EXPECT_EQ(sum, int64_t(len));
  EXPECT_EQ(c.textLength, int32_t(len));
  EXPECT_GE(c.firstVisibleLine, 0);
  size_t v = 0;
  while (v <= size_t(VIEW_CHARS) && c.viewText[v]) v++;
  EXPECT_LE(v, size_t(VIEW_CHARS));
  unlockConsole();
}
