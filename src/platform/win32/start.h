// What the process start (main.cpp) keeps for the rest of the back end.
#pragma once

namespace plat {
// WinMain's command line (the arguments without the program's name), for
// the run; null before the start.
extern const char16_t* startCommandLine;
}  // namespace plat
