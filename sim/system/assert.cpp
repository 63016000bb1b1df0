// QV_ASSERT's end on the simulated handheld (platform/assert.h). Its own
// file, so that the fuzz targets, which link the loader and not the
// simulated services, have it too.
#include "platform/assert.h"

#include <cstdio>
#include <cstdlib>

namespace plat {

// A broken invariant of the program or of the simulator itself: the
// message on standard error, then an abort, whatever the build.
void assertionFailed(const char* file, int line, const char* condition, const char* why) {
  std::fflush(stdout);
  std::fprintf(stderr, "quorvelta-sim: assertion failed: %s:%d: %s: %s\n", file, line, condition,
               why);
  std::abort();
}

}  // namespace plat
