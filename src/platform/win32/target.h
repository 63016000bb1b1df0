// Which Windows the back end is built for: the one switch between desktop
// Windows and the device.
//
//   QV_WINDOWS_DESKTOP=1  desktop Windows (x86-64 or x86-32, MinGW-w64 here):
//                         the back end makes desktop Windows behave as the
//                         device does where the two differ.
//   QV_WINDOWS_DESKTOP=0  the device (a CE toolchain): the platform's own
//                         behaviour is the program's, and nothing is adapted.
//
// The build sets it (CMakeLists.txt, from the toolchain file); every place
// that differs tests it, and docs/windows.md lists them.
#pragma once

#if !defined(QV_WINDOWS_DESKTOP) || (QV_WINDOWS_DESKTOP != 0 && QV_WINDOWS_DESKTOP != 1)
#error "QV_WINDOWS_DESKTOP must be defined as 0 (the device) or 1 (desktop Windows)"
#endif
