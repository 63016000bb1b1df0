// Threads, sleep and the lock (a critical section).
#include "platform/core.h"

#include <windows.h>

#include "platform/win32/layout.h"

static_assert(sizeof(::CRITICAL_SECTION) <= sizeof(plat::CRITICAL_SECTION) &&
                  alignof(::CRITICAL_SECTION) <= alignof(plat::CRITICAL_SECTION),
              "a critical section must fit the opaque lock record");

// A thread entry is called by the system with WINAPI's convention; ours is
// declared with it (a plain function would not convert to ThreadProc on
// x86-32), and its argument and result are the published ones' sizes.
static_assert(std::is_same_v<plat::ThreadProc, QvWinapiPointer<plat::DWORD, void*>>,
              "thread entries must have the platform's calling convention");
static_assert(sizeof(plat::DWORD) == sizeof(::DWORD));

namespace {
::CRITICAL_SECTION* native(plat::CRITICAL_SECTION* cs) {
  return reinterpret_cast<::CRITICAL_SECTION*>(cs->opaque);
}
}  // namespace

namespace plat {

// Without STACK_SIZE_PARAM_IS_A_RESERVATION the device ignores the size
// and desktop Windows takes it as the commit, leaving every thread the
// program's default reservation (2 MiB here): a few hundred overlapping
// probe threads would then use up a 32-bit address space. With the flag the
// size is the reservation on both, and the stack is committed as it grows.
HANDLE createThread(ThreadProc proc, void* param, size_t stackSize, DWORD* threadId) {
  auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(proc);
  ::DWORD flags = stackSize ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0;
  ::DWORD id = 0;
  ::HANDLE h = ::CreateThread(nullptr, stackSize, start, param, flags, &id);
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
