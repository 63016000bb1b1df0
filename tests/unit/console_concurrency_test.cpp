// Many writers appending two-piece lines while a reader scrolls and reads
// the view, on real threads (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console_testing.h"

namespace {

TEST(ConsoleConcurrency, PairedAppendsStayWholeLines) {
  resetConsole();
  constexpr int WRITERS = 8, LINES = 150;
  std::atomic<bool> done{false};
  std::vector<std::thread> writers;
  for (int w = 0; w < WRITERS; w++) {
    writers.emplace_back([w] {
      char16_t prefix[8] = {u'w', char16_t(u'0' + w), u':', 0};
      char16_t tail[8] = {u'e', char16_t(u'0' + w), 0};
      for (int i = 0; i < LINES; i++) {
        beginConsoleLine();
        appendText(prefix);
        appendLine(tail);
        endConsoleLine();
      }
    });
  }
  std::thread reader([&] {
    int step = 1;
    while (!done) {
      scrollConsole(step);
      step = -step;
      lockConsole();
      size_t n = 0;
      while (consoleLog.viewText[n]) n++;
      EXPECT_LE(n, size_t(VIEW_CHARS));
      unlockConsole();
    }
  });
  for (auto& t : writers) t.join();
  done = true;
  reader.join();
  expectConsoleInvariants();

  // Every line in the store is "wN:eN" with the same N, never torn.
  std::u16string t(consoleLog.consoleText);
  size_t at = 0, lines = 0;
  while (at < t.size()) {
    size_t end = t.find(u"\r\n", at);
    ASSERT_NE(end, std::u16string::npos);
    std::u16string line = t.substr(at, end - at);
    ASSERT_EQ(line.size(), 5u) << "torn line";
    EXPECT_EQ(line[0], u'w');
    EXPECT_EQ(line[3], u'e');
    EXPECT_EQ(line[1], line[4]);
    at = end + 2;
    lines++;
  }
  EXPECT_EQ(int(lines) + consoleLog.droppedLines, WRITERS * LINES);
}

}  // namespace
