// Sounds: traced, never played.
#include "harness/trace.h"
#include "platform/core.h"
#include "system/switch_point.h"

namespace plat {

using namespace sim;

BOOL playSound(const char16_t* fileName, UINT flags) {
  sim::switchPoint();
  trace("PlaySound", {{"file", utf8(fileName)}, {"async", (flags & SND_ASYNC) != 0}});
  return 1;
}

}  // namespace plat
