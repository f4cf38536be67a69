#include "phonebook/CsvFormat.h"

#include "phonebook/PhonebookFile.h"
#include "phonebook/TextFile.h"
#include "platform/AtomicFile.h"

#include <optional>

namespace {

constexpr std::size_t kSeparatorProbeLines = 5;

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// Separator counts of one line, outside quotes.
struct SeparatorCounts {
  std::size_t commas = 0;
  std::size_t semicolons = 0;
  std::size_t tabs = 0;
};

std::vector<SeparatorCounts> CountSeparators(std::string_view text) {
  std::vector<SeparatorCounts> lines(1);
  bool quoted = false;
  for (std::size_t pos = 0; pos < text.size() && lines.size() <= kSeparatorProbeLines; ++pos) {
    const char c = text[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\n' && !quoted) {
      lines.emplace_back();
    } else if (!quoted && c == ',') {
      ++lines.back().commas;
    } else if (!quoted && c == ';') {
      ++lines.back().semicolons;
    } else if (!quoted && c == '\t') {
      ++lines.back().tabs;
    }
  }
  return lines;
}

// True when every probed line holds the same, non-zero number of the separator.
template <typename Field>
bool Consistent(const std::vector<SeparatorCounts>& lines, Field field) {
  const std::size_t first = lines.front().*field;
  for (const SeparatorCounts& line : lines) {
    if (line.*field != first) {
      return false;
    }
  }
  return first > 0;
}

// Comma, as long as the first lines use it; semicolons or tabs when the first lines
// separate their fields with those alone, or with those consistently and commas only here
// and there (a comma inside an unquoted name of a semicolon file).
char DetectSeparator(std::string_view text) {
  std::vector<SeparatorCounts> lines = CountSeparators(text);
  // A last line cut off by the probe, or an empty last line, tells nothing.
  if (lines.size() > 1) {
    lines.pop_back();
  }
  std::size_t commas = 0;
  for (const SeparatorCounts& line : lines) {
    commas += line.commas;
  }
  const bool commaConsistent = Consistent(lines, &SeparatorCounts::commas);
  const bool semicolonConsistent = Consistent(lines, &SeparatorCounts::semicolons);
  const bool tabConsistent = Consistent(lines, &SeparatorCounts::tabs);
  if (commaConsistent || (commas > 0 && !semicolonConsistent && !tabConsistent)) {
    return ',';
  }
  if (semicolonConsistent && tabConsistent) {
    return lines.front().tabs > lines.front().semicolons ? '\t' : ';';
  }
  if (semicolonConsistent) {
    return ';';
  }
  if (tabConsistent) {
    return '\t';
  }
  std::size_t semicolons = 0;
  std::size_t tabs = 0;
  for (const SeparatorCounts& line : lines) {
    semicolons += line.semicolons;
    tabs += line.tabs;
  }
  if (semicolons == 0 && tabs == 0) {
    return ',';
  }
  return tabs > semicolons ? '\t' : ';';
}

class CCsvReader {
 public:
  explicit CCsvReader(std::string_view text) : m_text(text), m_separator(DetectSeparator(text)) {}

  bool AtEnd() const { return m_pos >= m_text.size(); }
  // 1-based line at the reading position.
  std::size_t Line() const { return m_line; }

  std::vector<std::string> ReadRecord() {
    std::vector<std::string> fields;
    if (AtLineEnd()) {
      SkipLineEnd();
      return fields;
    }
    while (true) {
      fields.push_back(ReadField());
      if (AtEnd() || IsLineEnd(m_text[m_pos])) {
        SkipLineEnd();
        return fields;
      }
      ++m_pos;  // the separator
      if (AtLineEnd()) {
        SkipLineEnd();
        return fields;
      }
    }
  }

 private:
  bool AtLineEnd() const { return AtEnd() || IsLineEnd(m_text[m_pos]); }

  void SkipLineEnd() {
    if (!AtEnd() && m_text[m_pos] == '\r') {
      ++m_pos;
    }
    if (!AtEnd() && m_text[m_pos] == '\n') {
      ++m_pos;
    }
    ++m_line;
  }

  bool AtFieldEnd() const { return AtEnd() || IsLineEnd(m_text[m_pos]) || m_text[m_pos] == m_separator; }

  std::string ReadField() {
    std::string field;
    if (!AtEnd() && m_text[m_pos] == '"') {
      field = ReadQuoted();
    } else if (AtFieldEnd()) {
      return " ";
    }
    // Text after a closing quote, or an unquoted field, is taken as it stands.
    while (!AtFieldEnd()) {
      field += m_text[m_pos++];
    }
    return field;
  }

  // A quoted field from the opening quote at m_pos. When no closing quote follows before
  // the end of the text, the quote does not swallow the rest of the file: the field ends
  // with its own line.
  std::string ReadQuoted() {
    const std::size_t open = m_pos;
    std::optional<std::string> spanning = ScanQuoted(open + 1, m_text.size());
    if (spanning) {
      return *spanning;
    }
    std::size_t lineEnd = open + 1;
    while (lineEnd < m_text.size() && !IsLineEnd(m_text[lineEnd])) {
      ++lineEnd;
    }
    std::string field;
    for (std::size_t pos = open + 1; pos < lineEnd; ++pos) {
      field += m_text[pos];
      if (m_text[pos] == '"' && pos + 1 < lineEnd && m_text[pos + 1] == '"') {
        ++pos;
      }
    }
    m_pos = lineEnd;
    return field;
  }

  std::optional<std::string> ScanQuoted(std::size_t pos, std::size_t limit) {
    std::string field;
    std::size_t lines = 0;
    while (pos < limit) {
      const char c = m_text[pos];
      if (c == '"') {
        if (pos + 1 < limit && m_text[pos + 1] == '"') {
          field += '"';
          pos += 2;
          continue;
        }
        m_pos = pos + 1;
        m_line += lines;
        return field;
      }
      // A CR LF inside a quoted field is kept as a plain line feed.
      if (!(c == '\r' && pos + 1 < limit && m_text[pos + 1] == '\n')) {
        field += c;
      }
      lines += (c == '\n') ? 1 : 0;
      ++pos;
    }
    return std::nullopt;
  }

  std::string_view m_text;
  char m_separator;
  std::size_t m_pos = 0;
  std::size_t m_line = 1;
};

}  // namespace

std::string CsvText(const CPhonebookList& list) {
  std::string text;
  for (const PhonebookRow& row : list.Rows()) {
    text += FormatEntryLine(row.name, StoredNumber(row.number));
  }
  return text;
}

bool WriteCsvFile(const std::filesystem::path& path, const CPhonebookList& list) {
  return CAtomicFile::WriteWhole(path, CsvText(list));
}

CImportGrid ParseCsvText(std::string_view bytes) {
  const std::string text = DecodeImportText(bytes, true);
  CCsvReader reader(text);
  CImportGrid grid;
  while (!reader.AtEnd()) {
    const std::size_t line = reader.Line();
    grid.AddRow(reader.ReadRecord(), line);
  }
  return grid;
}

CsvReadStatus ReadCsvGrid(const std::filesystem::path& path, CImportGrid& grid) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text || DecodeImportText(*text, false).empty()) {
    return CsvReadStatus::NotOpened;
  }
  grid = ParseCsvText(*text);
  return CsvReadStatus::Ok;
}
