// Until the radio model answers these, the adapter is on no network.
#include "radio_link.h"

namespace sim {
__attribute__((weak)) const std::string* associatedSsid() { return nullptr; }
__attribute__((weak)) uint64_t joinCount() { return 0; }
} // namespace sim
