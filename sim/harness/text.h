// Text between the host (UTF-8: scenario files, the command line, the
// trace, the echoed console) and the device (UTF-16).
#pragma once
#include <string>

namespace sim {

// UTF-8 to UTF-16; whatever the bytes, it reads no further than their end,
// and a byte that starts no well-formed sequence becomes U+FFFD alone.
std::u16string widen(const std::string& s);
// UTF-16 to UTF-8; an unpaired surrogate is encoded as it stands.
std::string utf8(const std::u16string& s);

}  // namespace sim
