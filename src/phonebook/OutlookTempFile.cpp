#include "phonebook/OutlookTempFile.h"

#include "phonebook/TextFile.h"

#include <array>
#include <optional>
#include <span>

namespace {

struct Layout {
  std::size_t fieldCount;
  std::size_t nameField;
  std::span<const int> numberFields;
  std::size_t secondNameField;
  std::size_t secondNumberField;
};

constexpr std::array<int, 17> kPersonalFolderNumbers = {12, 13, 14, 15, 25, 31, 32, 33, 35,
                                                        36, 38, 45, 46, 47, 49, 50, 51};
constexpr std::array<int, 7> kAddressBookNumbers = {8, 9, 10, 11, 12, 18, 19};

Layout LayoutOf(OutlookSource source) {
  if (source == OutlookSource::PersonalFolders) {
    return {55, 5, kPersonalFolderNumbers, 53, 54};
  }
  return {22, 2, kAddressBookNumbers, 20, 21};
}

class CRecordReader {
 public:
  explicit CRecordReader(std::string_view text) : m_text(text) {}

  bool AtEnd() const { return m_pos >= m_text.size(); }

  OutlookRecord Read() {
    OutlookRecord record;
    record.line = m_line;
    if (AtLineEnd()) {
      SkipLineEnd();
      return record;
    }
    while (true) {
      record.fields.push_back(ReadField());
      if (AtLineEnd()) {
        SkipLineEnd();
        return record;
      }
      ++m_pos;  // the comma
    }
  }

 private:
  bool AtLineEnd() const { return AtEnd() || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'; }

  void SkipLineEnd() {
    if (!AtEnd() && m_text[m_pos] == '\r') {
      ++m_pos;
    }
    if (!AtEnd() && m_text[m_pos] == '\n') {
      ++m_pos;
    }
    ++m_line;
  }

  std::string ReadField() {
    std::string field;
    if (!AtEnd() && m_text[m_pos] == '"') {
      ++m_pos;
      while (!AtEnd()) {
        const char c = m_text[m_pos];
        if (c == '"') {
          if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
            field += '"';
            m_pos += 2;
            continue;
          }
          ++m_pos;
          break;
        }
        if (c == '\n') {
          ++m_line;
        }
        field += c;
        ++m_pos;
      }
    }
    while (!AtLineEnd() && m_text[m_pos] != ',') {
      field += m_text[m_pos++];
    }
    return field;
  }

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::size_t m_line = 1;
};

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

void CollectNumber(const std::string& name, const std::string& field, const CNumberIndex& computer, bool freeEdit,
                   std::vector<PhonebookEntry>& collected) {
  const std::optional<PhonebookEntry> entry = ValidateEntry(name, field);
  if (entry && computer.Find(entry->number) < 0) {
    collected.push_back({entry->name, ToDisplayNumber(entry->number, freeEdit), {}});
  }
}

}  // namespace

std::vector<OutlookRecord> SplitOutlookRecords(std::string_view text) {
  std::vector<OutlookRecord> records;
  CRecordReader reader(SkipByteOrderMark(text));
  while (!reader.AtEnd()) {
    records.push_back(reader.Read());
  }
  return records;
}

OutlookReadResult ReadOutlookTempText(std::string_view text, OutlookSource source, const CPhonebookList& computer,
                                      bool freeEdit, std::vector<PhonebookEntry>& collected,
                                      const std::atomic<bool>* cancel) {
  const Layout layout = LayoutOf(source);
  OutlookReadResult result;
  result.opened = true;
  const CNumberIndex known(computer);
  CRecordReader reader(SkipByteOrderMark(text));
  while (!reader.AtEnd() && !Cancelled(cancel)) {
    const OutlookRecord record = reader.Read();
    if (record.fields.empty()) {
      continue;
    }
    if (record.fields.size() != layout.fieldCount) {
      result.badLine = record.line;
      result.badFieldCount = record.fields.size();
      return result;
    }
    const std::string name = NormaliseName(record.fields[layout.nameField]);
    for (int position : layout.numberFields) {
      CollectNumber(name, record.fields[static_cast<std::size_t>(position)], known, freeEdit, collected);
    }
    CollectNumber(NormaliseName(record.fields[layout.secondNameField]), record.fields[layout.secondNumberField], known,
                  freeEdit, collected);
  }
  result.ok = true;
  return result;
}

OutlookReadResult ReadOutlookTempFile(const std::filesystem::path& path, OutlookSource source,
                                      const CPhonebookList& computer, bool freeEdit,
                                      std::vector<PhonebookEntry>& collected, const std::atomic<bool>* cancel) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    return {};
  }
  return ReadOutlookTempText(*text, source, computer, freeEdit, collected, cancel);
}

OutlookCollection ReadOutlookExports(const std::filesystem::path& folder, bool personalFoldersWritten,
                                     bool addressBookWritten, const CPhonebookList& computer, bool freeEdit,
                                     const std::atomic<bool>* cancel) {
  OutlookCollection result;
  if (!personalFoldersWritten && !addressBookWritten) {
    result.failed = true;
    return result;
  }
  bool anyRead = false;
  if (personalFoldersWritten && !Cancelled(cancel)) {
    result.personalFolders = ReadOutlookTempFile(folder / kPersonalFoldersFile, OutlookSource::PersonalFolders,
                                                 computer, freeEdit, result.collected, cancel);
    anyRead = anyRead || result.personalFolders.ok;
  }
  if (addressBookWritten && !Cancelled(cancel)) {
    result.addressBook = ReadOutlookTempFile(folder / kAddressBookFile, OutlookSource::AddressBook, computer, freeEdit,
                                             result.collected, cancel);
    anyRead = anyRead || result.addressBook.ok;
  }
  // A file that stops at a bad line still contributes the contacts before it.
  result.failed = !anyRead && result.collected.empty() && !Cancelled(cancel);
  return result;
}
