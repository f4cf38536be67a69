#include "platform/Paths.h"

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kDataDir(ORVANE_INSTALL_DATADIR);
const fs::path kLibraryDir(ORVANE_INSTALL_LIBDIR);

// Runs the paths probe at `program` with a clean environment (no folder overrides) and
// returns what it printed: the data folder and the library folder.
std::vector<std::string> RunProbe(const fs::path& program, const std::vector<std::string>& environment = {}) {
  std::array<int, 2> out{};
  if (::pipe(out.data()) != 0) {
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string path = program.string();
  std::vector<char*> argv{path.data(), nullptr};
  std::vector<std::string> env = environment;
  env.emplace_back("PATH=/usr/bin:/bin");
  std::vector<char*> envp;
  for (std::string& entry : env) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string text;
  std::array<char, 4096> buffer{};
  ssize_t n = 0;
  while (spawned == 0 && (n = ::read(out[0], buffer.data(), buffer.size())) > 0) {
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return {};
  }
  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// A copy of the probe at <root>/<where>/orvane-usb-utility, with the given folders made
// under <root>.
fs::path PlaceProbe(const fs::path& root, const fs::path& where, const std::vector<fs::path>& folders) {
  fs::create_directories(root / where);
  for (const fs::path& folder : folders) {
    fs::create_directories(root / folder);
  }
  const fs::path program = root / where / "orvane-usb-utility";
  fs::copy_file(fs::path(ORVANE_OUTPUT_DIR) / "orvane_paths_probe", program);
  return program;
}

}  // namespace

TEST(PathsTest, InstalledProgramFindsItsDataAndLibrariesUnderItsPrefix) {
  CScratchFolder scratch("orvane-paths");
  const fs::path prefix = scratch / "usr";
  const fs::path program = PlaceProbe(prefix, "bin", {kDataDir, kLibraryDir});
  const std::vector<std::string> found = RunProbe(program);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (prefix / kDataDir).string());
  EXPECT_EQ(found[1], (prefix / kLibraryDir).string());

  // Started through a link in another folder (as from a menu or a PATH entry), the program
  // still finds the files of its own installation.
  const fs::path linkFolder = scratch / "links" / "bin";
  fs::create_directories(linkFolder);
  fs::create_symlink(program, linkFolder / "orvane-usb-utility");
  EXPECT_EQ(RunProbe(linkFolder / "orvane-usb-utility"), found);
}

TEST(PathsTest, BuildTreeProgramFindsEverythingBesideIt) {
  CScratchFolder scratch("orvane-paths");
  // A build tree's output folder is also named "bin", but has no installed folders around it.
  const fs::path program = PlaceProbe(scratch / "build", "bin", {});
  const std::vector<std::string> found = RunProbe(program);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], program.parent_path().string());
  EXPECT_EQ(found[1], program.parent_path().string());

  // Installed-looking folders next to an executable that is not in a "bin" folder are not
  // taken for an installation.
  const fs::path other = PlaceProbe(scratch / "other", "tools", {kDataDir, kLibraryDir});
  EXPECT_EQ(RunProbe(other), std::vector<std::string>(2, other.parent_path().string()));
}

TEST(PathsTest, EnvironmentOverridesBothFolders) {
  CScratchFolder scratch("orvane-paths");
  const fs::path program = PlaceProbe(scratch / "usr", "bin", {kDataDir, kLibraryDir});
  const std::vector<std::string> found =
      RunProbe(program, {"ORVANE_DATA_DIR=" + scratch.File("data"), "ORVANE_LIBRARY_DIR=" + scratch.File("lib")});
  EXPECT_EQ(found, (std::vector<std::string>{scratch.File("data"), scratch.File("lib")}));
}

TEST(PathsTest, EachFolderFallsBackAloneWhenItsInstalledFolderIsMissing) {
  CScratchFolder scratch("orvane-paths");
  const fs::path bin = scratch / "usr" / "bin";
  fs::create_directories(scratch / "usr" / kDataDir);
  EXPECT_EQ(CPaths::ProgramDataDirFor(bin), scratch / "usr" / kDataDir);
  EXPECT_EQ(CPaths::LibraryDirFor(bin), bin);
  fs::create_directories(scratch / "usr" / kLibraryDir);
  EXPECT_EQ(CPaths::LibraryDirFor(bin), scratch / "usr" / kLibraryDir);
}

TEST(PathsTest, RunningTestProgramUsesItsBuildFolder) {
  // The tests run from the build tree: the program data there is the output folder, where
  // the language files are copied.
  EXPECT_EQ(CPaths::ProgramDataDirFor(ORVANE_OUTPUT_DIR), fs::path(ORVANE_OUTPUT_DIR));
  EXPECT_TRUE(fs::exists(fs::path(ORVANE_OUTPUT_DIR) / "English.ini"));
}
