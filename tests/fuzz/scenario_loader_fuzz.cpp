// The scenario loader on any text: it may refuse, with one message naming
// the file and a line, but it must never crash, hang or leave the world
// half loaded.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scenario/scenario.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  sim::World world;
  world.file = "untouched";
  std::string error;
  bool loaded = sim::loadScenario(text, "fuzz.toml", world, error);
  if (loaded) {
    require(error.empty() && world.file == "fuzz.toml");
  } else {
    // Refused: messages, one per line, each naming the file and a line; the
    // world as it was.
    require(error.rfind("quorvelta-sim: fuzz.toml:", 0) == 0 && error.back() == '\n' &&
            world.file == "untouched");
  }
  return 0;
}
