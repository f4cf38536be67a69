#pragma once

#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// The sample Outlook data files and damaged copies of them.
namespace outlooktest {

inline std::filesystem::path Sample(const std::string& name) {
  return std::filesystem::path(ORVANE_TEST_DATA_DIR) / "outlook" / name;
}

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Any text with the checksum stored in passworded.pst (0xe61eb50f) opens it; its real
// password is not published.
inline constexpr const char* kPasswordedKey = "brWjacX";

// The first `size` bytes of a sample, written into the folder.
inline std::string Truncated(const CScratchFolder& folder, const std::string& sample, std::size_t size) {
  const std::string name = "cut-" + std::to_string(size) + "-" + sample;
  folder.Write(name, ReadAll(Sample(sample)).substr(0, size));
  return folder.File(name);
}

inline std::string RandomFile(const CScratchFolder& folder, std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  // The signature of a data file, so that the reader goes past its first check.
  bytes.replace(0, 4, "!BDN");
  const std::string name = "random-" + std::to_string(seed) + ".pst";
  folder.Write(name, bytes);
  return folder.File(name);
}

}  // namespace outlooktest
