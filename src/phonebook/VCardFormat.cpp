#include "phonebook/VCardFormat.h"

#include "phonebook/TextFile.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <optional>

namespace {

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return result;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

std::string DecodeQuotedPrintable(std::string_view value) {
  std::string result;
  for (std::size_t pos = 0; pos < value.size(); ++pos) {
    if (value[pos] == '=' && pos + 2 < value.size() && HexValue(value[pos + 1]) >= 0 && HexValue(value[pos + 2]) >= 0) {
      result += static_cast<char>(HexValue(value[pos + 1]) * 16 + HexValue(value[pos + 2]));
      pos += 2;
    } else if (value[pos] == '=' && pos + 1 == value.size()) {
      break;  // a soft line break left at the end
    } else {
      result += value[pos];
    }
  }
  return result;
}

// Undoes the backslash escapes of vCard 3.0 and later.
std::string Unescape(std::string_view value) {
  std::string result;
  for (std::size_t pos = 0; pos < value.size(); ++pos) {
    if (value[pos] == '\\' && pos + 1 < value.size()) {
      const char next = value[++pos];
      result += (next == 'n' || next == 'N') ? '\n' : next;
    } else {
      result += value[pos];
    }
  }
  return result;
}

std::string RemoveHyphens(std::string_view value) {
  std::string result;
  for (char c : value) {
    if (c != '-') {
      result += c;
    }
  }
  return result;
}

// One content line split into its property name (group removed, upper case), its
// parameters (upper case) and its raw value.
struct ContentLine {
  std::string name;
  std::vector<std::string> parameters;
  std::string value;
};

std::optional<ContentLine> SplitContentLine(std::string_view line) {
  std::size_t colon = std::string_view::npos;
  bool quoted = false;
  for (std::size_t pos = 0; pos < line.size(); ++pos) {
    if (line[pos] == '"') {
      quoted = !quoted;
    } else if (line[pos] == ':' && !quoted) {
      colon = pos;
      break;
    }
  }
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  ContentLine content;
  content.value = std::string(line.substr(colon + 1));
  const std::string head = Upper(line.substr(0, colon));
  std::size_t start = 0;
  while (true) {
    const std::size_t semicolon = head.find(';', start);
    const std::string part = head.substr(start, semicolon == std::string::npos ? semicolon : semicolon - start);
    if (start == 0) {
      const std::size_t dot = part.rfind('.');
      content.name = (dot == std::string::npos) ? part : part.substr(dot + 1);
    } else {
      content.parameters.push_back(part);
    }
    if (semicolon == std::string::npos) {
      break;
    }
    start = semicolon + 1;
  }
  return content;
}

bool HasParameter(const ContentLine& line, std::string_view wanted) {
  return std::any_of(line.parameters.begin(), line.parameters.end(), [&](const std::string& p) { return p == wanted; });
}

bool IsQuotedPrintable(const ContentLine& line) {
  return HasParameter(line, "ENCODING=QUOTED-PRINTABLE") || HasParameter(line, "QUOTED-PRINTABLE");
}

bool IsLatin1(const ContentLine& line) {
  return HasParameter(line, "CHARSET=ISO-8859-1") || HasParameter(line, "CHARSET=WINDOWS-1252") ||
         HasParameter(line, "CHARSET=LATIN1");
}

// The name of an N value: given and additional names, then the family name.
std::string NameFromN(std::string_view value) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 3) {
    const std::size_t semicolon = value.find(';', start);
    parts.emplace_back(value.substr(start, semicolon == std::string_view::npos ? semicolon : semicolon - start));
    if (semicolon == std::string_view::npos) {
      break;
    }
    start = semicolon + 1;
  }
  std::string name;
  for (std::size_t index : {std::size_t{1}, std::size_t{2}, std::size_t{0}}) {
    if (index < parts.size() && !parts[index].empty()) {
      name += (name.empty() ? "" : " ") + parts[index];
    }
  }
  return name;
}

// Collects the columns of one card at a time.
class CVCardCollector {
 public:
  explicit CVCardCollector(CImportGrid& grid) : m_grid(grid) {}

  void Begin(std::size_t line) {
    Finish();
    m_version3 = false;
    m_line = line;
  }
  void SetVersion(std::string_view version) { m_version3 = !version.starts_with("2"); }
  bool Version3() const { return m_version3; }

  void Add(const ContentLine& line, std::string value, std::size_t lineNumber) {
    if (m_line == 0) {
      m_line = lineNumber;
    }
    if (line.name == "N") {
      if (!m_nameFromN) {
        m_nameFromN = NameFromN(value);
        m_nPosition = m_cells.size();
      }
      return;
    }
    m_hasFn = m_hasFn || line.name == "FN";
    m_cells.push_back(line.name == "TEL" ? RemoveHyphens(value) : std::move(value));
  }

  void Finish() {
    if (!m_hasFn && m_nameFromN && !m_nameFromN->empty() && !m_cells.empty()) {
      m_cells.insert(m_cells.begin() + static_cast<std::ptrdiff_t>(m_nPosition), *m_nameFromN);
    }
    if (!m_cells.empty()) {
      m_grid.AddRow(std::move(m_cells), m_line);
    }
    m_cells.clear();
    m_hasFn = false;
    m_nameFromN.reset();
    m_nPosition = 0;
    m_line = 0;
  }

 private:
  CImportGrid& m_grid;
  std::vector<std::string> m_cells;
  bool m_hasFn = false;
  bool m_version3 = false;
  std::optional<std::string> m_nameFromN;
  std::size_t m_nPosition = 0;
  std::size_t m_line = 0;
};

// Joins folded physical lines into content lines. A line that starts with a blank or tab
// continues the previous one; a quoted-printable value ending in "=" continues on the next
// line whatever it starts with.
struct LogicalLine {
  std::size_t line;  // 1-based line where it starts
  std::string text;
};

std::vector<LogicalLine> UnfoldLines(std::string_view text) {
  std::vector<LogicalLine> logical;
  bool softBreak = false;
  bool version3 = false;
  std::size_t number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    if (!logical.empty() && softBreak) {
      logical.back().text.pop_back();  // the "=" of the soft line break
      logical.back().text.append(line);
    } else if (!logical.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      // Version 3.0 folds by inserting a line end and one blank; 2.1 folds before existing
      // white space, which belongs to the value.
      logical.back().text.append(version3 ? line.substr(1) : line);
    } else {
      logical.push_back({number, std::string(line)});
    }
    const std::optional<ContentLine> content = SplitContentLine(logical.back().text);
    if (content && content->name == "VERSION") {
      version3 = !content->value.starts_with("2");
    }
    softBreak = content && IsQuotedPrintable(*content) && !content->value.empty() && content->value.back() == '=';
  }
  return logical;
}

}  // namespace

std::string VCardTimeStamp(const std::tm& time) {
  return std::to_string(time.tm_year + 1900) + std::to_string(time.tm_mon + 1) + std::to_string(time.tm_mday) +
         std::to_string(time.tm_hour) + std::to_string(time.tm_min) + std::to_string(time.tm_sec);
}

std::string VCardText(std::string_view name, std::string_view storedNumber, std::string_view timeStamp) {
  std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
  text += "N:;" + std::string(name) + "\r\n";
  text += "FN:" + std::string(name) + "\r\n";
  text += "TEL;HOME:" + std::string(storedNumber) + "\r\n";
  text += "REV:" + std::string(timeStamp) + "\r\n";
  text += "END:VCARD";
  return text;
}

std::string VCardBaseName(std::string_view name, std::string_view storedNumber) {
  std::string base;
  if (name.empty()) {
    for (char c : storedNumber) {
      base += (c == '*') ? '_' : c;
    }
    return base;
  }
  constexpr std::string_view kReplaced = "/:*\"?<>";
  for (char c : name) {
    base += (kReplaced.find(c) != std::string_view::npos) ? '_' : c;
  }
  return base;
}

std::filesystem::path FreeVCardPath(const std::filesystem::path& folder, const std::string& base) {
  // A folder that cannot be examined answers "free": the write then reports the failure.
  const auto taken = [](const std::filesystem::path& candidate) {
    std::error_code ec;
    return std::filesystem::exists(candidate, ec) && !ec;
  };
  std::filesystem::path path = folder / (base + ".vcf");
  for (unsigned n = 1; taken(path); ++n) {
    path = folder / (base + "(" + std::to_string(n) + ").vcf");
  }
  return path;
}

VCardExportResult ExportVCards(const std::filesystem::path& folder, const std::vector<PhonebookEntry>& entries,
                               const std::tm& now) {
  VCardExportResult result;
  const std::string stamp = VCardTimeStamp(now);
  for (const PhonebookEntry& entry : entries) {
    const std::string number = StoredNumber(entry.number);
    const std::filesystem::path path = FreeVCardPath(folder, VCardBaseName(entry.name, number));
    if (!CAtomicFile::WriteWhole(path, VCardText(entry.name, number, stamp))) {
      result.failed = path;
      break;
    }
    result.written.push_back(path);
  }
  return result;
}

CImportGrid ParseVCardText(std::string_view text) {
  CImportGrid grid;
  CVCardCollector card(grid);
  for (const LogicalLine& raw : UnfoldLines(DecodeImportText(text, false))) {
    const std::optional<ContentLine> line = SplitContentLine(raw.text);
    if (!line) {
      continue;
    }
    const std::string upperValue = Upper(line->value);
    if (line->name == "BEGIN" && upperValue == "VCARD") {
      card.Begin(raw.line);
    } else if (line->name == "END" && upperValue == "VCARD") {
      card.Finish();
    } else if (line->name == "VERSION") {
      card.SetVersion(line->value);
    } else if (line->name == "FN" || line->name == "NICKNAME" || line->name == "TEL" || line->name == "N") {
      std::string value = IsQuotedPrintable(*line) ? DecodeQuotedPrintable(line->value) : line->value;
      if (IsLatin1(*line) || !IsValidUtf8(value)) {
        value = Latin1ToUtf8(value);
      }
      card.Add(*line, card.Version3() ? Unescape(value) : std::move(value), raw.line);
    }
  }
  card.Finish();
  return grid;
}

VCardReadStatus ReadVCardGrid(const std::filesystem::path& path, CImportGrid& grid) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text || DecodeImportText(*text, false).empty()) {
    return VCardReadStatus::NotOpened;
  }
  grid = ParseVCardText(*text);
  return grid.RowCount() == 0 ? VCardReadStatus::NoEntries : VCardReadStatus::Ok;
}
