// The demo handset keeps its stores in the file named by ORVANE_SIM_STATE between runs.
// Every run is a separate program (udfp_sim_state_probe), as a demo session would be.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "udfp_sim.h"

namespace {

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
    ::unsetenv("ORVANE_SIM_SAMPLES");
    ::unsetenv("ORVANE_SIM_PLUGGED");
    std::filesystem::remove_all(m_folder);
  }
  // Runs the probe with `arguments` and answers the number it printed (-100 on failure).
  static int Run(const std::string& arguments) {
    const std::string command = std::string(ORVANE_OUTPUT_DIR) + "/udfp_sim_state_probe " + arguments;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      return -100;
    }
    int value = -100;
    if (std::fscanf(pipe, "%d", &value) != 1) {
      value = -100;
    }
    return ::pclose(pipe) == 0 ? value : -100;
  }
  std::filesystem::path m_folder;
  std::string m_path;
};

TEST_F(StateFileTest, TheHandsetKeepsItsDataBetweenRuns) {
  EXPECT_EQ(Run("count 4"), 0);
  EXPECT_EQ(Run("add 4 36"), 1);
  EXPECT_EQ(Run("add 4 36"), 2);
  EXPECT_EQ(Run("add 4 35"), 0) << "a record of the wrong size is refused";
  EXPECT_EQ(Run("count 4"), 2);
  for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
    EXPECT_EQ(entry.path().filename(), "demo.state") << "no temporary file is left behind";
  }
}

TEST_F(StateFileTest, ADamagedFileGivesAFreshHandsetThatWorks) {
  {
    std::ofstream out(m_path, std::ios::binary);
    out << "ORVSIM1\n" << std::string(300, '\x01');
  }
  EXPECT_EQ(Run("count 4"), 0);
  EXPECT_EQ(Run("open"), 1);
  // The next change replaces the damaged file with a good one.
  EXPECT_EQ(Run("add 126 3"), 1);
  EXPECT_EQ(Run("count 126"), 1);
}

TEST_F(StateFileTest, ADemoHandsetStartsWithSamplesOnlyWhenNothingWasKept) {
  ::setenv("ORVANE_SIM_SAMPLES", "1", 1);
  EXPECT_EQ(Run("count 4"), 5);
  EXPECT_EQ(Run("count 18"), 2);
  EXPECT_EQ(Run("add 4 36"), 6);
  EXPECT_EQ(Run("count 4"), 6) << "the kept handset is not seeded again";
}

TEST_F(StateFileTest, AHandsetCanStartUnplugged) {
  ::setenv("ORVANE_SIM_PLUGGED", "0", 1);
  EXPECT_EQ(Run("open"), 0);
  ::unsetenv("ORVANE_SIM_PLUGGED");
  EXPECT_EQ(Run("open"), 1);
}

}  // namespace
