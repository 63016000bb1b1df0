// The exit tap's log: pieces that fit the log buffer, nothing lost, an
// earlier log replaced, and no log where the folder is missing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "console/console.h"
#include "console_testing.h"
#include "harness/host.h"
#include "scenario/world.h"
#include "ui/main_window.h"

namespace {

class LogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qv-log-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root = dir;
    savedRoot = sim::host.root;
    sim::host.root = root;
    mkdir((root + "/Temp").c_str(), 0755);
    sim::world.system.tempExists = true;
  }
  void TearDown() override {
    std::remove(path().c_str());
    rmdir((root + "/Temp").c_str());
    rmdir(root.c_str());
    sim::host.root = savedRoot;
    sim::world.system.tempExists = true;
    resetConsole();
  }
  std::string path() const { return root + "/Temp/Quorvelta.log"; }
  std::string read() const {
    std::ifstream in(path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Writes text through writeLogText into a fresh log.
  std::string written(const std::u16string& text, size_t* reported = nullptr) {
    plat::FILEHANDLE f = plat::fileOpen(LOG_FILE_PATH, "w");
    EXPECT_NE(f, nullptr);
    if (!f) return "";
    size_t n = writeLogText(f, text.data(), int32_t(text.size()));
    plat::fileClose(f);
    if (reported) *reported = n;
    return read();
  }
  std::string root, savedRoot;
};

TEST_F(LogFile, TextLongerThanTheBufferIsWrittenWhole) {
  // Lines with their number, so a lost or repeated piece shows.
  std::u16string text;
  std::string want;
  for (int i = 0; text.size() < 20000; i++) {
    std::string line = "line " + std::to_string(i) + " of the console\r\n";
    want += line;
    for (char c : line) text += char16_t(c);
  }
  size_t n = 0;
  EXPECT_EQ(written(text, &n), want);
  EXPECT_EQ(n, want.size());
}

TEST_F(LogFile, PiecesNeverSplitASurrogatePair) {
  // A pair across every place the halving can cut converts to one default
  // character, never two.
  for (size_t at : {size_t(4999), size_t(100), size_t(9998)}) {
    std::u16string text(10000, u'a');
    text[at] = 0xD83D;
    text[at + 1] = 0xDE00;
    std::string got = written(text);
    ASSERT_EQ(got.size(), 9999u) << at;
    EXPECT_EQ(got[at], '?') << at;
    EXPECT_EQ(got.find('?'), got.rfind('?')) << at;
  }
}

TEST_F(LogFile, CharactersOutsideTheCodePageBecomeItsDefault) {
  EXPECT_EQ(written(u"caf\u00e9 \u20ac5\r\n"), "caf\xe9 ?5\r\n");
  EXPECT_EQ(written(u""), "");
}

TEST_F(LogFile, SaveReplacesAnEarlierLogWithTheWholeConsole) {
  resetConsole();
  {
    std::ofstream old(path(), std::ios::binary);
    old << std::string(5000, 'x');
  }
  appendLine(u"first line");
  appendText(u"unfinished");
  saveConsoleLog();
  EXPECT_EQ(read(), "first line\r\nunfinished");
}

TEST_F(LogFile, AFullConsoleIsSavedWhole) {
  resetConsole();
  std::string want;
  for (int i = 0; want.size() < 9000; i++) {
    std::string line = "entry " + std::to_string(i);
    std::u16string w(line.begin(), line.end());
    appendLine(w.c_str());
    want += line + "\r\n";
  }
  saveConsoleLog();
  std::string got = read();
  // The console keeps its newest 8191 characters; the log has every one.
  EXPECT_EQ(got.size(), size_t(consoleLog.textLength));
  EXPECT_GT(got.size(), 8000u);
  EXPECT_EQ(want.compare(want.size() - got.size(), got.size(), got), 0);
}

TEST_F(LogFile, AConsoleFilledToItsLastUnitIsSavedToItsLastCharacter) {
  resetConsole();
  // One unfinished line longer than the store: the console keeps its newest
  // 8191 characters, every unit but the terminator's.
  std::string text;
  for (int i = 0; i < 9000; i++) text += char('a' + i % 26);
  std::u16string wide(text.begin(), text.end());
  appendText(wide.c_str());
  ASSERT_EQ(consoleLog.textLength, CONSOLE_TEXT_CHARS - 1);
  saveConsoleLog();
  EXPECT_EQ(read(), text.substr(text.size() - size_t(CONSOLE_TEXT_CHARS - 1)));
}

TEST_F(LogFile, NoFolderNoLog) {
  resetConsole();
  appendLine(u"text");
  sim::world.system.tempExists = false;
  rmdir((root + "/Temp").c_str());
  saveConsoleLog();  // must not fail or write anywhere else
  EXPECT_NE(access((root + "/Temp").c_str(), F_OK), 0);
  EXPECT_NE(access(path().c_str(), F_OK), 0);
}

}  // namespace
