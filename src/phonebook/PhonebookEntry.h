#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One phonebook entry: a name of at most 16 characters from the name character set, a
// number from "0123456789#*PF" (stored form, or display form with hyphens while it sits
// in a list), and the handset's own four attribute bytes (zero for entries made on the PC).
struct PhonebookEntry {
  std::string name;
  std::string number;
  std::array<std::uint8_t, 4> attributes{};

  bool operator==(const PhonebookEntry&) const = default;
};

inline constexpr std::size_t kMaxNameLength = 16;
inline constexpr std::size_t kMaxNumberLength = 32;

// Cuts a name to 16 characters and turns every character the handset cannot store into a
// blank. Text is read as UTF-8: a multi-byte character becomes one blank, a stray byte too.
std::string NormaliseName(std::string_view name);
// Turns extension markers ("ext.", "x" between digits, ";ext=", commas) into the pause P,
// then keeps only the characters of "0123456789#*PF" and cuts the result to 32 characters.
std::string CleanNumber(std::string_view number);
// 1 to 32 characters of "0123456789#*PF" with at least one dial character (0-9, *, #):
// P (pause) and F (flash) alone do not make a number, so header words like "Phone" fail.
bool IsValidNumber(std::string_view number);
// Repairs a name and number that come from outside the entry dialog; nothing when the
// number holds more letters than digits (a heading or label) or is not valid after
// cleaning. The number comes back in stored form.
std::optional<PhonebookEntry> ValidateEntry(std::string_view name, std::string_view number);
// The number with hyphens grouped by its length when freeEdit is set; unchanged otherwise.
std::string ToDisplayNumber(std::string_view storedNumber, bool freeEdit);
// The display text without any hyphen.
std::string StoredNumber(std::string_view displayNumber);
// True when two numbers name the same entry: equal without hyphens and regardless of case.
bool SameNumber(std::string_view a, std::string_view b);
// "FreeEdit" for a connected handset: hyphenated display forms unless the handset's model
// fields 35 or 40 say otherwise.
bool EvaluateFreeEdit(std::uint32_t modelField35, std::uint32_t modelField40);
// The number of entries the handset holds: the low 8 bits of the "Entry" setting.
int HandsetCapacity(std::uint32_t entrySetting);
// True for the characters a name may hold.
bool IsNameCharacter(char c);
