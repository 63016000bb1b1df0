#include "ip/ipv4.h"

namespace sim {

bool parseIpv4(const std::string& text, uint32_t& out) {
  uint32_t value = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    uint32_t part = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      part = part * 10 + uint32_t(text[i] - '0');
      if (++digits > 3 || part > 255) return false;
      i++;
    }
    value = (value << 8) | part;
    parts++;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      i++;
    }
  }
  if (i != text.size()) return false;
  out = value;
  return true;
}

std::string formatIpv4(uint32_t v) {
  return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255) + "." +
         std::to_string((v >> 8) & 255) + "." + std::to_string(v & 255);
}

uint32_t toNetwork(uint32_t h) {
  return ((h & 0xFF) << 24) | ((h & 0xFF00) << 8) | ((h >> 8) & 0xFF00) | (h >> 24);
}
uint32_t fromNetwork(uint32_t n) { return toNetwork(n); }

}  // namespace sim
