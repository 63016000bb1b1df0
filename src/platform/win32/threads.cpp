// Threads, sleep and the lock (a critical section).
#include "platform/core.h"

#include <windows.h>

#include "platform/win32/layout.h"

static_assert(sizeof(::CRITICAL_SECTION) <= sizeof(plat::CRITICAL_SECTION) &&
                  alignof(::CRITICAL_SECTION) <= alignof(plat::CRITICAL_SECTION),
              "a critical section must fit the opaque lock record");

namespace {
::CRITICAL_SECTION* native(plat::CRITICAL_SECTION* cs) {
  return reinterpret_cast<::CRITICAL_SECTION*>(cs->opaque);
}
}  // namespace

namespace plat {

HANDLE createThread(ThreadProc proc, void* param, size_t stackSize, DWORD* threadId) {
  // One calling convention on x64, and the same argument and result types:
  // the thread entry is handed over as it is.
  auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(proc));
  ::DWORD id = 0;
  ::HANDLE h = ::CreateThread(nullptr, stackSize, start, param, 0, &id);
  if (threadId) *threadId = id;
  return reinterpret_cast<HANDLE>(h);
}

BOOL closeHandle(HANDLE handle) { return ::CloseHandle(reinterpret_cast<::HANDLE>(handle)); }

void exitThread(DWORD code) { ::ExitThread(code); }

void sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

void initializeCriticalSection(CRITICAL_SECTION* cs) { ::InitializeCriticalSection(native(cs)); }
void enterCriticalSection(CRITICAL_SECTION* cs) { ::EnterCriticalSection(native(cs)); }
void leaveCriticalSection(CRITICAL_SECTION* cs) { ::LeaveCriticalSection(native(cs)); }

}  // namespace plat
