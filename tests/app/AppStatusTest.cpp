#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "platform/MemorySettingsBackend.h"

#include <gtest/gtest.h>

namespace {

struct Status {
  Status() : store(std::make_unique<CMemorySettingsBackend>()), status(&store) {}
  CSettingsStore store;
  CAppStatus status;
};

std::uint32_t Field(const CAppStatus& status, std::uint32_t index) {
  std::uint32_t value = 0xDEAD;
  EXPECT_TRUE(status.GetModelField(index, value)) << index;
  return value;
}

}  // namespace

TEST(AppStatus, ModelFieldsFollowTheBitLayout) {
  Status s;
  std::uint8_t info[16] = {};
  info[11] = 0xA7;
  s.status.SetDeviceInfo(info);
  EXPECT_EQ(Field(s.status, 62), 10u);
  EXPECT_EQ(Field(s.status, 63), 1u);
  EXPECT_EQ(Field(s.status, 64), 3u);

  // Two-bit and four-bit fields elsewhere, and single bits beside them.
  info[0] = 0x60;   // field 0 = bits 6..5 of byte 0
  info[3] = 0x0B;   // field 19 = bits 3..0 of byte 3
  info[5] = 0xC1;   // field 26 = bits 7..6, field 30 = bits 1..0
  info[8] = 0x60;   // field 47 = bits 6..5
  info[10] = 0x01;  // field 61
  s.status.SetDeviceInfo(info);
  EXPECT_EQ(Field(s.status, 0), 3u);
  EXPECT_EQ(Field(s.status, 1), 0u);
  EXPECT_EQ(Field(s.status, 19), 11u);
  EXPECT_EQ(Field(s.status, 26), 3u);
  EXPECT_EQ(Field(s.status, 30), 1u);
  EXPECT_EQ(Field(s.status, 47), 3u);
  EXPECT_EQ(Field(s.status, 61), 1u);
  EXPECT_EQ(Field(s.status, 60), 0u);

  // Every single-bit field reads its own bit: setting all bytes to 0xFF gives each field
  // its all-ones value.
  std::uint8_t ones[16];
  std::fill(std::begin(ones), std::end(ones), 0xFF);
  s.status.SetDeviceInfo(ones);
  EXPECT_EQ(Field(s.status, 19), 15u);
  EXPECT_EQ(Field(s.status, 62), 15u);
  EXPECT_EQ(Field(s.status, 45), 1u);
}

TEST(AppStatus, FieldSixtyFiveComesFromEntryAndSixtySixIsRefused) {
  Status s;
  EXPECT_EQ(Field(s.status, 65), 50u);
  s.store.WriteDword(kProductKey + "PhoneBook", "Entry", 200);
  EXPECT_EQ(Field(s.status, 65), 200u);
  std::uint32_t value = 7;
  EXPECT_FALSE(s.status.GetModelField(66, value));
  EXPECT_FALSE(s.status.GetModelField(0xFFFFFFFF, value));
}

TEST(AppStatus, BootDefaultsAreCreated) {
  Status s;
  std::uint32_t value = 0;
  ASSERT_TRUE(s.status.GetBootValue(APP_PHONEBOOK, value));
  EXPECT_EQ(value, 2u);
  ASSERT_TRUE(s.status.GetBootValue(APP_TAM, value));
  EXPECT_EQ(value, 0u);
  ASSERT_TRUE(s.status.GetBootValue(200, value));  // any other index is the resident window
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(CAppStatus::ApplicationName(200), "VersionInfo");
  s.store.WriteDword(kProductKey + "Boot", "Image", 1);
  ASSERT_TRUE(s.status.GetBootValue(APP_IMAGE, value));
  EXPECT_EQ(value, 1u);
}

TEST(AppStatus, RegisterAndConnected) {
  Status s;
  s.status.Register(APP_MELODY, 1, 77);
  std::uint8_t flag = 0;
  WindowHandle window = 0;
  s.status.Get(APP_MELODY, flag, window);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(window, 77u);
  s.status.Register(APP_MELODY, 0, 0);
  s.status.Get(APP_MELODY, flag, window);
  EXPECT_EQ(flag, 0);
  s.status.Register(99, 1, 5);  // out of range: ignored
  s.status.Get(99, flag, window);
  EXPECT_EQ(window, 0u);
  EXPECT_EQ(s.status.IsConnected(), 0u);
  s.status.SetConnected(1);
  EXPECT_EQ(s.status.IsConnected(), 1u);
}
