#include "phonebook/HandsetRecord.h"
#include "phonebook/ImportJob.h"
#include "phonebook/NumberText.h"
#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const HandsetPhonebookRecord& record) {
  return {record.bytes.begin(), record.bytes.end()};
}

TEST(EntryRules, NameCleaningReplacesWhatTheHandsetCannotStore) {
  EXPECT_EQ(NormaliseName(""), "");
  EXPECT_EQ(NormaliseName("@home"), " home");
  EXPECT_EQ(NormaliseName("a`b"), "a b");
  EXPECT_EQ(NormaliseName("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
  // One blank per character, also for multi-byte UTF-8 characters and stray bytes.
  EXPECT_EQ(NormaliseName("Zo\xC3\xAB"), "Zo ");
  EXPECT_EQ(NormaliseName("Jos\xE9"), "Jos ");
  EXPECT_EQ(NormaliseName("Tab\there\n"), "Tab here ");
  // The cut counts characters, so 16 accented letters stay 16 blanks.
  std::string accented;
  for (int i = 0; i < 20; ++i) {
    accented += "\xC3\xA9";
  }
  EXPECT_EQ(NormaliseName(accented), std::string(16, ' '));
  EXPECT_EQ(NormaliseName("!\"$%+-:;<=>?[\\]^_{|}~&'(),./#*"), "!\"$%+-:;<=>?[\\]^");
}

TEST(EntryRules, NumberCleaningAndValidity) {
  EXPECT_EQ(CleanNumber("(555) 123-4567"), "5551234567");
  EXPECT_EQ(CleanNumber("+1 555 12p3f"), "1555123");
  EXPECT_EQ(CleanNumber("12P3F"), "12P3F");
  EXPECT_EQ(CleanNumber(std::string(40, '7')), std::string(32, '7'));
  EXPECT_EQ(CleanNumber("abc"), "");

  EXPECT_TRUE(IsValidNumber("*#"));
  EXPECT_TRUE(IsValidNumber("12P3"));
  EXPECT_TRUE(IsValidNumber(std::string(32, '1')));
  EXPECT_FALSE(IsValidNumber(std::string(33, '1')));
  EXPECT_FALSE(IsValidNumber(""));
  EXPECT_FALSE(IsValidNumber("555-1234"));
  // Pause and flash alone are not a number: a header word "Phone" cleans to "P".
  EXPECT_FALSE(IsValidNumber("P"));
  EXPECT_FALSE(IsValidNumber("PF"));
  EXPECT_FALSE(ValidateEntry("Name", "Phone").has_value());

  const auto entry = ValidateEntry("@Bob", "(555) 123-4567");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->name, " Bob");
  EXPECT_EQ(entry->number, "5551234567");
  EXPECT_FALSE(ValidateEntry("Letters", "abcdef").has_value());
}

TEST(EntryRules, ExtensionsBecomeAPauseBeforeTheirDigits) {
  EXPECT_EQ(CleanNumber("555.123.4567 ext. 12"), "5551234567P12");
  EXPECT_EQ(CleanNumber("555.123.4567 Ext 12"), "5551234567P12");
  EXPECT_EQ(CleanNumber("(555) 123-4567 x4410"), "5551234567P4410");
  EXPECT_EQ(CleanNumber("555-1234X 12"), "5551234P12");
  EXPECT_EQ(CleanNumber("+1-555-0177;ext=102"), "15550177P102");
  EXPECT_EQ(CleanNumber("555-1234 extension 7"), "5551234P7");
  // Each comma is one pause of the dial string.
  EXPECT_EQ(CleanNumber("555-1234,,12"), "5551234PP12");
  // Markers before the number or with nothing after them add nothing; other letters stay
  // dropped, an "x" inside a word is no marker.
  EXPECT_EQ(CleanNumber("x12"), "12");
  EXPECT_EQ(CleanNumber(",555"), "555");
  EXPECT_EQ(CleanNumber("555-1234 ext."), "5551234");
  EXPECT_EQ(CleanNumber("555-1234,"), "5551234");
  EXPECT_EQ(CleanNumber("Box 12"), "12");
  EXPECT_EQ(CleanNumber("12 next 3"), "123");
  EXPECT_EQ(CleanNumber("12P3F"), "12P3F");

  const auto entry = ValidateEntry("Office", "555.123.4567 ext. 12");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->number, "5551234567P12");
  EXPECT_EQ(EncodeRecord(entry->name, entry->number, {}).bytes[21], 0xD1);  // pause, then "1"
}

TEST(EntryRules, CellsWithMoreLettersThanDigitsAreNoNumber) {
  EXPECT_FALSE(ValidateEntry("", "Phone 1 - Value").has_value());
  EXPECT_FALSE(ValidateEntry("", "Mobile 2").has_value());
  EXPECT_FALSE(ValidateEntry("", "\xE7\x94\xB5\xE8\xAF\x9D 1").has_value());  // "telephone 1" in Chinese
  EXPECT_FALSE(ValidateEntry("", "1-800-FLOWERS").has_value());
  // Labels in front of a number, extension words, and the pause and flash letters of a
  // stored number do not outweigh its digits.
  EXPECT_EQ(ValidateEntry("", "Tel. 030 1234")->number, "0301234");
  EXPECT_EQ(ValidateEntry("", "1 ext 2")->number, "1P2");
  EXPECT_EQ(ValidateEntry("", "1PPPF2")->number, "1PPPF2");
  // Direction marks and non-breaking hyphens that phones put around numbers are no letters.
  EXPECT_EQ(ValidateEntry("",
                          "\xE2\x80\xAD+1 555\xE2\x80\x91"
                          "0100\xE2\x80\xAC")
                ->number,
            "15550100");
}

TEST(EntryRules, OnlyTheFirstOfJoinedNumbersIsImported) {
  const JoinedNumbers joined = SplitJoinedNumbers("+1 555-0100 ::: +1 555-0200 ::: 030 1");
  EXPECT_EQ(joined.first, "+1 555-0100 ");
  EXPECT_EQ(joined.count, 3u);
  EXPECT_EQ(SplitJoinedNumbers(" ::: 555").first, " 555");
  EXPECT_EQ(SplitJoinedNumbers("555-0100").count, 1u);

  CPhonebookList list;
  ImportLists lists;
  lists.names = {"Anna", "Bob", "Cid"};
  lists.numbers = {"+49 171 555-0101 ::: +49 30 555-0102", "555-0199", "Mobile ::: Work"};
  const ImportOutcome outcome = ImportEntries(list, lists, false);
  EXPECT_EQ(outcome.added, 2u);
  EXPECT_EQ(outcome.joinedRows, (std::vector<std::size_t>{1}));
  EXPECT_EQ(outcome.invalidRows, (std::vector<std::size_t>{3}));
  EXPECT_EQ(list.Row(0).number, "491715550101");
}

TEST(EntryRules, DisplayFormsInBothFreeEditModes) {
  EXPECT_EQ(ToDisplayNumber("5551234", true), "555-1234");
  EXPECT_EQ(ToDisplayNumber("15551234", true), "1-555-1234");
  EXPECT_EQ(ToDisplayNumber("305551234", true), "30-555-1234");
  EXPECT_EQ(ToDisplayNumber("5551234567", true), "555-123-4567");
  EXPECT_EQ(ToDisplayNumber("15551234567", true), "1-555-123-4567");
  EXPECT_EQ(ToDisplayNumber("555123", true), "555123");
  EXPECT_EQ(ToDisplayNumber("155512345678", true), "155512345678");
  EXPECT_EQ(ToDisplayNumber("5551234567", false), "5551234567");
  EXPECT_EQ(StoredNumber("1-555-123-4567"), "15551234567");

  CPhonebookList computer;
  CPhonebookList handset;
  computer.Append("A", "5551234567");
  handset.Append("B", "555-1234");
  ReformatAllNumbers(computer, handset, true);
  EXPECT_EQ(computer.Row(0).number, "555-123-4567");
  ReformatAllNumbers(computer, handset, false);
  EXPECT_EQ(computer.Row(0).number, "5551234567");
  EXPECT_EQ(handset.Row(0).number, "5551234");
}

TEST(EntryRules, SameNumberIgnoresHyphensAndCase) {
  CPhonebookList list;
  list.Append("x", "555-1234");
  list.Append("y", "12P");
  EXPECT_EQ(FindByNumber(list, "5551234"), 0);
  EXPECT_EQ(FindByNumber(list, "55-51-234"), 0);
  EXPECT_EQ(FindByNumber(list, "12p"), 1);
  EXPECT_EQ(FindByNumber(list, "555123"), -1);
  EXPECT_EQ(FindByNumber(list, "55512345"), -1);
  EXPECT_TRUE(list.AddOrOverwrite("z", "5551234"));
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Row(0).name, "z");
}

TEST(EntryRules, SortIgnoresCaseAndNumbersRows) {
  CPhonebookList list;
  list.Append("cherry", "3");
  list.Append("Banana", "2");
  list.Append("apple", "1");
  list.Append("", "4");
  list.Append("APPLE", "5");
  SortAndNumber(list);
  const std::vector<std::string> names = {"", "apple", "APPLE", "Banana", "cherry"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(list.Row(i).name, names[i]);
    EXPECT_EQ(list.Row(i).no, std::to_string(i + 1));
  }
}

TEST(EntryRules, SearchByNameFallsBackToShorterStarts) {
  CPhonebookList list;
  list.Append("Jack", "1");
  list.Append("John", "2");
  list.Append("Jon", "3");
  EXPECT_EQ(SearchByName(list, "Jon"), 2);
  EXPECT_EQ(SearchByName(list, "Jo"), 1);
  EXPECT_EQ(SearchByName(list, "Jz"), 0);
  EXPECT_EQ(SearchByName(list, "jon"), 0);
  EXPECT_EQ(SearchByName(list, "x"), 0);
  EXPECT_EQ(SearchByName(list, ""), -1);
  EXPECT_EQ(SearchByName(CPhonebookList(), "x"), -1);
}

TEST(EntryRules, CopyRowsRespectsTheFreePlaces) {
  CPhonebookList computer;
  for (int i = 0; i < 10; ++i) {
    computer.Append("C" + std::to_string(i), std::to_string(1000 + i));
  }
  CPhonebookList handset;
  for (int i = 0; i < 45; ++i) {
    handset.Append("H" + std::to_string(i), std::to_string(i < 2 ? 1001 + 2 * i : 2000 + i));
  }
  // Rows 1 and 3 of the Computer list are already on the handset: they overwrite and take
  // no place; five new ones fill the free places, the rest stay selected.
  std::vector<std::size_t> selected(10);
  std::iota(selected.begin(), selected.end(), 0);
  const auto handled = CopyRows(computer, selected, handset, 50 - 45);
  EXPECT_EQ(handled, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(handset.Count(), 50u);
  EXPECT_EQ(handset.Row(FindByNumber(handset, "1001")).name, "C1");
  EXPECT_EQ(FindByNumber(handset, "1007"), -1);

  CPhonebookList unlimited;
  unlimited.Append("Old", "1009");
  EXPECT_EQ(CopyRows(computer, {9, 0, 9}, unlimited, std::nullopt), (std::vector<std::size_t>{0, 9}));
  EXPECT_EQ(unlimited.Count(), 2u);
  EXPECT_EQ(unlimited.Row(1).name, "C9");
  EXPECT_EQ(unlimited.Row(1).no, "2");
}

TEST(EntryRules, FreeEditFollowsTheModelFields) {
  EXPECT_TRUE(EvaluateFreeEdit(0, 0));
  EXPECT_FALSE(EvaluateFreeEdit(1, 0));
  EXPECT_FALSE(EvaluateFreeEdit(0, 2));
}

TEST(EntryRules, CapacityUsesTheLowEightBits) {
  EXPECT_EQ(HandsetCapacity(50), 50);
  EXPECT_EQ(HandsetCapacity(300), 44);
  EXPECT_EQ(HandsetCapacity(256), 0);
}

TEST(HandsetRecord, EncodesNamesNumbersAndAttributes) {
  const auto record = Bytes(EncodeRecord("Al", "1230", {1, 2, 3, 4}));
  const std::vector<std::uint8_t> expected = {'A', 'l',  0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0,   0x12, 0x3B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(record.size(), 36u);
  EXPECT_TRUE(std::equal(record.begin(), record.begin() + 16, expected.begin()));
  EXPECT_EQ(record[16], 0x12);
  EXPECT_EQ(record[17], 0x3B);
  EXPECT_TRUE(std::all_of(record.begin() + 18, record.begin() + 32, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(record[32], 1);
  EXPECT_EQ(record[35], 4);

  EXPECT_EQ(Bytes(EncodeRecord("", "5", {}))[16], 0x50);
  EXPECT_EQ(Bytes(EncodeRecord("", "*0#Pf", {}))[16], 0xAB);
  EXPECT_EQ(Bytes(EncodeRecord("", "*0#Pf", {}))[17], 0xCD);
  EXPECT_EQ(Bytes(EncodeRecord("", "*0#Pf", {}))[18], 0xE0);
  // Hyphens of a display form have no code and are left out.
  EXPECT_EQ(Bytes(EncodeRecord("", "555-1234", {})), Bytes(EncodeRecord("", "5551234", {})));
}

TEST(HandsetRecord, LongValuesNeverOverrunTheirFields) {
  const auto record = Bytes(EncodeRecord("ABCDEFGHIJKLMNOPQRS(1)", std::string(40, '9'), {7, 7, 7, 7}));
  EXPECT_EQ(std::string(record.begin(), record.begin() + 16), "ABCDEFGHIJKLMNOP");
  EXPECT_TRUE(std::all_of(record.begin() + 16, record.begin() + 32, [](std::uint8_t b) { return b == 0x99; }));
  EXPECT_EQ(record[32], 7);
}

TEST(HandsetRecord, RoundTripsAndDropsInvalidRecords) {
  const auto sixteen = EncodeRecord("ABCDEFGHIJKLMNOP", "0123456789*#PF", {9, 8, 7, 6});
  const auto decoded = DecodeRecord(sixteen.bytes);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->name, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(decoded->number, "0123456789*#PF");
  EXPECT_EQ(decoded->attributes, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));

  auto padded = EncodeRecord("Bob  ", "12", {});
  EXPECT_EQ(DecodeRecord(padded.bytes)->name, "Bob");
  // Code 15 ends the number as well.
  padded.bytes[16] = 0x1F;
  padded.bytes[17] = 0x23;
  EXPECT_EQ(DecodeRecord(padded.bytes)->number, "1");
  // An empty number, or one of pauses only, is dropped.
  EXPECT_FALSE(DecodeRecord(EncodeRecord("Empty", "", {}).bytes).has_value());
  EXPECT_FALSE(DecodeRecord(EncodeRecord("Pause", "PP", {}).bytes).has_value());
  // Short items are ignored.
  const auto full = EncodeRecord("X", "1", {});
  EXPECT_FALSE(DecodeRecord(std::span(full.bytes).first(35)).has_value());
  // Name bytes outside the name set become blanks.
  auto odd = EncodeRecord("A@B", "1", {});
  odd.bytes[3] = 0xE9;
  EXPECT_EQ(DecodeRecord(odd.bytes)->name, "A B ");
}

TEST(HandsetRecord, CallerRecordsAndTheirMerge) {
  std::vector<std::uint8_t> item(32, 0);
  item[6] = 0x55;
  item[7] = 0x51;
  item[8] = 0x23;
  item[9] = 0x40;
  const std::string name = "Caller@Name\x01";
  std::copy(name.begin(), name.end(), item.begin() + 16);
  const auto caller = DecodeCallerRecord(item);
  ASSERT_TRUE(caller.has_value());
  EXPECT_EQ(caller->number, "5551234");
  EXPECT_EQ(caller->name, "Caller Name");
  EXPECT_FALSE(DecodeCallerRecord(std::span(item).first(31)).has_value());
  std::vector<std::uint8_t> noNumber(32, 0);
  EXPECT_FALSE(DecodeCallerRecord(noNumber).has_value());

  CPhonebookList computer;
  computer.Append("Known", "555-1234");
  const std::vector<CallerIdEntry> callers = {*caller, {"New", "0301234567"}, {"Twice", "0301234567"}, {"P", "P"}};
  EXPECT_EQ(MergeCallers(computer, callers, true), 1u);
  EXPECT_EQ(computer.Row(0).name, "Known");
  EXPECT_EQ(computer.Row(1).number, "030-123-4567");
}

}  // namespace
