#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reading telephone numbers as people and address books write them, before the entry
// rules clean them to the handset's number characters.

// The handset dials this character as a pause; an extension after the main number
// becomes a pause followed by the extension's digits.
inline constexpr char kPauseCharacter = 'P';

// Turns the extension markers of a written number into pauses: the word "ext" (also
// "ext.", "extn", "extension", and the ";ext=" of a tel: address), an "x" between digits,
// and each comma, all only after the first digit of the number. A marker with no dial
// character after it (a trailing "ext." or comma) adds nothing.
std::string MarkExtensions(std::string_view number);

// True when a text holds more letters than digits: a column heading such as
// "Phone 1 - Value" or a label, not a number. The pause and flash letters P and F (upper
// case, as the handset stores them) do not count; each other letter does, a character of
// another alphabet too.
bool LooksLikeText(std::string_view number);

// Address-book exports join several numbers of one contact in one cell with ":::".
struct JoinedNumbers {
  std::string_view first;  // the first of them that holds a digit
  std::size_t count = 1;   // how many numbers the cell joined
};
JoinedNumbers SplitJoinedNumbers(std::string_view cell);
