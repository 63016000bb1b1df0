// The diagnostic run: the worker thread's check sequence.
#pragma once
#include "platform/types.h"

// The worker thread's entry; the parameter is not used.
plat::DWORD QV_CALLBACK diagnosticRun(void* unused);

// The GMT hour of the clock line, brought into 0..23 (see frame.cpp). The
// lease line does not use it: its hour moves the date with it.
int wrapHour(int hour);
