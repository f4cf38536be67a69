#pragma once

#include <cstdint>
#include <vector>

// Plausible handset content for tests and demos: valid records of each store kind, each
// one different (numbered by `index`), so that a filled handset looks like a used one.
class CSampleContent {
 public:
  // An empty vector for a kind without a store.
  static std::vector<std::uint8_t> Make(std::uint32_t kind, std::uint32_t index);

 private:
  static std::vector<std::uint8_t> Phonebook(std::uint32_t index);
  static std::vector<std::uint8_t> Caller(std::uint32_t index);
  static std::vector<std::uint8_t> Picture(std::size_t size, const char* prefix, std::uint32_t index);
  static std::vector<std::uint8_t> Melody(std::uint32_t index);
  static std::vector<std::uint8_t> Raw(std::uint32_t index);
};
