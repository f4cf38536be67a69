#include "phonebook/VCardFormat.h"

#include "phonebook/TextFile.h"
#include "platform/AtomicFile.h"
#include "platform/HexDigit.h"

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

std::string DecodeQuotedPrintable(std::string_view value) {
  std::string result;
  for (std::size_t pos = 0; pos < value.size(); ++pos) {
    if (value[pos] == '=' && pos + 2 < value.size() && HexDigitValue(value[pos + 1]) >= 0 &&
        HexDigitValue(value[pos + 2]) >= 0) {
      result += static_cast<char>(HexDigitValue(value[pos + 1]) * 16 + HexDigitValue(value[pos + 2]));
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

// A TEL value of version 4.0 may be a tel: address ("tel:+1-555-0100;ext=12").
std::string_view WithoutTelScheme(std::string_view value) {
  if (value.size() >= 4 && Upper(value.substr(0, 4)) == "TEL:") {
    value.remove_prefix(4);
  }
  return value;
}

// Collects one card at a time into a grid row of fixed columns, whatever the order of its
// lines: 1 the name (FN, or the name of N when there is no FN), 2 the first number, 3 the
// nickname, 4 onward the further numbers. So the same column holds the same kind of text
// for every card of a file; empty cells at the end of a row are left off.
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
      }
      return;
    }
    m_hasColumns = true;
    if (line.name == "TEL") {
      m_numbers.push_back(RemoveHyphens(WithoutTelScheme(value)));
    } else if (line.name == "FN") {
      if (m_fullName.empty()) {
        m_fullName = std::move(value);
      }
    } else if (!m_nickname) {
      m_nickname = std::move(value);
    }
  }

  void Finish() {
    if (m_hasColumns) {
      m_grid.AddRow(Row(), m_line);
    }
    m_hasColumns = false;
    m_fullName.clear();
    m_nickname.reset();
    m_numbers.clear();
    m_nameFromN.reset();
    m_line = 0;
  }

 private:
  std::vector<std::string> Row() {
    std::vector<std::string> cells;
    cells.push_back(!m_fullName.empty() ? std::move(m_fullName) : m_nameFromN.value_or(std::string()));
    cells.push_back(m_numbers.empty() ? std::string() : std::move(m_numbers.front()));
    cells.push_back(m_nickname.value_or(std::string()));
    for (std::size_t i = 1; i < m_numbers.size(); ++i) {
      cells.push_back(std::move(m_numbers[i]));
    }
    while (cells.size() > 1 && cells.back().empty()) {
      cells.pop_back();
    }
    return cells;
  }

  CImportGrid& m_grid;
  bool m_hasColumns = false;  // the card has an FN, NICKNAME or TEL line
  std::string m_fullName;
  std::optional<std::string> m_nickname;
  std::vector<std::string> m_numbers;
  bool m_version3 = false;
  std::optional<std::string> m_nameFromN;
  std::size_t m_line = 0;
};

// Joins folded physical lines into content lines. A line that starts with a blank or tab
// continues the previous one; a quoted-printable value ending in "=" continues on the next
// line whatever it starts with.
struct LogicalLine {
  std::size_t line;  // 1-based line where it starts
  std::string text;
};

// What is known of the content line being joined. Its property and parameters are decided
// once, as soon as the colon that ends them has been read; the lines folded into its value
// are only appended, so a value folded over many lines (a photo) is read in linear time.
class COpenLine {
 public:
  void Start() {
    m_headRead = 0;
    m_quoted = false;
    m_valueStart = std::string::npos;
    m_quotedPrintable = false;
    m_version = false;
  }

  // Looks for the end of the property and parameters in the text appended since last time.
  void Scan(const std::string& text) {
    for (; m_valueStart == std::string::npos && m_headRead < text.size(); ++m_headRead) {
      if (text[m_headRead] == '"') {
        m_quoted = !m_quoted;
      } else if (text[m_headRead] == ':' && !m_quoted) {
        m_valueStart = m_headRead + 1;
        const std::optional<ContentLine> head = SplitContentLine(std::string_view(text).substr(0, m_valueStart));
        m_quotedPrintable = head && IsQuotedPrintable(*head);
        m_version = head && head->name == "VERSION";
      }
    }
  }

  // True when the value is quoted-printable and ends in the "=" of a soft line break.
  bool SoftBreak(const std::string& text) const {
    return m_quotedPrintable && text.size() > m_valueStart && text.back() == '=';
  }
  // The version a complete VERSION line names; nothing for any other line.
  std::optional<bool> Version3(const std::string& text) const {
    if (!m_version) {
      return std::nullopt;
    }
    return !std::string_view(text).substr(m_valueStart).starts_with("2");
  }

 private:
  std::size_t m_headRead = 0;
  bool m_quoted = false;
  std::size_t m_valueStart = std::string::npos;
  bool m_quotedPrintable = false;
  bool m_version = false;
};

std::vector<LogicalLine> UnfoldLines(std::string_view text) {
  std::vector<LogicalLine> logical;
  COpenLine open;
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
      if (!logical.empty()) {
        version3 = open.Version3(logical.back().text).value_or(version3);
      }
      logical.push_back({number, std::string(line)});
      open.Start();
    }
    open.Scan(logical.back().text);
    softBreak = open.SoftBreak(logical.back().text);
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

namespace {

// The number with each star turned into "_" (a star is not allowed in file names elsewhere).
std::string NumberBaseName(std::string_view storedNumber) {
  std::string base;
  for (char c : storedNumber) {
    base += (c == '*') ? '_' : c;
  }
  return base.empty() ? std::string("_") : base;
}

}  // namespace

std::string VCardBaseName(std::string_view name, std::string_view storedNumber) {
  // A name of blanks only (what a name in another alphabet becomes once cleaned) would
  // give a blank file name, and one that starts with "." a hidden file.
  if (name.find_first_not_of(' ') == std::string_view::npos || name.front() == '.') {
    return NumberBaseName(storedNumber);
  }
  std::string base;
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
    const bool vcardValue = line->value.size() == 5 && Upper(line->value) == "VCARD";
    if (line->name == "BEGIN" && vcardValue) {
      card.Begin(raw.line);
    } else if (line->name == "END" && vcardValue) {
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
