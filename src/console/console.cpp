#include "console/console.h"

#include "platform/assert.h"
#include "platform/window.h"

ConsoleLog consoleLog;
plat::HWND mainWindow;

namespace {

// The locks exist before any thread can write.
const bool locksReady = [] {
  plat::initializeCriticalSection(&consoleLog.storeLock);
  plat::initializeCriticalSection(&consoleLog.lineLock);
  return true;
}();

constexpr int32_t TEXT_ROOM = CONSOLE_TEXT_CHARS - 1;  // one unit for the terminator

// What holds of the store between appends (the caller holds the store
// lock): the text fits its room and ends in its terminator, the line table
// has a slot for the unfinished line, the unfinished line lies inside the
// text, and the view starts at most one line past it.
void checkStore() {
  const ConsoleLog& c = consoleLog;
  QV_ASSERT(c.textLength >= 0 && c.textLength <= TEXT_ROOM, "the text fits the store");
  QV_ASSERT(c.consoleText[c.textLength] == 0, "the text ends in its terminator");
  QV_ASSERT(c.currentLine >= 0 && c.currentLine < CONSOLE_LINES, "the line table has room");
  QV_ASSERT(c.lineLengths[c.currentLine] >= 0 && c.lineLengths[c.currentLine] <= c.textLength,
            "the unfinished line lies inside the text");
  QV_ASSERT(c.firstVisibleLine >= 0 && c.firstVisibleLine <= c.currentLine + 1,
            "the view starts at most one line past the unfinished one");
}

// Drops the oldest completed line. The caller holds the store lock.
void dropOldestLine() {
  ConsoleLog& c = consoleLog;
  QV_ASSERT(c.currentLine > 0, "only a completed line is dropped");
  int32_t k = c.lineLengths[0];
  for (int32_t i = k; i <= c.textLength; i++) c.consoleText[i - k] = c.consoleText[i];
  for (int32_t i = 1; i <= c.currentLine; i++) c.lineLengths[i - 1] = c.lineLengths[i];
  c.lineLengths[c.currentLine] = 0;
  c.currentLine--;
  c.textLength -= k;
  if (c.firstVisibleLine > 0) c.firstVisibleLine--;
  c.droppedLines++;
}

// Drops the oldest n units of the unfinished line (only when it is the only
// line left and still does not leave room).
void dropLineStart(int32_t n) {
  ConsoleLog& c = consoleLog;
  for (int32_t i = n; i <= c.textLength; i++) c.consoleText[i - n] = c.consoleText[i];
  c.lineLengths[0] -= n;
  c.textLength -= n;
}

void rebuildView() {
  ConsoleLog& c = consoleLog;
  int32_t offset = 0;
  int32_t n = 0;
  if (c.firstVisibleLine <= c.currentLine) {
    for (int32_t i = 0; i < c.firstVisibleLine; i++) offset += c.lineLengths[i];
    n = c.textLength - offset;
    if (n > VIEW_CHARS) n = VIEW_CHARS;
  }
  for (int32_t i = 0; i < n; i++) c.viewText[i] = c.consoleText[offset + i];
  c.viewText[n] = 0;
}

void repaint() {
  if (!mainWindow) return;
  plat::invalidateRect(mainWindow, nullptr, 0);
  plat::updateWindow(mainWindow);
}

void append(const char16_t* text, bool endLine) {
  ConsoleLog& c = consoleLog;
  int32_t len = 0;
  while (text[len]) len++;
  const char16_t* piece = text;
  int32_t extra = endLine ? 2 : 0;
  // The newest text is never what is lost: a piece longer than the whole
  // store keeps its end.
  if (len + extra > TEXT_ROOM) {
    piece += len + extra - TEXT_ROOM;
    len = TEXT_ROOM - extra;
  }

  plat::enterCriticalSection(&c.lineLock);
  plat::enterCriticalSection(&c.storeLock);
  while (c.currentLine > 0 && (c.textLength + len + extra > TEXT_ROOM ||
                               (endLine && c.currentLine + 1 >= CONSOLE_LINES)))
    dropOldestLine();
  if (c.textLength + len + extra > TEXT_ROOM) dropLineStart(c.textLength + len + extra - TEXT_ROOM);

  for (int32_t i = 0; i < len; i++) c.consoleText[c.textLength + i] = piece[i];
  c.textLength += len;
  if (endLine) {
    c.consoleText[c.textLength++] = u'\r';
    c.consoleText[c.textLength++] = u'\n';
  }
  c.consoleText[c.textLength] = 0;
  c.lineLengths[c.currentLine] += len + extra;
  if (endLine) {
    c.currentLine++;
    if (c.currentLine > AUTO_SCROLL_LINES && c.firstVisibleLine <= c.currentLine)
      c.firstVisibleLine++;
  }
  rebuildView();
  checkStore();
  // Echoed on the debug channel under the store's lock, so that the channel
  // never lags behind what a save can see (a save between the two would
  // leave a log holding text the channel never got).
  plat::outputDebugString(piece);
  if (endLine) plat::outputDebugString(u"\r\n");
  plat::leaveCriticalSection(&c.storeLock);
  repaint();
  plat::leaveCriticalSection(&c.lineLock);
}

}  // namespace

void appendText(const char16_t* text) { append(text, false); }
void appendLine(const char16_t* text) { append(text, true); }

void refreshView() {
  plat::enterCriticalSection(&consoleLog.storeLock);
  rebuildView();
  plat::leaveCriticalSection(&consoleLog.storeLock);
  repaint();
}

void beginConsoleLine() { plat::enterCriticalSection(&consoleLog.lineLock); }
void endConsoleLine() { plat::leaveCriticalSection(&consoleLog.lineLock); }

void scrollConsole(int lines) {
  ConsoleLog& c = consoleLog;
  plat::enterCriticalSection(&c.storeLock);
  int64_t v = int64_t(c.firstVisibleLine) + lines;
  if (v < 0) v = 0;
  if (v > c.currentLine + 1) v = c.currentLine + 1;
  c.firstVisibleLine = int32_t(v);
  checkStore();
  plat::leaveCriticalSection(&c.storeLock);
  refreshView();
}

void lockConsole() { plat::enterCriticalSection(&consoleLog.storeLock); }
void unlockConsole() { plat::leaveCriticalSection(&consoleLog.storeLock); }
