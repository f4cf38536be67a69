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

// Comma, unless the first lines separate their fields with semicolons or tabs only.
char DetectSeparator(std::string_view text) {
  std::size_t commas = 0;
  std::size_t semicolons = 0;
  std::size_t tabs = 0;
  std::size_t lines = 0;
  bool quoted = false;
  for (std::size_t pos = 0; pos < text.size() && lines < kSeparatorProbeLines; ++pos) {
    const char c = text[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\n') {
      ++lines;
      quoted = false;
    } else if (!quoted && c == ',') {
      ++commas;
    } else if (!quoted && c == ';') {
      ++semicolons;
    } else if (!quoted && c == '\t') {
      ++tabs;
    }
  }
  if (commas > 0) {
    return ',';
  }
  if (semicolons > 0) {
    return ';';
  }
  return tabs > 0 ? '\t' : ',';
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
