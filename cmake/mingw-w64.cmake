# Cross-building the product for Windows with Debian's MinGW-w64.
#   cmake -S . -B build-win/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake -S . -B build-win/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQV_WIN_ARCH=i686
# QV_WIN_ARCH: x86_64 (64-bit desktop Windows) or i686 (32-bit, the
# handheld's pointer and time sizes). The -posix variant of GCC is the one
# whose runtime has threads.
set(QV_WIN_ARCH x86_64 CACHE STRING "x86_64 or i686")
set_property(CACHE QV_WIN_ARCH PROPERTY STRINGS x86_64 i686)
if(NOT QV_WIN_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "QV_WIN_ARCH must be x86_64 or i686, not '${QV_WIN_ARCH}'")
endif()
# try_compile projects see the same architecture.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_WIN_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QV_WIN_ARCH})

set(QV_MINGW_TRIPLE ${QV_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLE}-windres)

# Headers and libraries come from the cross sysroot only; build tools from
# the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
