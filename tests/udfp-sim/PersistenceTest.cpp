// Saving and loading the handset's stores through the control exports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "SimHost.h"

namespace {

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UdfpSimReset();
    m_folder = std::filesystem::temp_directory_path() / ("udfp-sim-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    m_path = (m_folder / "handset.state").string();
  }
  void TearDown() override {
    std::filesystem::remove_all(m_folder);
    UdfpSimReset();
  }
  std::string Read() const {
    std::ifstream in(m_path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Write(const std::string& bytes) const {
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::filesystem::path m_folder;
  std::string m_path;
};

TEST_F(PersistenceTest, StoresCapacitiesAndDeviceInformationSurviveASaveAndLoad) {
  const std::vector<std::uint8_t> record(36, 0x24);
  const std::vector<std::uint8_t> raw = {1, 2, 3, 4, 5};
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_PHONEBOOK, record.data(), 36), 0);
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, raw.data(), 5), 0);
  UdfpSimSetCapacity(UDFP_SIM_KIND_MELODY, 4);
  UdfpSimSetModelField(35, 1);
  UdfpSimSetMemorySize(300000);
  std::uint8_t info[16];
  UdfpSimGetDeviceInfo(info);
  ASSERT_EQ(UdfpSimSaveState(m_path.c_str()), 1);

  UdfpSimReset();
  ASSERT_EQ(UdfpSimLoadState(m_path.c_str()), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 1);
  std::uint8_t buffer[64];
  std::uint32_t length = 0;
  ASSERT_EQ(UdfpSimStoreGet(UDFP_SIM_KIND_RAW, 0, buffer, sizeof buffer, &length, nullptr), 1);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + length), raw);
  EXPECT_EQ(UdfpSimGetCapacity(UDFP_SIM_KIND_MELODY), 4);
  EXPECT_EQ(UdfpSimGetFreeBytes(), 300000u - 5u);
  std::uint8_t loaded[16];
  UdfpSimGetDeviceInfo(loaded);
  EXPECT_EQ(std::vector<std::uint8_t>(loaded, loaded + 16), std::vector<std::uint8_t>(info, info + 16));
}

TEST_F(PersistenceTest, DamagedFilesAreRefusedAndLeaveTheHandsetAsItWas) {
  const std::vector<std::uint8_t> raw(100, 0x77);
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, raw.data(), 100), 0);
  ASSERT_EQ(UdfpSimSaveState(m_path.c_str()), 1);
  const std::string good = Read();
  UdfpSimStoreClear(UDFP_SIM_KIND_RAW);
  const std::vector<std::uint8_t> marker = {9};
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, marker.data(), 1), 0);

  // Every truncation, a flipped byte anywhere, and foreign content are all refused.
  for (std::size_t size = 0; size < good.size(); size += 7) {
    Write(good.substr(0, size));
    EXPECT_EQ(UdfpSimLoadState(m_path.c_str()), 0) << size;
  }
  for (std::size_t at = 0; at < good.size(); at += 5) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x40);
    Write(bad);
    EXPECT_EQ(UdfpSimLoadState(m_path.c_str()), 0) << at;
  }
  Write(std::string(5000, '\xFF'));
  EXPECT_EQ(UdfpSimLoadState(m_path.c_str()), 0);
  EXPECT_EQ(UdfpSimLoadState((m_path + ".missing").c_str()), 0);

  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 1);
  std::uint8_t byte = 0;
  std::uint32_t length = 0;
  ASSERT_EQ(UdfpSimStoreGet(UDFP_SIM_KIND_RAW, 0, &byte, 1, &length, nullptr), 1);
  EXPECT_EQ(byte, 9);
  Write(good);
  EXPECT_EQ(UdfpSimLoadState(m_path.c_str()), 1);
}

// A state file written by the first version of the emulator: demo handsets saved then
// must keep loading, and saving them again must give the same bytes.
TEST_F(PersistenceTest, AStateFileOfTheFirstVersionStillLoads) {
  const std::string golden = ORVANE_TEST_DATA_DIR "/udfp-sim/handset-v1.state";
  ASSERT_EQ(UdfpSimLoadState(golden.c_str()), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PHONEBOOK), 3);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_CALLER_LIST), 2);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_PICTURE_ID), 1);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_MELODY), 1);
  EXPECT_EQ(UdfpSimGetCapacity(UDFP_SIM_KIND_PHONEBOOK), 100);
  std::uint8_t info[16];
  UdfpSimGetDeviceInfo(info);
  EXPECT_EQ(info[11], 0xA0);
  EXPECT_EQ(info[12], 100);
  std::uint8_t record[36];
  std::uint32_t length = 0;
  ASSERT_EQ(UdfpSimStoreGet(UDFP_SIM_KIND_PHONEBOOK, 0, record, sizeof record, &length, nullptr), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record), 8), "Entry 01");
  EXPECT_EQ(std::vector<std::uint8_t>(record + 16, record + 20), (std::vector<std::uint8_t>{0x55, 0x5B, 0xBB, 0x10}));

  ASSERT_EQ(UdfpSimSaveState(m_path.c_str()), 1);
  std::ifstream in(golden, std::ios::binary);
  const std::string original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(Read(), original);
}

TEST_F(PersistenceTest, StoreReadsReportTheSizeOfATooSmallBuffer) {
  const std::vector<std::uint8_t> raw(50, 1);
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, raw.data(), 50), 0);
  std::uint8_t buffer[10] = {};
  std::uint32_t length = 0;
  std::uint32_t number = 0;
  EXPECT_EQ(UdfpSimStoreGet(UDFP_SIM_KIND_RAW, 0, buffer, sizeof buffer, &length, &number), 0);
  EXPECT_EQ(length, 50u);
  EXPECT_EQ(number, 1u);
  EXPECT_EQ(UdfpSimStoreGet(UDFP_SIM_KIND_RAW, 1, buffer, sizeof buffer, &length, nullptr), 0);
  EXPECT_EQ(UdfpSimStoreCount(77), -1);
  EXPECT_EQ(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, nullptr, 0), 0) << "an empty object is not stored";
}

}  // namespace
