// The contacts export library loaded by file name, as the phonebook loads it: the contact
// files of the sample data files, protected files, damaged files, and cancelling.
#include "OutlookTestFiles.h"
#include "phonebook/OutlookLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

using namespace outlooktest;

namespace {

constexpr std::int32_t kPersonalFolders = 10;
constexpr std::int32_t kAddressBook = 11;

// A personal-folders line: the name in field 5 and the given fields, the rest empty.
std::string Line(const std::string& name, const std::map<std::size_t, std::string>& fields = {}) {
  std::string line;
  for (std::size_t i = 0; i < 55; ++i) {
    const auto found = fields.find(i);
    line += std::string(i == 0 ? "" : ",") + "\"" + (i == 5 ? name : found != fields.end() ? found->second : "") + "\"";
  }
  return line + "\r\n";
}

class OutlookLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_library.Load(std::filesystem::path(ORVANE_OUTPUT_DIR) / COutlookLibrary::kFileName));
  }
  void TearDown() override { m_library.SetSourceFile({}); }

  std::uint16_t Export(const std::filesystem::path& source, const std::string& output = "pst.tmp",
                       std::int32_t mode = kPersonalFolders) {
    m_library.SetSourceFile(source.string());
    return m_library.Transfer(mode, ORVANE_OUTPUT_DIR, m_work.File(output));
  }

  COutlookLibrary m_library;
  CScratchFolder m_work;
};

}  // namespace

// Six contacts in "Contacts"; the expected values are those pffexport shows for the file
// (the numbers stand twice in some of its values, as the file holds them).
TEST_F(OutlookLibrary, WritesEveryContactOfTheSampleFiles) {
  const std::string expected =
      Line("Sebastian Wright") + Line("Wichert Kroos") +
      Line("Christoffer van de Meeberg", {{15, "046-630-4614046-630-4614"}}) +
      Line("Margaret J. Tolle", {{12, "(925)599-3355(925)599-3355"}, {14, "(08)9080-1183"}}) +
      Line("Matthew R. Wilcox", {{13, "(661)387-5382(661)387-5382"}, {14, "0650 675 73 300650 675 73 30"}}) +
      Line("Bertha A. Buell", {{15, "06605045265"}});
  for (const char* sample : {"SampleContacts.pst", "SampleContacts1.pst"}) {
    ASSERT_EQ(Export(Sample(sample)), COutlookLibrary::kOk) << sample;
    EXPECT_EQ(m_work.Read("pst.tmp"), expected) << sample;
    std::uint32_t written = 0;
    std::uint32_t skipped = 0;
    m_library.LastCounts(written, skipped);
    EXPECT_EQ(written, 6u);
    EXPECT_EQ(skipped, 0u);
    EXPECT_EQ(m_library.IsPasswordProtected(), 0);
  }
  // No address book in a personal-folders file, and libpff reads no .pab file.
  EXPECT_EQ(Export(Sample("SampleContacts.pst"), "pab.tmp", kAddressBook), COutlookLibrary::kNoSource);
  EXPECT_EQ(m_work.Names(), std::vector<std::string>{"pst.tmp"});
}

TEST_F(OutlookLibrary, ADistributionListIsNoContact) {
  ASSERT_EQ(Export(Sample("dist-list.pst")), COutlookLibrary::kOk);
  EXPECT_EQ(m_work.Read("pst.tmp"), Line("contact name 1"));
}

TEST_F(OutlookLibrary, AProtectedFileNeedsTheRightPassword) {
  m_library.SetSourceFile(Sample("passworded.pst").string());
  EXPECT_EQ(m_library.IsPasswordProtected(), 1);
  const auto transfer = [&] { return m_library.Transfer(kPersonalFolders, "", m_work.File("pst.tmp")); };
  EXPECT_EQ(transfer(), COutlookLibrary::kWrongPassword);
  m_library.SetPassword("password");
  EXPECT_EQ(transfer(), COutlookLibrary::kWrongPassword);
  EXPECT_EQ(m_work.FileCount(), 0u);
  m_library.SetPassword(kPasswordedKey);
  ASSERT_EQ(transfer(), COutlookLibrary::kOk);
  EXPECT_EQ(m_work.Read("pst.tmp"), Line("contact name 1"));
  // A new data file forgets the password.
  m_library.SetSourceFile(Sample("passworded.pst").string());
  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", m_work.File("again.tmp")), COutlookLibrary::kWrongPassword);
}

// Damaged and foreign files are refused and leave nothing behind, an existing output
// file included.
TEST_F(OutlookLibrary, DamagedFilesWriteNothing) {
  CScratchFolder inputs;
  std::vector<std::string> bad = {
      Truncated(inputs, "SampleContacts.pst", 0),
      Truncated(inputs, "SampleContacts.pst", 511),
      Truncated(inputs, "SampleContacts.pst", 5000),
      Truncated(inputs, "SampleContacts.pst", 65536),
      Truncated(inputs, "passworded.pst", 200000),
      RandomFile(inputs, 271360, 1),
      RandomFile(inputs, 4096, 2),
      (inputs / "missing.pst").string(),
      inputs.Path().string(),
  };
  m_work.Write("pst.tmp", "earlier");
  for (const std::string& path : bad) {
    const std::uint16_t status = Export(path);
    EXPECT_NE(status, COutlookLibrary::kOk) << path;
    EXPECT_EQ(m_work.Names(), std::vector<std::string>{"pst.tmp"}) << path;
    EXPECT_EQ(m_work.Read("pst.tmp"), "earlier") << path;
  }
  m_library.SetSourceFile(bad[2]);
  EXPECT_EQ(m_library.IsPasswordProtected(), -1);
}

// Eight bytes inverted inside the data of one contact (Matthew R. Wilcox): that contact is
// skipped and counted, the other five are written.
TEST_F(OutlookLibrary, AnUnreadableContactIsSkippedNotFatal) {
  std::string bytes = ReadAll(Sample("SampleContacts.pst"));
  for (std::size_t i = 22628; i < 22636; ++i) {
    bytes[i] = static_cast<char>(~static_cast<unsigned char>(bytes[i]));
  }
  CScratchFolder inputs;
  inputs.Write("damaged.pst", bytes);
  ASSERT_EQ(Export(inputs / "damaged.pst"), COutlookLibrary::kOk);
  std::uint32_t written = 0;
  std::uint32_t skipped = 0;
  m_library.LastCounts(written, skipped);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(skipped, 1u);
  const std::string lines = m_work.Read("pst.tmp");
  EXPECT_EQ(lines.find("Matthew"), std::string::npos);
  for (const char* name :
       {"Sebastian Wright", "Wichert Kroos", "Christoffer van de Meeberg", "Margaret J. Tolle", "Bertha A. Buell"}) {
    EXPECT_NE(lines.find(name), std::string::npos) << name;
  }
}

// An address book (.pab) has the container of a .pst file with the content type "AB" in
// its header. libpff refuses that type, so neither mode reads one: mode 10 cannot open it,
// mode 11 has no source. Should libpff learn the type, this test shows mode 11 is due.
TEST_F(OutlookLibrary, AnAddressBookIsNoSource) {
  std::string bytes = ReadAll(Sample("SampleContacts.pst"));
  ASSERT_EQ(bytes.substr(8, 2), "SM");
  bytes.replace(8, 2, "AB");
  CScratchFolder inputs;
  inputs.Write("contacts.pab", bytes);
  EXPECT_EQ(Export(inputs / "contacts.pab"), COutlookLibrary::kNotOpened);
  EXPECT_EQ(Export(inputs / "contacts.pab", "pab.tmp", kAddressBook), COutlookLibrary::kNoSource);
  EXPECT_EQ(m_work.FileCount(), 0u);
}

TEST_F(OutlookLibrary, RefusesCallsWithoutWhatTheyNeed) {
  m_library.SetSourceFile({});
  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", m_work.File("pst.tmp")), COutlookLibrary::kNoSource);
  EXPECT_EQ(m_library.IsPasswordProtected(), -1);
  m_library.SetSourceFile(Sample("SampleContacts.pst").string());
  EXPECT_EQ(m_library.Transfer(12, "", m_work.File("pst.tmp")), 6);
  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", ""), 6);
  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", (m_work / "no" / "such" / "pst.tmp").string()), 5);
  EXPECT_EQ(m_work.FileCount(), 0u);
}

// A cancel stops the running export and every later one until the next data file is
// named; a cancelled export writes nothing.
TEST_F(OutlookLibrary, CancelStopsTheExportAndWritesNothing) {
  m_library.SetSourceFile(Sample("SampleContacts.pst").string());
  std::atomic<int> finished{0};
  std::vector<std::uint16_t> statuses;
  std::thread exporter([&] {
    for (int run = 0; run < 100000; ++run) {
      const std::uint16_t status = m_library.Transfer(kPersonalFolders, "", m_work.File(std::to_string(run)));
      statuses.push_back(status);
      finished.store(run + 1);
      if (status != COutlookLibrary::kOk) {
        return;
      }
    }
  });
  while (finished.load() < 3) {
    std::this_thread::yield();
  }
  m_library.Cancel();
  exporter.join();
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back(), COutlookLibrary::kCancelled);
  const std::size_t completed = statuses.size() - 1;
  EXPECT_EQ(m_work.FileCount(), completed);
  EXPECT_FALSE(std::filesystem::exists(m_work / std::to_string(completed)));

  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", m_work.File("later")), COutlookLibrary::kCancelled);
  m_library.SetSourceFile(Sample("SampleContacts.pst").string());
  EXPECT_EQ(m_library.Transfer(kPersonalFolders, "", m_work.File("later")), COutlookLibrary::kOk);
}

TEST(OutlookLibraryBinding, AMissingLibraryOrEntryPointIsNotLoaded) {
  COutlookLibrary library;
  EXPECT_FALSE(library.Load(std::filesystem::path(ORVANE_OUTPUT_DIR) / "no-such-library.so"));
  EXPECT_FALSE(library.Loaded());
  EXPECT_EQ(library.Transfer(kPersonalFolders, "", "x"), COutlookLibrary::kNotLoaded);
  EXPECT_EQ(library.IsPasswordProtected(), -1);
  // A library of another kind (the melody codec) lacks the entry points.
  EXPECT_FALSE(library.Load(std::filesystem::path(ORVANE_OUTPUT_DIR) / "orva-coder.so"));
  EXPECT_FALSE(library.Loaded());
}
