// The diagnostic run: the worker thread's check sequence.
#pragma once
#include "platform/types.h"

// The worker thread's entry; the parameter is not used.
plat::DWORD QV_CALLBACK diagnosticRun(void* unused);

// The hour of the clock and lease lines, brought into 0..23 (see frame.cpp).
int wrapHour(int hour);
