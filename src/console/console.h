// The console: everything the run writes, the line table, the scroll offset
// and the view the window draws.
#pragma once
#include <cstdint>

#include "platform/core.h"
#include "platform/types.h"

constexpr int CONSOLE_TEXT_CHARS = 8192;
constexpr int CONSOLE_LINES = 2048;
constexpr int VIEW_CHARS = 1152;
constexpr int AUTO_SCROLL_LINES = 23;

struct ConsoleLog {
  char16_t consoleText[CONSOLE_TEXT_CHARS];
  int32_t lineLengths[CONSOLE_LINES];
  int32_t currentLine;
  int32_t firstVisibleLine;
  char16_t viewText[VIEW_CHARS + 1];
  // Length of consoleText, kept so that appends need not search for the end.
  int32_t textLength;
  // Whole lines dropped from the front to make room for newer text.
  int32_t droppedLines;
  // Guards every field above. Held only for short copies, never while
  // waiting for anything, so the window's thread can always paint.
  plat::CRITICAL_SECTION storeLock;
  // Held by a writer for the whole of an append, or of a pair of appends
  // that must make one line (beginConsoleLine / endConsoleLine). The window's
  // thread never takes it.
  plat::CRITICAL_SECTION lineLock;
};

extern ConsoleLog consoleLog;
// The one main window; set by the window's start-up before any text is
// written. While it is null nothing is repainted.
extern plat::HWND mainWindow;

void appendText(const char16_t* text);
void appendLine(const char16_t* text);
void refreshView();

// A writer that builds one line from several appends brackets them with
// these, so that no other writer's text lands inside the line.
void beginConsoleLine();
void endConsoleLine();

// For the window's thread: scroll by whole lines (never below 0, never more
// than one line past the unfinished one) and rebuild the view.
void scrollConsole(int lines);
// Readers that need the store steady (painting, saving) hold this.
void lockConsole();
void unlockConsole();
