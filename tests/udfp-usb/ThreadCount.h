#pragma once

#include <filesystem>

// Number of threads of this process (entries of /proc/self/task).
inline int ThreadCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}
