#include "phonebook/PhonebookFile.h"

#include "PhonebookTestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const std::string kHeader = "; Vorlandix Communications Co., Ltd. Phonebook MHS Version 1.00\r\n";

CPhonebookList ListOf(std::initializer_list<std::pair<const char*, const char*>> rows) {
  CPhonebookList list;
  for (const auto& [name, number] : rows) {
    list.Append(name, number);
  }
  SortAndNumber(list);
  return list;
}

TEST(PhonebookFile, WritesTheExactFormat) {
  CScratchFolder folder;
  const auto path = folder / "book.phb";
  ASSERT_TRUE(
      WritePhonebookFile(path, ListOf({{"Alice", "555-1234"}, {"Bob", "12"}, {"Say \"Hi\"", "1-555-123-4567"}})));
  EXPECT_EQ(ReadBytes(path), kHeader + "\"Alice\",5551234\r\n\"Bob\",12\r\n\"Say \"\"Hi\"\"\",15551234567\r\n");
  EXPECT_EQ(folder.FileCount(), 1u);
}

TEST(PhonebookFile, ReadsBackNamesWithQuotesAndCommasInDisplayForm) {
  CScratchFolder folder;
  const auto path = folder / "book.phb";
  const CPhonebookList written = ListOf({{"Say \"Hi\"", "12"}, {"Smith, John", "555-1234"}, {"\"\"", "*#"}, {"", "1"}});
  ASSERT_TRUE(WritePhonebookFile(path, written));
  CPhonebookList read;
  ASSERT_EQ(ReadPhonebookFile(path, read, false, true), PhonebookReadStatus::Ok);
  EXPECT_EQ(read.Rows(), written.Rows());

  CPhonebookList plain;
  ASSERT_EQ(ReadPhonebookFile(path, plain, false, false), PhonebookReadStatus::Ok);
  EXPECT_EQ(plain.Row(FindByNumber(plain, "5551234")).number, "5551234");
}

TEST(PhonebookFile, ReadingMergesByNumberAndRepairsEntries) {
  CPhonebookList list = ListOf({{"Kept", "999"}, {"Old name", "555-1234"}});
  const std::string text = kHeader +
                           "\"First\",5551234\r\n"
                           "\"Second\",5551234\r\n"  // same number: the later name wins
                           "\"Long\"," +
                           std::string(40, '8') +
                           "\r\n"
                           "\"Bad\",abc\r\n"  // no valid number: skipped
                           "\"@Odd\",(030) 12\r\n"
                           "no quote,4321\r\n"  // no quote: empty name, number after comma
                           "\r\n";
  ASSERT_EQ(ReadPhonebookText(text, list, true, true), PhonebookReadStatus::Ok);
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_EQ(list.Row(FindByNumber(list, "999")).name, "Kept");
  EXPECT_EQ(list.Row(FindByNumber(list, "5551234")).name, "Second");
  EXPECT_EQ(list.Row(FindByNumber(list, std::string(32, '8'))).name, "Long");
  EXPECT_EQ(list.Row(FindByNumber(list, "03012")).name, " Odd");
  EXPECT_EQ(list.Row(FindByNumber(list, "4321")).name, "");
  EXPECT_EQ(list.Row(0).no, "1");

  ASSERT_EQ(ReadPhonebookText(text, list, false, true), PhonebookReadStatus::Ok);
  EXPECT_EQ(FindByNumber(list, "999"), -1);
}

TEST(PhonebookFile, HeaderChecksLeaveTheListAlone) {
  CPhonebookList list = ListOf({{"Keep", "1"}});
  EXPECT_EQ(ReadPhonebookText("", list, false, true), PhonebookReadStatus::Empty);
  EXPECT_EQ(ReadPhonebookText("; Vorlandix Communications Co., Ltd. Phonebook MHS Version 2.00\r\n\"A\",2\r\n", list,
                              false, true),
            PhonebookReadStatus::WrongVersion);
  EXPECT_EQ(ReadPhonebookText("\"A\",2\r\n", list, false, true), PhonebookReadStatus::WrongVersion);
  EXPECT_EQ(list.Count(), 1u);
  // Lines ended by a lone CR are lines too.
  EXPECT_EQ(ReadPhonebookText(kHeader.substr(0, kHeader.size() - 1) + "\"Mac\",2\r\"Mac2\",3", list, false, true),
            PhonebookReadStatus::Ok);
  EXPECT_EQ(list.Count(), 2u);
  // Another tool's header with the two texts in another order is accepted.
  EXPECT_EQ(ReadPhonebookText("Version 1.00 by Vorlandix Communications Co., Ltd.\n\"A\",2\n", list, false, true),
            PhonebookReadStatus::Ok);
  EXPECT_EQ(list.Row(0).name, "A");

  CScratchFolder folder;
  EXPECT_EQ(ReadPhonebookFile(folder / "missing.phb", list, false, true), PhonebookReadStatus::NotOpened);
  EXPECT_EQ(ReadPhonebookFile(folder.Path(), list, false, true), PhonebookReadStatus::NotOpened);
  EXPECT_EQ(static_cast<int>(PhonebookReadStatus::NotOpened), 732);
  EXPECT_EQ(static_cast<int>(PhonebookReadStatus::WrongVersion), 794);
}

TEST(PhonebookFile, PasteModeKeepsBothEntriesOfTheSameName) {
  CPhonebookList list = ListOf({{"Ann", "555-1234"}});
  EXPECT_TRUE(MergeEntryLine(list, "\"Ann\",5551234", true, true));
  EXPECT_EQ(list.Row(0).name, "Ann(1)");
  EXPECT_TRUE(MergeEntryLine(list, "\"Bob\",5551234", true, true));
  EXPECT_EQ(list.Row(0).name, "Bob");
  EXPECT_FALSE(MergeEntryLine(list, "\"Nobody\",", true, true));
  CPhonebookList full = ListOf({{"ABCDEFGHIJKLMNOP", "1"}});
  EXPECT_TRUE(MergeEntryLine(full, "\"ABCDEFGHIJKLMNOP\",1", true, true));
  EXPECT_EQ(full.Row(0).name, "ABCDEFGHIJKLM(1)");
}

TEST(PhonebookFile, ClipboardCopyAndPaste) {
  CPhonebookList source = ListOf({{"Ann \"A\"", "555-1234"}, {"Bob", "12"}, {"Cy", "34"}});
  const std::string text = ClipboardText(source, {0, 2, 7});
  EXPECT_EQ(text, "\"Ann \"\"A\"\"\",5551234\n\"Cy\",34\n");

  CPhonebookList target = ListOf({{"Cy", "34"}, {"Other", "5551234"}});
  EXPECT_EQ(PasteEntryLines(target, text + "garbage\n", true), 2u);
  ASSERT_EQ(target.Count(), 2u);
  EXPECT_EQ(target.Row(0).name, "Ann \"A\"");
  EXPECT_EQ(target.Row(0).number, "555-1234");
  EXPECT_EQ(target.Row(1).name, "Cy(1)");
  EXPECT_EQ(target.Row(1).no, "2");
}

TEST(PhonebookFile, FailedSaveKeepsTheOldFile) {
  CScratchFolder folder;
  const auto path = folder / "book.phb";
  ASSERT_TRUE(WritePhonebookFile(path, ListOf({{"Old", "1"}})));
  const std::string before = ReadBytes(path);
  ::chmod(folder.Path().c_str(), 0500);
  const bool written = WritePhonebookFile(path, ListOf({{"New", "2"}}));
  ::chmod(folder.Path().c_str(), 0700);
  if (::geteuid() != 0) {
    EXPECT_FALSE(written);
  }
  if (!written) {
    EXPECT_EQ(ReadBytes(path), before);
  }
  EXPECT_FALSE(WritePhonebookFile(folder / "no-such-folder" / "x.phb", ListOf({{"New", "2"}})));
  EXPECT_EQ(folder.FileCount(), 1u);
}

TEST(SendCache, WritesReadsAndRemoves) {
  CScratchFolder folder;
  const auto path = folder / "PBCache.phb";
  EXPECT_TRUE(WriteSendCache(path, {}));
  EXPECT_FALSE(std::filesystem::exists(path));

  const std::vector<PhonebookEntry> received = {
      {"Quote \"q\"", "555-1234", {1, 2, 3, 4}}, {"", "12", {}}, {"Twice", "5551234", {}}};
  ASSERT_TRUE(WriteSendCache(path, received));
  EXPECT_EQ(ReadBytes(path), kHeader + "\"Quote \"\"q\"\"\",5551234\r\n\"\",12\r\n\"Twice\",5551234\r\n");

  CPhonebookList handset = ListOf({{"Stale", "777"}});
  ASSERT_TRUE(ReadSendCache(path, handset, true));
  ASSERT_EQ(handset.Count(), 2u);
  EXPECT_EQ(handset.Row(0).name, "");
  EXPECT_EQ(handset.Row(1).name, "Quote \"q\"");
  EXPECT_EQ(handset.Row(1).number, "555-1234");

  EXPECT_TRUE(RemoveSendCache(path));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(RemoveSendCache(path));
  EXPECT_FALSE(ReadSendCache(path, handset, true));
  EXPECT_EQ(handset.Count(), 2u);
}

TEST(SendCache, RestoreTakesOnlyQuotedLinesWithValidNumbers) {
  CPhonebookList handset;
  ReadSendCacheText(kHeader + "\"A\",1,extra\r\nB,2\r\n\"C\"\r\n\"D\",Phone\r\n\"\",3\r\n", handset, false);
  ASSERT_EQ(handset.Count(), 2u);
  EXPECT_EQ(handset.Row(0).number, "3");
  EXPECT_EQ(handset.Row(1).number, "1");
  ReadSendCacheText(kHeader + "\"X\",abc\r\n", handset, false);
  EXPECT_TRUE(handset.Empty());
}

TEST(SendCache, LivesInTheUserDataFolder) {
  const std::string old = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  CScratchFolder folder;
  ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
  const auto path = SendCachePath();
  EXPECT_EQ(path, folder / "orvane-usb-utility" / "PBCache.phb");
  EXPECT_TRUE(WriteSendCache(path, {{"A", "1", {}}}));
  if (old.empty()) {
    ::unsetenv("XDG_DATA_HOME");
  } else {
    ::setenv("XDG_DATA_HOME", old.c_str(), 1);
  }
}

}  // namespace
