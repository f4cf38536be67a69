#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Utf8.h"

// Files the phonebook reads are small; anything larger than this is refused instead of
// being loaded into memory (a mistaken choice of a disc image, for example).
inline constexpr std::size_t kMaxImportFileBytes = 64u * 1024u * 1024u;

// The whole content of a file the phonebook imports; nothing when it cannot be opened or
// read, is not a regular file, or is larger than kMaxImportFileBytes.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
// Splits text into lines ended by CR LF, LF or a lone CR (older Mac files). A line end at
// the very end of the text does not start another (empty) line.
std::vector<std::string_view> SplitLines(std::string_view text);
// The text without a leading UTF-8 byte-order mark.
std::string_view SkipByteOrderMark(std::string_view text);
// Text of an imported file as UTF-8 without byte-order mark: UTF-16 with a byte-order
// mark is converted; with latin1Fallback, text that is not valid UTF-8 is read as
// Latin-1 (what older Windows exports hold), so each of its characters stays one character.
std::string DecodeImportText(std::string_view bytes, bool latin1Fallback);
bool IsValidUtf8(const std::string& text);
// Each byte read as a Latin-1 character.
std::string Latin1ToUtf8(std::string_view text);
