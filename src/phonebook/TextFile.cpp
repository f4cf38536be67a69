#include "phonebook/TextFile.h"

#include "platform/Utf8.h"
#include "platform/WholeFile.h"

#include <fstream>

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  return ReadWholeFile(path, kMaxImportFileBytes);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string_view SkipByteOrderMark(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  return text;
}

namespace {

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string text;
  const auto unitAt = [&](std::size_t pos) {
    const auto first = static_cast<unsigned char>(bytes[pos]);
    const auto second = static_cast<unsigned char>(bytes[pos + 1]);
    return static_cast<char32_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  };
  for (std::size_t pos = 0; pos + 1 < bytes.size(); pos += 2) {
    char32_t unit = unitAt(pos);
    if (unit >= 0xD800 && unit <= 0xDBFF && pos + 3 < bytes.size()) {
      const char32_t low = unitAt(pos + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        pos += 2;
      }
    }
    // A lone surrogate cannot be written as UTF-8: it becomes the replacement character.
    AppendUtf8(text, (unit >= 0xD800 && unit <= 0xDFFF) ? char32_t{0xFFFD} : unit);
  }
  return text;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 1 && static_cast<unsigned char>(text[pos]) >= 0x80) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string converted;
  for (char c : text) {
    AppendUtf8(converted, static_cast<unsigned char>(c));
  }
  return converted;
}

std::string DecodeImportText(std::string_view bytes, bool latin1Fallback) {
  if (bytes.starts_with("\xFF\xFE")) {
    return Utf16ToUtf8(bytes.substr(2), false);
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return Utf16ToUtf8(bytes.substr(2), true);
  }
  std::string text(SkipByteOrderMark(bytes));
  if (!latin1Fallback || IsValidUtf8(text)) {
    return text;
  }
  return Latin1ToUtf8(text);
}
