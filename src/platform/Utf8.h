#pragma once

#include <cstddef>
#include <string>

// Character counting on UTF-8 text: a character is one code point; a stray byte that
// does not start a valid sequence counts as one character.
std::size_t Utf8Length(const std::string& text);
// The first maxChars characters of the text, never cutting a sequence in two.
std::string Utf8Prefix(const std::string& text, std::size_t maxChars);
// Length in bytes of the sequence that starts at text[pos] (1 for a stray byte).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t pos);
// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& text, char32_t codePoint);
