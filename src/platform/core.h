// Core services: threads, sleep, clock and time zone, command line, text
// conversion, memory, files, sound, system messages, process exit and the
// lock primitive.
#pragma once
#include "platform/types.h"

namespace plat {

// ---- threads ----------------------------------------------------------------
using ThreadProc = DWORD(QV_CALLBACK*)(void* param);
// CreateThread. stackSize is the stack's reservation (the address space the
// thread's stack may grow into), not its commit: 0 means the program's
// default reservation. The device honours a size only as a reservation, and
// every thread's reservation comes out of the process's address space (2 GiB
// on a 32-bit process), so a program that runs hundreds of threads at once
// must ask for small ones. threadId may be null.
HANDLE createThread(ThreadProc proc, void* param, size_t stackSize, DWORD* threadId);
BOOL closeHandle(HANDLE handle);
[[noreturn]] void exitThread(DWORD code);
[[noreturn]] void exitProcess(UINT code);
void sleep(DWORD milliseconds);
DWORD getLastError();
void setLastError(DWORD code);

// ---- lock -------------------------------------------------------------------
// A recursive lock with the semantics of a critical section. The storage is
// opaque and large enough for either back end; a zeroed record must be
// initialised before use.
struct CRITICAL_SECTION {
  alignas(16) unsigned char opaque[64];
};
void initializeCriticalSection(CRITICAL_SECTION* cs);
void enterCriticalSection(CRITICAL_SECTION* cs);
void leaveCriticalSection(CRITICAL_SECTION* cs);

// ---- time -------------------------------------------------------------------
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct TIME_ZONE_INFORMATION {
  LONG Bias;
  char16_t StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  char16_t DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFF;

void getLocalTime(SYSTEMTIME* out);
DWORD getTimeZoneInformation(TIME_ZONE_INFORMATION* out);
BOOL fileTimeToSystemTime(const FILETIME* in, SYSTEMTIME* out);

// ---- process ----------------------------------------------------------------
// The command line as the program receives it (on the device: the arguments
// only, never the program name).
const char16_t* getCommandLine();

// ---- text conversion --------------------------------------------------------
constexpr UINT CP_ACP = 0;
// WideCharToMultiByte / MultiByteToWideChar. A source length of -1 means
// NUL-terminated (the terminator is converted and counted too).
int wideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcChars, char* dst,
                        int dstBytes, const char* defaultChar, BOOL* usedDefault);
int multiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst,
                        int dstChars);

// ---- memory -----------------------------------------------------------------
// malloc / free; allocate may answer null.
void* allocate(size_t bytes);
void release(void* block);

// ---- files (stdio fashion) --------------------------------------------------
struct FileTag;
using FILEHANDLE = FileTag*;
FILEHANDLE fileOpen(const char16_t* path, const char* mode);
size_t fileWrite(const void* data, size_t size, size_t count, FILEHANDLE file);
int fileClose(FILEHANDLE file);

// ---- sound ------------------------------------------------------------------
constexpr UINT SND_ASYNC = 0x0001;
BOOL playSound(const char16_t* fileName, UINT flags);

// ---- system message text ----------------------------------------------------
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD LANG_USER_DEFAULT = 0x0400;
// FormatMessage with FORMAT_MESSAGE_ALLOCATE_BUFFER: *allocated receives a
// text to be given back with localFree. Answers the text's length, 0 when no
// text exists for the code.
DWORD formatMessage(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                    char16_t** allocated, DWORD size, void* arguments);
void localFree(void* block);

// ---- debug channel ----------------------------------------------------------
// OutputDebugString: text for an attached debugger (the simulated handheld
// echoes it to its standard output).
void outputDebugString(const char16_t* text);

}  // namespace plat
