// The few things the conformance program needs from Windows beyond our
// platform layer, kept apart so that its main file never sees the Windows
// headers (whose macros would rewrite our names).
#pragma once
#include <cstddef>

#include "platform/core.h"

// GetModuleHandle(nullptr): the program's own instance.
plat::HINSTANCE hostInstance();
// CreateThread with stackSize as it is and no flags: the size is then the
// commit, and the thread reserves the program's default stack. Null on
// failure.
plat::HANDLE hostCommittedThread(plat::ThreadProc proc, size_t stackSize);
// The address space reserved for the calling thread's stack (the whole
// reservation its stack pointer lies in), in bytes.
size_t hostStackReservation();
