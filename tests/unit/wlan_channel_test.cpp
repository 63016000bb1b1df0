#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/format.h"
#include "wlan/channel.h"

namespace {

struct BindingReply {
  uint8_t bytes[BINDING_BUFFER_BYTES] = {};
  void set(uint32_t offset, uint32_t length, const std::u16string& name, uint32_t at) {
    plat::NDISUIO_QUERY_BINDING q{};
    q.DeviceNameOffset = offset;
    q.DeviceNameLength = length;
    std::memcpy(bytes, &q, sizeof q);
    if (at + name.size() * 2 <= sizeof bytes) std::memcpy(bytes + at, name.data(), name.size() * 2);
  }
};

TEST(BindingName, LengthIsInBytesAndTheTerminatorFollows) {
  BindingReply r;
  r.set(20, 18, u"WLAGN1234", 20);
  char16_t out[DEVICE_NAME_CHARS];
  std::fill(std::begin(out), std::end(out), u'X');
  ASSERT_TRUE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  EXPECT_EQ(std::u16string(out), u"WLAGN1234");
}

TEST(BindingName, NamesOutsideTheReplyOrTooLongAreRefused) {
  BindingReply r;
  char16_t out[DEVICE_NAME_CHARS] = u"keep";
  r.set(1020, 8, u"", 0);
  EXPECT_FALSE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  r.set(0xFFFFFFF0u, 32, u"", 0);
  EXPECT_FALSE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  r.set(20, 0xFFFFFFFEu, u"", 0);
  EXPECT_FALSE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  r.set(20, 2 * DEVICE_NAME_CHARS, u"", 0);  // fits the reply, not deviceName
  EXPECT_FALSE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  EXPECT_FALSE(readBindingName(r.bytes, 10, out, DEVICE_NAME_CHARS));
  EXPECT_EQ(std::u16string(out), u"keep");
  // The longest name that fits, and one at the very end of the reply.
  r.set(20, 2 * (DEVICE_NAME_CHARS - 1), u"", 0);
  EXPECT_TRUE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  r.set(1020, 4, u"ab", 1020);
  ASSERT_TRUE(readBindingName(r.bytes, sizeof r.bytes, out, DEVICE_NAME_CHARS));
  EXPECT_EQ(std::u16string(out), u"ab");
}

// The run's copy is the very text the driver requests carry, or nothing.
TEST(DeviceName, CopyIsWholeOrRefused) {
  const std::u16string longest(79, u'W');
  char16_t out[80];
  copyWide(wlanChannel.deviceName, DEVICE_NAME_CHARS, longest.c_str());
  ASSERT_TRUE(copyDeviceName(out, 80));
  EXPECT_EQ(std::u16string(out), longest);

  const std::u16string longer(80, u'W');
  copyWide(wlanChannel.deviceName, DEVICE_NAME_CHARS, longer.c_str());
  EXPECT_EQ(deviceNameLength(), 80u);
  EXPECT_FALSE(copyDeviceName(out, 80));
  EXPECT_EQ(out[0], u'\0');

  // The longest name the driver side holds.
  const std::u16string most(DEVICE_NAME_CHARS - 1, u'N');
  copyWide(wlanChannel.deviceName, DEVICE_NAME_CHARS, most.c_str());
  EXPECT_EQ(deviceNameLength(), size_t(DEVICE_NAME_CHARS - 1));
  EXPECT_FALSE(copyDeviceName(out, 80));
  char16_t whole[DEVICE_NAME_CHARS];
  ASSERT_TRUE(copyDeviceName(whole, DEVICE_NAME_CHARS));
  EXPECT_EQ(std::u16string(whole), most);
  wlanChannel = WlanChannel{};
}

}  // namespace
