#include "phonebook/ImportJob.h"
#include "phonebook/OutlookTempFile.h"

#include "PhonebookTestFiles.h"

#include <gtest/gtest.h>

namespace {

// An address-book line: 22 quoted fields, name at 2, numbers at 8..12, 18, 19, second
// name and number at 20 and 21.
std::string AddressBookLine(const std::string& name, const std::vector<std::pair<int, std::string>>& fields) {
  std::vector<std::string> all(22, " ");
  all[2] = name;
  for (const auto& [index, value] : fields) {
    all[static_cast<std::size_t>(index)] = value;
  }
  std::string line;
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::string quoted;
    for (char c : all[i]) {
      quoted += (c == '"') ? "\"\"" : std::string(1, c);
    }
    line += (i == 0 ? "\"" : ",\"") + quoted + "\"";
  }
  return line + "\r\n";
}

TEST(OutlookTempFile, PersonalFoldersFile) {
  CPhonebookList computer;
  computer.Append("Known", "030-555-0002");
  std::vector<PhonebookEntry> collected;
  const auto result =
      ReadOutlookTempFile(TestData("pst.tmp"), OutlookSource::PersonalFolders, computer, true, collected);
  ASSERT_TRUE(result.ok);
  // Three numbers of the first contact, one of them already known; the second contact
  // repeats a number (kept here, dropped by the merge) and has a second name.
  const std::vector<PhonebookEntry> expected = {{"Karl \"Kalle\" Ber", "555-0001", {}},
                                                {"Karl \"Kalle\" Ber", "0-171-555-0003", {}},
                                                {"Dora", "555-0001", {}},
                                                {"Dora Assistant", "555-0010", {}}};
  ASSERT_EQ(collected.size(), 4u);
  EXPECT_EQ(collected[0], expected[0]);
  EXPECT_EQ(collected[2], expected[2]);
  EXPECT_EQ(collected[3], expected[3]);

  EXPECT_EQ(MergeCollected(computer, collected), 3u);
  EXPECT_EQ(computer.Count(), 4u);
  EXPECT_EQ(computer.Row(FindByNumber(computer, "5550001")).name, "Karl \"Kalle\" Ber");
}

TEST(OutlookTempFile, AddressBookStopsAtAWrongFieldCount) {
  std::vector<PhonebookEntry> collected;
  const auto result = ReadOutlookTempFile(TestData("pab.tmp"), OutlookSource::AddressBook, {}, false, collected);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.badLine, 3u);
  EXPECT_EQ(result.badFieldCount, 2u);
  ASSERT_EQ(collected.size(), 3u);
  EXPECT_EQ(collected[0].name, "Eve");
  EXPECT_EQ(collected[1].name, "Frank, Jr.");
  EXPECT_EQ(collected[1].number, "5550030");
  EXPECT_EQ(collected[2].name, "Grace");
}

TEST(OutlookTempFile, QuotesCommasAndLineEndsInsideFields) {
  const std::string text = AddressBookLine("A \"B\", C", {{8, "555-1111"}, {19, "(030) 2222"}}) + "\r\n" +
                           AddressBookLine("Multi", {{3, "street\r\ncity"}, {9, "333"}, {12, "Phone"}});
  std::vector<PhonebookEntry> collected;
  const auto result = ReadOutlookTempText(text, OutlookSource::AddressBook, {}, true, collected);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(collected.size(), 3u);
  EXPECT_EQ(collected[0].name, "A \"B\", C");
  EXPECT_EQ(collected[0].number, "555-1111");
  EXPECT_EQ(collected[1].number, "030-2222");
  EXPECT_EQ(collected[2].name, "Multi");

  std::vector<PhonebookEntry> none;
  EXPECT_FALSE(
      ReadOutlookTempText("\"only\",\"three\",\"fields\"\r\n", OutlookSource::PersonalFolders, {}, true, none).ok);
  EXPECT_FALSE(ReadOutlookTempFile("/nonexistent/pst.tmp", OutlookSource::PersonalFolders, {}, true, none).opened);

  std::atomic<bool> cancel{true};
  EXPECT_TRUE(ReadOutlookTempText(text, OutlookSource::AddressBook, {}, true, none, &cancel).ok);
  EXPECT_TRUE(none.empty());
}

TEST(OutlookTempFile, ExportsTogetherFailOnlyWhenNothingCouldBeRead) {
  CScratchFolder folder;
  EXPECT_TRUE(ReadOutlookExports(folder.Path(), false, false, {}, true).failed);
  // Reported as written but missing, or unreadable from the first line: nothing was read.
  EXPECT_TRUE(ReadOutlookExports(folder.Path(), true, false, {}, true).failed);
  WriteBytes(folder / "pab.tmp", "\"bad\"\r\n" + AddressBookLine("Late", {{8, "1"}}));
  const OutlookCollection badOnly = ReadOutlookExports(folder.Path(), false, true, {}, true);
  EXPECT_TRUE(badOnly.failed);
  EXPECT_EQ(badOnly.addressBook.badLine, 1u);

  // A file whose second line is bad contributes its first line.
  WriteBytes(folder / "pab.tmp", AddressBookLine("Early", {{8, "555-0001"}}) + "\"bad\"\r\n");
  const OutlookCollection partial = ReadOutlookExports(folder.Path(), false, true, {}, true);
  EXPECT_FALSE(partial.failed);
  EXPECT_EQ(partial.addressBook.badLine, 2u);
  ASSERT_EQ(partial.collected.size(), 1u);
  EXPECT_EQ(partial.collected[0].name, "Early");

  std::filesystem::copy_file(TestData("pst.tmp"), folder / "pst.tmp");
  WriteBytes(folder / "pab.tmp", "\"bad\"\r\n");
  const OutlookCollection both = ReadOutlookExports(folder.Path(), true, true, {}, true);
  EXPECT_FALSE(both.failed);
  EXPECT_TRUE(both.personalFolders.ok);
  EXPECT_EQ(both.collected.size(), 5u);
}

}  // namespace
