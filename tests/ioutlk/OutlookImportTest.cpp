// The Outlook import job: both exports into a private folder, the reading against the
// Computer list, and the folder gone afterwards whatever happened.
#include "OutlookTestFiles.h"
#include "phonebook/OutlookImport.h"
#include "phonebook/PrivateTempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace outlooktest;

namespace {

class OutlookImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_library.Load(std::filesystem::path(ORVANE_OUTPUT_DIR) / COutlookLibrary::kFileName));
  }

  OutlookImportResult Run(const std::filesystem::path& source, const CPhonebookList& computer = {},
                          bool cancelled = false) {
    m_library.SetSourceFile(source.string());
    const std::atomic<bool> cancel{cancelled};
    return RunOutlookImport(m_library, ORVANE_OUTPUT_DIR, computer, true, cancel, m_temp.Path());
  }

  COutlookLibrary m_library;
  CScratchFolder m_temp;
};

}  // namespace

TEST_F(OutlookImport, CollectsEveryNumberAndLeavesNoFiles) {
  const OutlookImportResult result = Run(Sample("SampleContacts.pst"));
  EXPECT_FALSE(result.Failed());
  EXPECT_EQ(result.personalFoldersStatus, COutlookLibrary::kOk);
  EXPECT_EQ(result.addressBookStatus, COutlookLibrary::kNoSource);
  EXPECT_EQ(result.written, 6u);
  const std::vector<PhonebookEntry>& collected = result.collection.collected;
  ASSERT_EQ(collected.size(), 6u);
  EXPECT_EQ(collected[0].name, "Christoffer van ");
  EXPECT_EQ(collected[0].number, "04663046140466304614");
  EXPECT_EQ(collected[2].name, "Margaret J. Toll");
  EXPECT_EQ(collected[2].number, "089-080-1183");
  EXPECT_EQ(collected[5].name, "Bertha A. Buell");
  EXPECT_EQ(collected[5].number, "0-660-504-5265");
  EXPECT_EQ(m_temp.FileCount(), 0u);
}

TEST_F(OutlookImport, NumbersAlreadyListedAreNotCollectedAgain) {
  CPhonebookList computer;
  computer.Append("Bertha", "0-660-504-5265");
  const OutlookImportResult result = Run(Sample("SampleContacts1.pst"), computer);
  EXPECT_EQ(result.collection.collected.size(), 5u);
}

// Nothing readable: message 768, and the private folder is gone all the same.
TEST_F(OutlookImport, DamagedOrProtectedFilesFail) {
  CScratchFolder inputs;
  for (const std::string& source : {Truncated(inputs, "SampleContacts.pst", 65536), RandomFile(inputs, 65536, 7),
                                    Sample("passworded.pst").string()}) {
    const OutlookImportResult result = Run(source);
    EXPECT_TRUE(result.Failed()) << source;
    EXPECT_TRUE(result.collection.collected.empty());
    EXPECT_EQ(m_temp.FileCount(), 0u) << source;
  }
}

TEST_F(OutlookImport, ACancelledImportCollectsNothingAndFailsNothing) {
  const OutlookImportResult result = Run(Sample("SampleContacts.pst"), {}, true);
  EXPECT_TRUE(result.cancelled);
  EXPECT_FALSE(result.Failed());
  EXPECT_TRUE(result.collection.collected.empty());
  EXPECT_EQ(m_temp.FileCount(), 0u);
}

TEST_F(OutlookImport, WithoutAPrivateFolderNothingIsExported) {
  m_library.SetSourceFile(Sample("SampleContacts.pst").string());
  const std::atomic<bool> cancel{false};
  const OutlookImportResult result =
      RunOutlookImport(m_library, ORVANE_OUTPUT_DIR, {}, true, cancel, m_temp / "missing");
  EXPECT_TRUE(result.noTempFolder);
  EXPECT_TRUE(result.Failed());
  EXPECT_EQ(result.personalFoldersStatus, COutlookLibrary::kNotLoaded);
}

TEST_F(OutlookImport, TheMissingLibraryFails) {
  COutlookLibrary missing;
  const std::atomic<bool> cancel{false};
  const OutlookImportResult result = RunOutlookImport(missing, ORVANE_OUTPUT_DIR, {}, true, cancel, m_temp.Path());
  EXPECT_TRUE(result.Failed());
  EXPECT_EQ(m_temp.FileCount(), 0u);
}

// The folder of one import is the user's alone and has a fresh name each time.
TEST(PrivateTempFolder, IsClosedToOthersAndRemovedWithItsFiles) {
  CScratchFolder parent;
  std::filesystem::path first;
  {
    CPrivateTempFolder folder(parent.Path());
    ASSERT_TRUE(folder.Made());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    CPrivateTempFolder second(parent.Path());
    EXPECT_NE(second.Path(), folder.Path());
    first = folder.Path();
    parent.Write(first.filename().string() + "/pst.tmp", "x");
  }
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_EQ(parent.FileCount(), 0u);
  EXPECT_FALSE(CPrivateTempFolder(parent / "missing").Made());
}
