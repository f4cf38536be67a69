#pragma once

// Files of the phonebook tests: their data folder and whole-file reads and writes.

#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::filesystem::path TestData(std::string_view name) {
  return std::filesystem::path(ORVANE_TEST_DATA_DIR) / "phonebook" / name;
}
