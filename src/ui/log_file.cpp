// The exit tap's log: the whole console text, 8-bit in the default code
// page, with the console's CR LF line ends and nothing else.
#include "console/console.h"
#include "ui/main_window.h"

namespace {

char logBuffer[LOG_BUFFER_BYTES];
// A steady copy of the console, so the store is not held while converting
// and writing.
char16_t logText[CONSOLE_TEXT_CHARS];

bool highSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }

}  // namespace

// The whole text normally converts into the buffer at once and is written
// as one block. When it does not fit (a code page that takes more than one
// byte for some characters), the text is converted and written in pieces
// instead, halving the piece until it fits, so that nothing is lost. A
// piece never ends between the two halves of a surrogate pair.
size_t writeLogText(plat::FILEHANDLE file, const char16_t* text, int32_t length) {
  size_t written = 0;
  while (length > 0) {
    int32_t piece = length;
    int bytes = 0;
    for (;;) {
      if (piece < length && piece > 1 && highSurrogate(text[piece - 1])) piece--;
      bytes = plat::wideCharToMultiByte(plat::CP_ACP, 0, text, piece, logBuffer, LOG_BUFFER_BYTES,
                                        nullptr, nullptr);
      if (bytes > 0 || piece == 1) break;
      piece /= 2;
    }
    // Text that does not convert at all ends the log where it stands.
    if (bytes <= 0) break;
    written += plat::fileWrite(logBuffer, 1, size_t(bytes), file);
    text += piece;
    length -= piece;
  }
  return written;
}

// A log that cannot be created (no "\Temp" folder, say) is not written;
// the program closes all the same, as the user asked.
void saveConsoleLog() {
  plat::FILEHANDLE file = plat::fileOpen(LOG_FILE_PATH, "w");
  if (!file) return;
  lockConsole();
  int32_t length = 0;
  while (length < CONSOLE_TEXT_CHARS - 1 && consoleLog.consoleText[length]) {
    logText[length] = consoleLog.consoleText[length];
    length++;
  }
  unlockConsole();
  writeLogText(file, logText, length);
  plat::fileClose(file);
}
