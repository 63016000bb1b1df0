#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console_testing.h"
#include "ipconfig/adapters.h"

namespace {

TEST(Classify, RangesAreTextualAndStrict) {
  EXPECT_EQ(classifyText("0.0.0.0"), 1);
  EXPECT_EQ(classifyText("169.254.7.1"), 2);
  for (const char* a : {"10.0.0.2", "172.16.5.4", "172.31.255.1", "192.168.1.33"}) EXPECT_EQ(classifyText(a), 0) << a;
  for (const char* a : {"172.32.0.1", "192.169.0.1", "8.8.8.8", ""}) EXPECT_EQ(classifyText(a), -1) << a;
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
  const int32_t oct4 = 1159999999 + 1; // 2006-10-04 22:13:20 UTC
  EXPECT_EQ(lease(oct4, 0, 0), u"10/04/06 22:13:20 local");
  EXPECT_EQ(lease(oct4, 300, -60), u"10/04/06 18:13:20 local");
  EXPECT_EQ(lease(1136073600, -330, 0), u"1/01/06 5:00:00 local"); // half hour dropped
  EXPECT_EQ(lease(0, 0, 0), u"1/01/70 0:00:00 local");
  // Past midnight the date moves with the hour.
  EXPECT_EQ(lease(oct4, -180, 0), u"10/05/06 1:13:20 local");
  EXPECT_EQ(lease(0, 60, 0), u"12/31/69 23:00:00 local");
  EXPECT_EQ(lease(INT32_MIN, 0, 0), u"12/13/01 20:45:52 local");
  runState.bias = runState.daylightBias = 0;
}

// Builds adapter records the way the IP helper lays them out.
struct Block {
  std::vector<uint8_t> bytes;
  explicit Block(size_t n) : bytes(n) {}
  template <typename T> T* at(size_t offset) { return reinterpret_cast<T*>(bytes.data() + offset); }
};

void setEntry(plat::IP_ADDR_STRING* e, const char* address, const char* mask, plat::IP_ADDR_STRING* next) {
  std::strncpy(e->IpAddress.String, address, 15);
  std::strncpy(e->IpMask.String, mask, 15);
  e->Next = next;
}

TEST(ConnectionData, TwoAddressesNoGatewayDhcpOffThreeDns) {
  resetConsole();
  std::memcpy(runState.nicName, u"WLAGN1", 14);
  Block list(sizeof(plat::IP_ADAPTER_INFO) * 2 + sizeof(plat::IP_ADDR_STRING));
  auto* other = list.at<plat::IP_ADAPTER_INFO>(0);
  auto* wlan = list.at<plat::IP_ADAPTER_INFO>(sizeof(plat::IP_ADAPTER_INFO));
  auto* second = list.at<plat::IP_ADDR_STRING>(2 * sizeof(plat::IP_ADAPTER_INFO));
  std::strcpy(other->AdapterName, "ETH0");
  other->Next = wlan;
  std::strcpy(wlan->AdapterName, "WLAGN1");
  setEntry(&wlan->IpAddressList, "192.168.1.33", "255.255.255.0", second);
  setEntry(second, "10.1.2.3", "255.0.0.0", nullptr);
  wlan->DhcpEnabled = 0;
  Block params(sizeof(plat::FIXED_INFO) + 2 * sizeof(plat::IP_ADDR_STRING));
  auto* fixed = params.at<plat::FIXED_INFO>(0);
  auto* dns2 = params.at<plat::IP_ADDR_STRING>(sizeof(plat::FIXED_INFO));
  auto* dns3 = dns2 + 1;
  setEntry(&fixed->DnsServerList, "192.168.1.1", "", dns2);
  setEntry(dns2, "8.8.4.4", "", dns3);
  setEntry(dns3, "9.9.9.9", "", nullptr);

  adapterSnapshot = {reinterpret_cast<plat::IP_ADAPTER_INFO*>(list.bytes.data()), plat::ULONG(list.bytes.size()),
                     fixed, plat::ULONG(params.bytes.size()), wlan, 0};
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
  EXPECT_EQ(std::u16string(consoleLog.consoleText).substr(0, 32), u"DNS Servers:       192.168.1.1\r\n");
  EXPECT_STREQ(currentAddress(), "0.0.0.0");
  EXPECT_EQ(classifyAddress(), 1);
  adapterSnapshot = AdapterSnapshot{};
}

TEST(ConnectionData, AddressTextsAreReadWithinTheirField) {
  plat::IP_ADDRESS_STRING s;
  std::memset(s.String, '7', sizeof s.String); // no terminator
  char out[17];
  addressText(s, out);
  EXPECT_EQ(std::strlen(out), 16u);
}

} // namespace
