#include "harness/host.h"

namespace sim {

Host host;

std::string hostPath(const char16_t* devicePath) {
  std::string p = host.root;
  std::u16string d(devicePath);
  if (d.empty() || (d[0] != u'\\' && d[0] != u'/')) p += "/";
  for (char16_t c : d) p += (c == u'\\') ? '/' : char(c < 0x80 ? c : '_');
  return p;
}

}  // namespace sim
