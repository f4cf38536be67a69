#pragma once

#include <cstddef>
#include <cstdint>

// One range of string ids that the program loads, with the language-file section that
// holds them. First and last id are inclusive.
struct StringSectionEntry {
  char sectionName[256];
  std::int32_t firstId;
  std::int32_t lastId;
};

// Every range of string ids, grouped by section, in loading order. The table ends with an
// entry whose first and last ids are both 0.
extern const StringSectionEntry StringSectionTable[];

// Number of ranges before the terminating entry.
std::size_t StringSectionCount();
