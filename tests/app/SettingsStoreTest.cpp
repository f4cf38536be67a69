#include "appcore/SettingsStore.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/QtSettingsBackend.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

namespace {

const std::string kCommunicate = kProductKey + "Communicate";

}  // namespace

TEST(SettingsStore, ReadOrCreateWritesTheDefaultBackAndThenReadsTheStoredValue) {
  auto backend = std::make_unique<CMemorySettingsBackend>();
  CMemorySettingsBackend* memory = backend.get();
  CSettingsStore store(std::move(backend));

  std::uint32_t value = 20000;
  std::uint32_t size = sizeof value;
  ASSERT_TRUE(store.ReadOrCreate(kCommunicate, "RequestTimeOut", REG_DWORD, &value, size));
  EXPECT_EQ(value, 20000u);
  EXPECT_TRUE(memory->HasValue(kCommunicate, "RequestTimeOut"));

  ASSERT_TRUE(store.WriteDword(kCommunicate, "RequestTimeOut", 150));
  value = 20000;
  size = sizeof value;
  ASSERT_TRUE(store.ReadOrCreate(kCommunicate, "RequestTimeOut", REG_DWORD, &value, size));
  EXPECT_EQ(value, 150u);
  EXPECT_EQ(store.ReadOrCreateDword(kCommunicate, "RequestTimeOut", 1), 150u);
}

TEST(SettingsStore, FailuresLeaveTheCallersDefault) {
  auto backend = std::make_unique<CMemorySettingsBackend>();
  CMemorySettingsBackend* memory = backend.get();
  CSettingsStore store(std::move(backend));
  memory->SetFailing(true);
  std::uint32_t value = 5;
  std::uint32_t size = sizeof value;
  EXPECT_FALSE(store.ReadOrCreate(kCommunicate, "TransCommandRetryCount", REG_DWORD, &value, size));
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(store.ReadOrCreateDword(kCommunicate, "TransCommandRetryCount", 5), 5u);
  EXPECT_FALSE(store.WriteDword(kCommunicate, "X", 1));
  memory->SetFailing(false);

  // A value too large for the caller's buffer is not copied over it.
  ASSERT_TRUE(store.WriteString(kProductKey, "Name", "a long text"));
  char small[4] = "abc";
  size = sizeof small;
  EXPECT_FALSE(store.ReadOrCreate(kProductKey, "Name", REG_SZ, small, size));
  EXPECT_STREQ(small, "abc");
}

TEST(SettingsStore, DeleteValueAndStrings) {
  CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
  EXPECT_EQ(store.ReadOrCreateString(kCommunicate, "DriverLibrary", "udfp-usb.so"), "udfp-usb.so");
  ASSERT_TRUE(store.WriteString(kCommunicate, "DriverLibrary", "udfp-sim.so"));
  std::string text;
  ASSERT_TRUE(store.ReadString(kCommunicate, "DriverLibrary", text));
  EXPECT_EQ(text, "udfp-sim.so");
  EXPECT_TRUE(store.DeleteValue(kCommunicate, "DriverLibrary"));
  EXPECT_FALSE(store.DeleteValue(kCommunicate, "DriverLibrary"));
  EXPECT_FALSE(store.ReadString(kCommunicate, "DriverLibrary", text));
}

TEST(SettingsStore, IniBufferRule) {
  QTemporaryDir folder;
  const std::filesystem::path ini = folder.filePath("English.ini").toStdString();
  {
    std::ofstream out(ini);
    out << "[Message]\n"
        << "1=" << std::string(32765, 'a') << "\n"
        << "2=" << std::string(32766, 'b') << "\n"
        << "3=" << std::string(40000, 'c') << "\n";
  }
  CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
  EXPECT_EQ(store.ReadIni("Message", "1", ini).size(), 32765u);
  EXPECT_EQ(store.ReadIni("Message", "2", ini), "");
  EXPECT_EQ(store.ReadIni("Message", "3", ini), "");
  EXPECT_EQ(store.ReadIni("Message", "4", ini), "");
}

// The desktop store: values survive a new backend on the same file, keep their groups and
// are readable as the types written.
TEST(SettingsStore, QtBackendPersistsPerUser) {
  QTemporaryDir folder;
  const QString file = folder.filePath("VX-RM1276series.conf");
  {
    CSettingsStore store(std::make_unique<CQtSettingsBackend>(file));
    EXPECT_EQ(store.ReadOrCreateDword(kProductKey, "Balloon", 3000), 3000u);
    EXPECT_EQ(store.ReadOrCreateDword(kProductKey + "Boot", "PhoneBook", 2), 2u);
    ASSERT_TRUE(store.WriteString(kProductKey + "PhoneBook\\FileHistry", "0", "/home/u/a b.phb"));
    ASSERT_TRUE(store.WriteDword(kProductKey, "Language", 1));
  }
  CSettingsStore again(std::make_unique<CQtSettingsBackend>(file));
  EXPECT_EQ(again.ReadOrCreateDword(kProductKey, "Language", 0), 1u);
  EXPECT_EQ(again.ReadOrCreateDword(kProductKey, "Balloon", 1), 3000u);
  std::string path;
  ASSERT_TRUE(again.ReadString(kProductKey + "PhoneBook\\FileHistry", "0", path));
  EXPECT_EQ(path, "/home/u/a b.phb");
  // A text where a number is expected cannot be read as one: the default is written back.
  EXPECT_EQ(again.ReadOrCreateDword(kProductKey + "PhoneBook\\FileHistry", "0", 9), 9u);

  std::ifstream in(file.toStdString());
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find("[Boot]"), std::string::npos);
  EXPECT_NE(content.find("Language=1"), std::string::npos);
}
