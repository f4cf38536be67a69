#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// The whole content of a regular file of at most maxBytes; nothing when it cannot be
// opened or read, is larger, or is not a regular file (a folder, a FIFO that would block,
// a device).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes);
