// An SSID as a scenario writes it, read into the bytes the radio carries:
// the one rule for [[radio.network]] and [[ip.network]], so that the IP
// stack finds a network by the joined SSID's bytes whatever they are.
#include <cstdio>

#include "scenario/scenario.h"

namespace sim {

std::string loadSsid(Section& n) {
  std::string ssid;
  if (n.has("ssid") && n.has("ssid_bytes"))
    n.fail("ssid_bytes", "give ssid or ssid_bytes, not both");
  if (n.has("ssid")) {
    // SSIDs are 8-bit; the text is taken as ISO 8859-1, like the device's code page.
    for (char16_t c : widen(n.text("ssid", ""))) {
      if (c > 0xFF) {
        n.fail("ssid", "has a character outside ISO 8859-1 (use ssid_bytes)");
        return ssid;
      }
      ssid += char(c);
    }
  }
  for (int64_t b : n.integers("ssid_bytes", 0, 255)) ssid += char(uint8_t(b));
  if (ssid.size() > MAX_SSID_BYTES)
    n.fail(n.has("ssid") ? "ssid" : "ssid_bytes", "an SSID has at most 32 bytes");
  return ssid;
}

std::string ssidForMessage(const std::string& bytes) {
  std::string out;
  for (char b : bytes) {
    char16_t c = char16_t(static_cast<unsigned char>(b));
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
      out += hex;
    } else {
      out += utf8(std::u16string(1, c));
    }
  }
  return out;
}

}  // namespace sim
