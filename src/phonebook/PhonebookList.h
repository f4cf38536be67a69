#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One row of a phonebook list as the window shows it: "No." (1..N after sorting), "Name"
// and "Phone No." (the number in display form).
struct PhonebookRow {
  std::string no;
  std::string name;
  std::string number;

  bool operator==(const PhonebookRow&) const = default;
};

// The rows of the Computer list or the Handset list. Within one list a number occurs at
// most once; the adding functions keep that by overwriting the row of the same number.
class CPhonebookList {
 public:
  std::size_t Count() const { return m_rows.size(); }
  bool Empty() const { return m_rows.empty(); }
  const std::vector<PhonebookRow>& Rows() const { return m_rows; }
  const PhonebookRow& Row(std::size_t index) const { return m_rows.at(index); }

  void Clear() { m_rows.clear(); }
  // Appends a row without looking for its number; the caller has checked it is new.
  void Append(std::string name, std::string displayNumber);
  void SetRow(std::size_t index, std::string name, std::string displayNumber);
  void Remove(std::size_t index);
  // Overwrites the name and number of the row with the same number, or appends a row.
  // Answers true when a row was overwritten.
  bool AddOrOverwrite(std::string name, std::string displayNumber);

 private:
  std::vector<PhonebookRow> m_rows;
};

// Finds rows by number in constant time while many entries are merged into one list (an
// import, a file read). It answers what FindByNumber answers as long as the list changes
// only through its AddOrOverwrite.
class CNumberIndex {
 public:
  explicit CNumberIndex(const CPhonebookList& list);
  int Find(std::string_view number) const;
  // CPhonebookList::AddOrOverwrite, keeping the index up to date.
  bool AddOrOverwrite(CPhonebookList& list, std::string name, std::string displayNumber);

 private:
  static std::string Key(std::string_view number);
  std::unordered_map<std::string, std::size_t> m_rows;
};

// The first row, in list order, whose number equals the given one (hyphens and letter
// case ignored); -1 when there is none.
int FindByNumber(const CPhonebookList& list, std::string_view number);
// The row the Search button selects: the first row whose name equals the text (letter case
// counts), else the first whose name begins with the longest possible start of the text,
// else row 0. -1 for an empty text or an empty list.
int SearchByName(const CPhonebookList& list, std::string_view text);
// Copies the selected source rows (in list order) into the destination: a row whose
// number is there already overwrites that row, any other is appended. With a number of
// free places (a Handset list near its capacity) appending stops when they are used up;
// overwriting takes no place. Answers the source rows handled, which the window deselects.
// The destination is sorted and numbered after.
std::vector<std::size_t> CopyRows(const CPhonebookList& source, const std::vector<std::size_t>& selected,
                                  CPhonebookList& destination, std::optional<std::size_t> freePlaces);
// Orders the rows by name, byte by byte without regard to ASCII case (rows of equal names
// keep their order), and writes the positions 1..N into the "No." column.
void SortAndNumber(CPhonebookList& list);
// Renders every number of the list again for the given "FreeEdit" value.
void ReformatNumbers(CPhonebookList& list, bool freeEdit);
// The same for both lists of the window after "FreeEdit" changed.
void ReformatAllNumbers(CPhonebookList& computer, CPhonebookList& handset, bool freeEdit);
