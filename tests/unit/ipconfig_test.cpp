#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console_testing.h"
#include "ipconfig/adapters.h"
#include "ipconfig/address_ops.h"

namespace {

TEST(Classify, RangesAreTextualAndStrict) {
  EXPECT_EQ(classifyText("0.0.0.0"), 1);
  EXPECT_EQ(classifyText("169.254.7.1"), 2);
  for (const char* a : {"10.0.0.2", "172.16.5.4", "172.31.255.1", "192.168.1.33"})
    EXPECT_EQ(classifyText(a), 0) << a;
  for (const char* a : {"172.32.0.1", "192.169.0.1", "8.8.8.8", ""})
    EXPECT_EQ(classifyText(a), -1) << a;
  // Text order, not number order.
  EXPECT_EQ(classifyText("100.64.0.1"), 0);
  EXPECT_EQ(classifyText("169.30.0.1"), 2);
  EXPECT_EQ(classifyText("172.100.0.1"), -1);
  // Bounds themselves lie outside.
  for (const char* a : {"10.", "11.", "169.254", "170", "172.16.", "192.168", "192.169"})
    EXPECT_EQ(classifyText(a), -1) << a;
  EXPECT_EQ(classifyText("0.0.0.00"), -1);
}

std::u16string lease(int32_t t, int32_t bias, int32_t daylight) {
  runState.bias = bias;
  runState.daylightBias = daylight;
  formatLeaseTime(t);
  return runState.scratch;
}

TEST(LeaseTime, BiasesMoveTheHourAndTheDate) {
  const int32_t oct4 = 1159999999 + 1;  // 2006-10-04 22:13:20 UTC
  EXPECT_EQ(lease(oct4, 0, 0), u"10/04/06 22:13:20 local");
  EXPECT_EQ(lease(oct4, 300, -60), u"10/04/06 18:13:20 local");
  EXPECT_EQ(lease(1136073600, -330, 0), u"1/01/06 5:00:00 local");  // half hour dropped
  EXPECT_EQ(lease(0, 0, 0), u"1/01/70 0:00:00 local");
  // Past midnight the date moves with the hour.
  EXPECT_EQ(lease(oct4, -180, 0), u"10/05/06 1:13:20 local");
  EXPECT_EQ(lease(0, 60, 0), u"12/31/69 23:00:00 local");
  EXPECT_EQ(lease(INT32_MIN, 0, 0), u"12/13/01 20:45:52 local");
  runState.bias = runState.daylightBias = 0;
}

// Builds adapter records the way the IP helper lays them out.
struct AdapterBlock {
  std::vector<uint8_t> bytes;
  explicit AdapterBlock(size_t n) : bytes(n) {}
  template <typename T>
  T* at(size_t offset) {
    return reinterpret_cast<T*>(bytes.data() + offset);
  }
};

void setEntry(plat::IP_ADDR_STRING* e, const char* address, const char* mask,
              plat::IP_ADDR_STRING* next) {
  std::strncpy(e->IpAddress.String, address, 15);
  std::strncpy(e->IpMask.String, mask, 15);
  e->Next = next;
}

TEST(ConnectionData, TwoAddressesNoGatewayDhcpOffThreeDns) {
  resetConsole();
  std::memcpy(runState.nicName, u"WLAGN1", 14);
  AdapterBlock list(sizeof(plat::IP_ADAPTER_INFO) * 2 + sizeof(plat::IP_ADDR_STRING));
  auto* other = list.at<plat::IP_ADAPTER_INFO>(0);
  auto* wlan = list.at<plat::IP_ADAPTER_INFO>(sizeof(plat::IP_ADAPTER_INFO));
  auto* second = list.at<plat::IP_ADDR_STRING>(2 * sizeof(plat::IP_ADAPTER_INFO));
  std::strcpy(other->AdapterName, "ETH0");
  other->Next = wlan;
  std::strcpy(wlan->AdapterName, "WLAGN1");
  setEntry(&wlan->IpAddressList, "192.168.1.33", "255.255.255.0", second);
  setEntry(second, "10.1.2.3", "255.0.0.0", nullptr);
  wlan->DhcpEnabled = 0;
  AdapterBlock params(sizeof(plat::FIXED_INFO) + 2 * sizeof(plat::IP_ADDR_STRING));
  auto* fixed = params.at<plat::FIXED_INFO>(0);
  auto* dns2 = params.at<plat::IP_ADDR_STRING>(sizeof(plat::FIXED_INFO));
  auto* dns3 = dns2 + 1;
  setEntry(&fixed->DnsServerList, "192.168.1.1", "", dns2);
  setEntry(dns2, "8.8.4.4", "", dns3);
  setEntry(dns3, "9.9.9.9", "", nullptr);

  adapterSnapshot = {reinterpret_cast<plat::IP_ADAPTER_INFO*>(list.bytes.data()),
                     plat::ULONG(list.bytes.size()),
                     fixed,
                     plat::ULONG(params.bytes.size()),
                     wlan,
                     0};
  printConnectionData();
  EXPECT_EQ(std::u16string(consoleLog.consoleText),
            u"-Connection data:\r\n"
            u"IP Address 0:      192.168.1.33\r\n"
            u"IP Mask 0:         255.255.255.0\r\n"
            u"IP Address 1:      10.1.2.3\r\n"
            u"IP Mask 1:         255.0.0.0\r\n"
            u"Gateway 0:         \r\n"
            u"DHCP Enabled: No\r\n"
            u"DNS Servers:       192.168.1.1\r\n"
            u"                   8.8.4.4\r\n"
            u"                   9.9.9.9\r\n");

  // A link that leaves the block, or a chain that loops, ends the walk.
  resetConsole();
  dns3->Next = dns2;
  second->Next = reinterpret_cast<plat::IP_ADDR_STRING*>(0x10);
  printConnectionData();
  std::u16string t(consoleLog.consoleText);
  EXPECT_EQ(t.find(u"IP Address 2"), std::u16string::npos);
  EXPECT_LT(consoleLog.currentLine, 8 + MAX_CHAIN + 2);

  // Without a current adapter only the DNS lines remain.
  resetConsole();
  adapterSnapshot.currentAdapter = nullptr;
  dns3->Next = nullptr;
  printConnectionData();
  EXPECT_EQ(std::u16string(consoleLog.consoleText).substr(0, 32),
            u"DNS Servers:       192.168.1.1\r\n");
  EXPECT_STREQ(currentAddress(), "0.0.0.0");
  EXPECT_EQ(classifyAddress(), 1);
  adapterSnapshot = AdapterSnapshot{};
}

TEST(ConnectionData, AddressTextsAreReadWithinTheirField) {
  plat::IP_ADDRESS_STRING s;
  std::memset(s.String, '7', sizeof s.String);  // no terminator
  char out[17];
  addressText(s, out);
  EXPECT_EQ(std::strlen(out), 16u);
}

std::u16string releaseLine(const std::u16string& message, plat::DWORD code, size_t capacity = 80) {
  char16_t out[80];
  formatReleaseError(out, capacity, message.c_str(), plat::DWORD(message.size()), code);
  return out;
}

// The error code is what the line is for: it is never cut, whatever the
// message, and the line never breaks.
TEST(ReleaseErrorLine, CodeStaysWholeAndTheLineOne) {
  EXPECT_EQ(releaseLine(u"The network location cannot be reached.\r\n", 1231),
            u"EThe network location cannot be reached.-1231");
  const std::u16string longText(104, u'm');
  for (plat::DWORD code : {5u, 1231u, 4294967295u}) {
    std::u16string line = releaseLine(longText, code);
    std::u16string tail = u"-" + std::u16string(releaseLine(u"", code)).substr(2);
    EXPECT_EQ(line.size(), 79u);
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << code;
  }
  EXPECT_EQ(releaseLine(u"", 4294967295u), u"E-4294967295");
  // A cut that ends on a blank drops it; so does a line end.
  EXPECT_EQ(releaseLine(std::u16string(72, u'a') + u" bbbbbbbbbb", 1231),
            u"E" + std::u16string(72, u'a') + u"-1231");
  // Line breaks are one blank each, a tab a blank; nothing may start a new line.
  std::u16string broken = releaseLine(u"One.\r\nTwo.\nThree.\r\r\n\tFour.\n", 5);
  EXPECT_EQ(broken, u"EOne. Two. Three.  Four.-5");
  // Characters the console cannot show are one placeholder each, a pair of
  // surrogates included; a lone one too.
  EXPECT_EQ(releaseLine(u"Param\u00e8tre \u2013 \U0001F4F6\x01\x7f\x85\xd800!", 87),
            u"EParam\u00e8tre ? ????"
            u"?!-87");
  // A text without its terminator is read no further than its length.
  char16_t out[80];
  const char16_t unterminated[3] = {u'a', u'b', u'c'};
  formatReleaseError(out, 80, unterminated, 2, 7);
  EXPECT_EQ(std::u16string(out), u"Eab-7");
  // A line too small for anything but the code keeps what fits of "E-code".
  EXPECT_EQ(releaseLine(u"text", 1231, 4), u"E-1");
}

}  // namespace
