// The demo handset keeps its stores in the file named by ORVANE_SIM_STATE between runs.
// The library is loaded and unloaded by file name here, as a program run would.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "udfp_sim.h"

namespace {

// One load of udfp-sim.so with the few exports these tests use.
class CLoadedSim {
 public:
  CLoadedSim() {
    m_handle = ::dlopen(ORVANE_OUTPUT_DIR "/udfp-sim.so", RTLD_NOW | RTLD_LOCAL);
    if (m_handle != nullptr) {
      add = reinterpret_cast<decltype(add)>(::dlsym(m_handle, "UdfpSimStoreAdd"));
      count = reinterpret_cast<decltype(count)>(::dlsym(m_handle, "UdfpSimStoreCount"));
      open = reinterpret_cast<decltype(open)>(::dlsym(m_handle, "UdfpOpen"));
      close = reinterpret_cast<decltype(close)>(::dlsym(m_handle, "UdfpClose"));
      terminate = reinterpret_cast<decltype(terminate)>(::dlsym(m_handle, "UdfpTerminateDLL"));
    }
  }
  ~CLoadedSim() {
    if (m_handle != nullptr) {
      terminate();
      ::dlclose(m_handle);
    }
  }
  bool Loaded() const { return m_handle != nullptr && add && count && open && close && terminate; }

  int32_t (*add)(uint32_t, const uint8_t*, uint32_t) = nullptr;
  int32_t (*count)(uint32_t) = nullptr;
  uint32_t (*open)() = nullptr;
  int32_t (*close)(uint32_t) = nullptr;
  int32_t (*terminate)() = nullptr;

 private:
  void* m_handle = nullptr;
};

class StateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = std::filesystem::temp_directory_path() / ("udfp-sim-env-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_folder);
    m_path = (m_folder / "demo.state").string();
    ::setenv("ORVANE_SIM_STATE", m_path.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("ORVANE_SIM_STATE");
    std::filesystem::remove_all(m_folder);
  }
  std::filesystem::path m_folder;
  std::string m_path;
};

TEST_F(StateFileTest, TheHandsetKeepsItsDataBetweenRuns) {
  const uint8_t record[36] = {'A', 'n', 'n', 'a'};
  {
    CLoadedSim sim;
    ASSERT_TRUE(sim.Loaded()) << ::dlerror();
    ASSERT_EQ(sim.count(UDFP_SIM_KIND_PHONEBOOK), 0);
    ASSERT_GT(sim.add(UDFP_SIM_KIND_PHONEBOOK, record, sizeof record), 0);
    ASSERT_GT(sim.add(UDFP_SIM_KIND_PHONEBOOK, record, sizeof record), 0);
    std::filesystem::copy_file(m_path, m_path + ".two");
    ASSERT_GT(sim.add(UDFP_SIM_KIND_PHONEBOOK, record, sizeof record), 0);
  }
  // Putting back the file of two entries proves that the next run reads the file rather
  // than finding the previous run's handset still in memory.
  std::filesystem::rename(m_path + ".two", m_path);
  for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
    EXPECT_EQ(entry.path().filename(), "demo.state") << "no temporary file is left behind";
  }
  CLoadedSim again;
  ASSERT_TRUE(again.Loaded());
  EXPECT_EQ(again.count(UDFP_SIM_KIND_PHONEBOOK), 2);
}

TEST_F(StateFileTest, ADamagedFileGivesAFreshHandsetThatWorks) {
  {
    std::ofstream out(m_path, std::ios::binary);
    out << "ORVSIM1\n" << std::string(300, '\x01');
  }
  CLoadedSim sim;
  ASSERT_TRUE(sim.Loaded());
  EXPECT_EQ(sim.count(UDFP_SIM_KIND_PHONEBOOK), 0);
  const uint32_t device = sim.open();
  EXPECT_NE(device, UDFP_INVALID_HANDLE);
  sim.close(device);
  // The next change replaces the damaged file with a good one.
  const uint8_t raw[3] = {1, 2, 3};
  ASSERT_GT(sim.add(UDFP_SIM_KIND_RAW, raw, sizeof raw), 0);
  std::ifstream in(m_path, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), 8);
  EXPECT_EQ(head, "ORVSIM1\n");
}

TEST_F(StateFileTest, ADemoHandsetStartsWithSamplesOnlyWhenNothingWasKept) {
  ::setenv("ORVANE_SIM_SAMPLES", "1", 1);
  {
    CLoadedSim sim;
    ASSERT_TRUE(sim.Loaded());
    EXPECT_EQ(sim.count(UDFP_SIM_KIND_PHONEBOOK), 5);
    EXPECT_EQ(sim.count(UDFP_SIM_KIND_MELODY), 2);
    const uint8_t record[36] = {'Z'};
    ASSERT_GT(sim.add(UDFP_SIM_KIND_PHONEBOOK, record, sizeof record), 0);
  }
  CLoadedSim again;
  ASSERT_TRUE(again.Loaded());
  EXPECT_EQ(again.count(UDFP_SIM_KIND_PHONEBOOK), 6) << "the kept handset is not seeded again";
  ::unsetenv("ORVANE_SIM_SAMPLES");
}

TEST_F(StateFileTest, AHandsetCanStartUnplugged) {
  ::setenv("ORVANE_SIM_PLUGGED", "0", 1);
  CLoadedSim sim;
  ASSERT_TRUE(sim.Loaded());
  EXPECT_EQ(sim.open(), UDFP_INVALID_HANDLE);
  ::unsetenv("ORVANE_SIM_PLUGGED");
}

}  // namespace
