#include "phonebook/PhonebookList.h"

#include "phonebook/PhonebookEntry.h"

#include <algorithm>

namespace {

unsigned char LowerByte(char c) {
  const auto code = static_cast<unsigned char>(c);
  return (code >= 'A' && code <= 'Z') ? static_cast<unsigned char>(code - 'A' + 'a') : code;
}

bool NameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerByte(x) < LowerByte(y); });
}

}  // namespace

void CPhonebookList::Append(std::string name, std::string displayNumber) {
  m_rows.push_back({std::to_string(m_rows.size() + 1), std::move(name), std::move(displayNumber)});
}

void CPhonebookList::SetRow(std::size_t index, std::string name, std::string displayNumber) {
  PhonebookRow& row = m_rows.at(index);
  row.name = std::move(name);
  row.number = std::move(displayNumber);
}

void CPhonebookList::Remove(std::size_t index) {
  if (index < m_rows.size()) {
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

bool CPhonebookList::AddOrOverwrite(std::string name, std::string displayNumber) {
  const int found = FindByNumber(*this, displayNumber);
  if (found >= 0) {
    SetRow(static_cast<std::size_t>(found), std::move(name), std::move(displayNumber));
    return true;
  }
  Append(std::move(name), std::move(displayNumber));
  return false;
}

int FindByNumber(const CPhonebookList& list, std::string_view number) {
  const std::vector<PhonebookRow>& rows = list.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (SameNumber(rows[i].number, number)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int SearchByName(const CPhonebookList& list, std::string_view text) {
  if (text.empty() || list.Empty()) {
    return -1;
  }
  const std::vector<PhonebookRow>& rows = list.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name == text) {
      return static_cast<int>(i);
    }
  }
  for (std::size_t length = text.size(); length > 0; --length) {
    const std::string_view start = text.substr(0, length);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (std::string_view(rows[i].name).starts_with(start)) {
        return static_cast<int>(i);
      }
    }
  }
  return 0;
}

std::vector<std::size_t> CopyRows(const CPhonebookList& source, const std::vector<std::size_t>& selected,
                                  CPhonebookList& destination, std::optional<std::size_t> freePlaces) {
  std::vector<std::size_t> rows = selected;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  CNumberIndex index(destination);
  std::vector<std::size_t> handled;
  for (std::size_t row : rows) {
    if (row >= source.Count()) {
      continue;
    }
    const PhonebookRow& copied = source.Row(row);
    const bool known = index.Find(copied.number) >= 0;
    if (!known && freePlaces) {
      if (*freePlaces == 0) {
        break;
      }
      --*freePlaces;
    }
    index.AddOrOverwrite(destination, copied.name, copied.number);
    handled.push_back(row);
    if (freePlaces && *freePlaces == 0) {
      break;
    }
  }
  SortAndNumber(destination);
  return handled;
}

void SortAndNumber(CPhonebookList& list) {
  std::vector<PhonebookRow> rows = list.Rows();
  std::stable_sort(rows.begin(), rows.end(),
                   [](const PhonebookRow& a, const PhonebookRow& b) { return NameLess(a.name, b.name); });
  list.Clear();
  for (PhonebookRow& row : rows) {
    list.Append(std::move(row.name), std::move(row.number));
  }
}

void ReformatNumbers(CPhonebookList& list, bool freeEdit) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const PhonebookRow& row = list.Row(i);
    list.SetRow(i, row.name, ToDisplayNumber(StoredNumber(row.number), freeEdit));
  }
}

void ReformatAllNumbers(CPhonebookList& computer, CPhonebookList& handset, bool freeEdit) {
  ReformatNumbers(computer, freeEdit);
  ReformatNumbers(handset, freeEdit);
}

CNumberIndex::CNumberIndex(const CPhonebookList& list) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    m_rows.emplace(Key(list.Row(i).number), i);
  }
}

std::string CNumberIndex::Key(std::string_view number) {
  std::string key;
  for (char c : number) {
    if (c != '-') {
      key += static_cast<char>(LowerByte(c));
    }
  }
  return key;
}

int CNumberIndex::Find(std::string_view number) const {
  const auto found = m_rows.find(Key(number));
  return found == m_rows.end() ? -1 : static_cast<int>(found->second);
}

bool CNumberIndex::AddOrOverwrite(CPhonebookList& list, std::string name, std::string displayNumber) {
  const int found = Find(displayNumber);
  if (found >= 0) {
    list.SetRow(static_cast<std::size_t>(found), std::move(name), std::move(displayNumber));
    return true;
  }
  m_rows.emplace(Key(displayNumber), list.Count());
  list.Append(std::move(name), std::move(displayNumber));
  return false;
}
