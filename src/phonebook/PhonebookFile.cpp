#include "phonebook/PhonebookFile.h"

#include "phonebook/TextFile.h"
#include "platform/AtomicFile.h"
#include "platform/HexDigit.h"
#include "platform/Paths.h"

#include <algorithm>

namespace {

struct QuotedField {
  std::string text;
  std::size_t end = 0;  // index just after the closing quote
  bool closed = false;
};

// The quoted field that starts at line[open] == '"'; a doubled quote inside is one quote.
QuotedField ReadQuoted(std::string_view line, std::size_t open) {
  QuotedField field;
  std::size_t pos = open + 1;
  while (pos < line.size()) {
    if (line[pos] == '"') {
      if (pos + 1 < line.size() && line[pos + 1] == '"') {
        field.text += '"';
        pos += 2;
        continue;
      }
      field.end = pos + 1;
      field.closed = true;
      return field;
    }
    field.text += line[pos++];
  }
  field.end = line.size();
  return field;
}

// Four attribute bytes as eight hexadecimal digits.
std::string AttributeText(const std::array<std::uint8_t, 4>& attributes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t byte : attributes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// Eight hexadecimal digits; anything else gives zero bytes (an entry made on the PC).
std::array<std::uint8_t, 4> ParseAttributeText(std::string_view text) {
  std::array<std::uint8_t, 4> attributes{};
  if (text.size() != 8) {
    return attributes;
  }
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) {
      return {};
    }
    attributes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return attributes;
}

std::string DoubleQuotes(std::string_view text) {
  std::string result;
  for (char c : text) {
    result += c;
    if (c == '"') {
      result += '"';
    }
  }
  return result;
}

// Validates one entry line and merges it through the index; false when it holds no entry.
bool MergeLine(CPhonebookList& list, CNumberIndex& index, std::string_view line, bool freeEdit, bool pasteMode) {
  const EntryLineFields fields = ParseEntryLine(line);
  std::optional<PhonebookEntry> entry = ValidateEntry(fields.name, fields.number);
  if (!entry) {
    return false;
  }
  if (pasteMode) {
    const int found = index.Find(entry->number);
    if (found >= 0 && list.Row(static_cast<std::size_t>(found)).name == entry->name) {
      // The mark must survive the handset's 16 name bytes, so it replaces the end of a
      // name that would grow longer than that.
      constexpr std::string_view kMark = "(1)";
      entry->name = entry->name.substr(0, std::min(entry->name.size(), kMaxNameLength - kMark.size()));
      entry->name += kMark;
    }
  }
  index.AddOrOverwrite(list, entry->name, ToDisplayNumber(entry->number, freeEdit));
  return true;
}

}  // namespace

std::string FormatEntryLine(std::string_view name, std::string_view storedNumber) {
  return "\"" + DoubleQuotes(name) + "\"," + std::string(storedNumber) + "\r\n";
}

EntryLineFields ParseEntryLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  EntryLineFields fields;
  const std::size_t open = line.find('"');
  if (open == std::string_view::npos) {
    const std::size_t comma = line.find(',');
    fields.number = std::string(comma == std::string_view::npos ? line : line.substr(comma + 1));
    return fields;
  }
  QuotedField name = ReadQuoted(line, open);
  fields.name = std::move(name.text);
  // The comma after the closing quote is not a number character, so cleaning drops it.
  fields.number = std::string(line.substr(name.end));
  return fields;
}

bool MergeEntryLine(CPhonebookList& list, std::string_view line, bool freeEdit, bool pasteMode) {
  CNumberIndex index(list);
  return MergeLine(list, index, line, freeEdit, pasteMode);
}

std::string ClipboardText(const CPhonebookList& list, const std::vector<std::size_t>& rows) {
  std::string text;
  for (std::size_t row : rows) {
    if (row < list.Count()) {
      std::string line = FormatEntryLine(list.Row(row).name, StoredNumber(list.Row(row).number));
      line.erase(line.size() - 2);
      text += line + "\n";
    }
  }
  return text;
}

bool IsEntryLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  if (line.empty() || line[0] != '"') {
    return false;
  }
  const QuotedField name = ReadQuoted(line, 0);
  return name.closed && name.end < line.size() && line[name.end] == ',';
}

std::size_t PasteEntryLines(CPhonebookList& list, std::string_view text, bool freeEdit) {
  CNumberIndex index(list);
  std::size_t merged = 0;
  for (std::string_view line : SplitLines(text)) {
    // Any other text on the clipboard (a sentence with a comma and digits) is no entry.
    if (!IsEntryLine(line)) {
      continue;
    }
    merged += MergeLine(list, index, line, freeEdit, true) ? 1 : 0;
  }
  SortAndNumber(list);
  return merged;
}

PhonebookReadStatus ReadPhonebookText(std::string_view text, CPhonebookList& list, bool addMode, bool freeEdit) {
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) {
    return PhonebookReadStatus::Empty;
  }
  if (lines[0].find(kPhonebookCompanyText) == std::string_view::npos ||
      lines[0].find(kPhonebookVersionText) == std::string_view::npos) {
    return PhonebookReadStatus::WrongVersion;
  }
  if (!addMode) {
    list.Clear();
  }
  CNumberIndex index(list);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    MergeLine(list, index, lines[i], freeEdit, false);
  }
  SortAndNumber(list);
  return PhonebookReadStatus::Ok;
}

PhonebookReadStatus ReadPhonebookFile(const std::filesystem::path& path, CPhonebookList& list, bool addMode,
                                      bool freeEdit) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    return PhonebookReadStatus::NotOpened;
  }
  return ReadPhonebookText(*text, list, addMode, freeEdit);
}

std::string PhonebookText(const CPhonebookList& list) {
  if (list.Empty()) {
    return {};
  }
  std::string text = std::string(kPhonebookHeader) + "\r\n";
  for (const PhonebookRow& row : list.Rows()) {
    text += FormatEntryLine(row.name, StoredNumber(row.number));
  }
  return text;
}

bool WritePhonebookFile(const std::filesystem::path& path, const CPhonebookList& list) {
  return CAtomicFile::WriteWhole(path, PhonebookText(list));
}

std::filesystem::path SendCachePath() {
  return CPaths::UserDataDir() / kSendCacheName;
}

bool WriteSendCache(const std::filesystem::path& path, const std::vector<PhonebookEntry>& received) {
  if (received.empty()) {
    return true;
  }
  std::string text = std::string(kPhonebookHeader) + "\r\n";
  for (const PhonebookEntry& entry : received) {
    // The attribute bytes follow as a third field: a reader that takes only the field after
    // the first comma still reads the line.
    std::string line = FormatEntryLine(entry.name, StoredNumber(entry.number));
    line.insert(line.size() - 2, "," + AttributeText(entry.attributes));
    text += line;
  }
  if (CAtomicFile::WriteWhole(path, text)) {
    return true;
  }
  RemoveSendCache(path);
  return false;
}

std::vector<PhonebookEntry> SendCacheEntries(std::string_view text) {
  std::vector<PhonebookEntry> entries;
  for (std::string_view line : SplitLines(text)) {
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (line.empty() || line[0] != '"') {
      continue;
    }
    const QuotedField name = ReadQuoted(line, 0);
    const std::size_t comma = line.find(',', name.end);
    if (comma == std::string_view::npos) {
      continue;
    }
    const std::size_t next = line.find(',', comma + 1);
    const std::string_view number = line.substr(comma + 1, next == std::string_view::npos ? next : next - comma - 1);
    std::optional<PhonebookEntry> entry = ValidateEntry(name.text, number);
    if (!entry) {
      continue;
    }
    if (next != std::string_view::npos) {
      entry->attributes = ParseAttributeText(line.substr(next + 1));
    }
    entries.push_back(std::move(*entry));
  }
  return entries;
}

std::optional<std::vector<PhonebookEntry>> ReadSendCacheEntries(const std::filesystem::path& path) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    return std::nullopt;
  }
  return SendCacheEntries(*text);
}

void ReadSendCacheText(std::string_view text, CPhonebookList& handset, bool freeEdit) {
  handset.Clear();
  CNumberIndex index(handset);
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line[0] != '"') {
      continue;
    }
    const QuotedField name = ReadQuoted(line, 0);
    const std::size_t comma = line.find(',', name.end);
    if (comma == std::string_view::npos) {
      continue;
    }
    const std::size_t next = line.find(',', comma + 1);
    const std::string_view number = line.substr(comma + 1, next == std::string_view::npos ? next : next - comma - 1);
    const std::optional<PhonebookEntry> entry = ValidateEntry(name.text, number);
    // The cache holds each number once; should it not, the first line of a number wins,
    // as in a receive.
    if (entry && index.Find(entry->number) < 0) {
      index.AddOrOverwrite(handset, entry->name, ToDisplayNumber(entry->number, freeEdit));
    }
  }
  SortAndNumber(handset);
}

bool ReadSendCache(const std::filesystem::path& path, CPhonebookList& handset, bool freeEdit) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    return false;
  }
  ReadSendCacheText(*text, handset, freeEdit);
  return true;
}

bool RemoveSendCache(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return !ec;
}
