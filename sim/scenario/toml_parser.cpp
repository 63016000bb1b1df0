// The TOML parser's own code, compiled into the simulator when it is linked
// statically (QV_STATIC_SIM in CMakeLists.txt); otherwise the shared
// library provides it and this file is not built.
#define TOML_IMPLEMENTATION
#include <toml++/toml.h>
