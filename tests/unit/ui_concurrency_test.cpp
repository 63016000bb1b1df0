// The window's thread scrolling and saving the log while writers append,
// on real threads (also run under ThreadSanitizer): every saved log is
// whole lines, apart from one unfinished line at its end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console_testing.h"
#include "harness/host.h"
#include "ui/main_window.h"

namespace {

plat::LPARAM at(int x, int y) { return plat::LPARAM((y << 16) | x); }

TEST(UiConcurrency, SavedLogsHoldWholeLinesWhileWritersAppend) {
  resetConsole();
  char dir[] = "/tmp/qv-uicc-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string root = dir, savedRoot = sim::host.root;
  sim::host.root = root;
  mkdir((root + "/Temp").c_str(), 0755);
  setMainWindowGeometry();

  constexpr int WRITERS = 4, LINES = 300;
  std::atomic<int> running{WRITERS};
  std::vector<std::thread> writers;
  for (int w = 0; w < WRITERS; w++) {
    writers.emplace_back([w, &running] {
      char16_t head[4] = {u'w', char16_t(u'0' + w), u':', 0};
      char16_t tail[4] = {u'e', char16_t(u'0' + w), 0};
      for (int i = 0; i < LINES; i++) {
        beginConsoleLine();
        appendText(head);
        appendLine(tail);
        endConsoleLine();
      }
      running--;
    });
  }

  int saves = 0;
  std::string bad;
  while (running > 0 || saves < 5) {
    // What the window's thread does: press and hold the down box, repeat,
    // lift in the up box, and save.
    stylusPressed(at(215, 233));
    scrollRepeat();
    stylusPressed(at(215, 5));
    stylusReleased(at(215, 5));
    saveConsoleLog();
    saves++;
    std::ifstream in(root + "/Temp/Quorvelta.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string log = ss.str();
    size_t from = 0;
    for (size_t end; (end = log.find("\r\n", from)) != std::string::npos; from = end + 2) {
      std::string line = log.substr(from, end - from);
      if (line.size() != 5 || line[0] != 'w' || line[3] != 'e' || line[1] != line[4]) bad = line;
    }
    std::string rest = log.substr(from);
    if (!(rest.empty() || (rest.size() == 3 && rest[0] == 'w' && rest[2] == ':'))) bad = rest;
  }
  for (auto& t : writers) t.join();
  EXPECT_EQ(bad, "") << "a saved log held a torn line";
  expectConsoleInvariants();

  std::remove((root + "/Temp/Quorvelta.log").c_str());
  rmdir((root + "/Temp").c_str());
  rmdir(dir);
  sim::host.root = savedRoot;
  resetConsole();
}

}  // namespace
