// orvane-cli phonebook, run as a user runs it.
#include "PhonebookTestFiles.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using CliRun = CCliRunner::Outcome;

class PhonebookCli : public ::testing::Test {
 protected:
  static CliRun Run(std::vector<std::string> words) {
    words.insert(words.begin(), "phonebook");
    return CCliRunner::Run(words);
  }

  std::string Out(std::string_view name) const { return (m_work / name).string(); }

  CScratchFolder m_work;
};

TEST_F(PhonebookCli, FileNamesReachTheProgramAsTheyAre) {
  // Blanks, quotes and shell characters in a path are one argument, named back unchanged.
  const std::string odd = Out("it's $HOME & \"book\".phb");
  const CliRun run = Run({"show", odd});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.Reason(), odd + ": The file could not be opened.(732)");
}

TEST_F(PhonebookCli, ShowsAPhonebookAndReportsBadFiles) {
  CliRun run = Run({"show", TestData("sample.phb").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "No.\tName\tPhone No.\n1\t\t*#\n2\tAlice\t555-1234\n3\tSay \"Hi\"\t12\n4\tSmith, John\t012-345-6789\n");
  run = Run({"show", "--free-edit", "0", TestData("sample.phb").string()});
  EXPECT_NE(run.out.find("0123456789"), std::string::npos);

  WriteBytes(m_work / "old.phb", "; Vorlandix Communications Co., Ltd. Phonebook MHS Version 0.90\r\n\"A\",1\r\n");
  run = Run({"show", Out("old.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Out("old.phb") + ":1: The file could not be read because the version is different.(794)\n");
  run = Run({"show", Out("missing.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Out("missing.phb") + ": The file could not be opened.(732)\n");
}

TEST_F(PhonebookCli, UsageAndHelp) {
  EXPECT_EQ(Run({}).status, 2);
  EXPECT_EQ(Run({"frobnicate"}).status, 2);
  EXPECT_EQ(Run({"show"}).status, 2);
  EXPECT_EQ(Run({"import-csv", "a.csv", "--number-col", "x", "b.phb"}).status, 2);
  EXPECT_EQ(Run({"import-csv", "a.csv", "b.phb"}).status, 2);
  EXPECT_EQ(Run({"grid", "a.txt"}).status, 2);
  const CliRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("import-vcard"), std::string::npos);
  EXPECT_EQ(Run({"export-csv", "--help"}).status, 0);
}

TEST_F(PhonebookCli, ImportsChosenColumnsAndNamesSkippedLines) {
  const std::string source = TestData("contacts-header-quoted.csv").string();
  const CliRun run = Run({"import-csv", source, "--name-col", "1", "--number-col", "5", Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "3 phonebook entries were imported.\n");
  EXPECT_EQ(run.err, source + ": skipped 2 row(s) without a valid number (line 1, 6): Data is inaccurate.(753)\n");
  const CliRun shown = Run({"show", Out("book.phb")});
  EXPECT_NE(shown.out.find("Smith, John\t1-555-123-4567"), std::string::npos) << shown.out;

  const CliRun grid = Run({"grid", TestData("vcard30-cell.vcf").string()});
  ASSERT_EQ(grid.status, 0);
  EXPECT_EQ(grid.out,
            "1\t2\t3\t4\nSmith, John\t+15551234567\tJohnny\t5557654\nAnna-Lena Hoffmann-Schmidt\t0211 555 0303\t\t\n");
}

TEST_F(PhonebookCli, ImportsEveryCardOfAPhoneExport) {
  const CliRun run = Run({"import-vcard", TestData("android-21-contacts.vcf").string(), "--name-col", "1",
                          "--number-col", "2", Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "5 phonebook entries were imported.\n");
  EXPECT_EQ(run.err, "");
  const CliRun shown = Run({"show", "--free-edit", "0", Out("book.phb")});
  EXPECT_EQ(shown.out,
            "No.\tName\tPhone No.\n1\t\t01765550199\n2\t   \t8613800138000\n3\tAnna Berg\t491715550101\n"
            "4\tDeniz Kaya\t0305550105\n5\tJ rgen M ller\t01725550103\n");
}

TEST_F(PhonebookCli, ImportsAContactsExportWithoutHeadingOrJoinedNumbers) {
  const std::string source = TestData("google-contacts.csv").string();
  const CliRun run = Run({"import-csv", source, "--name-col", "1", "--number-col", "33", Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "4 phonebook entries were imported. 2 number cell(s) held several numbers joined with \":::\": the first "
            "of each was imported.\n");
  EXPECT_EQ(run.err, source + ": skipped 2 row(s) without a valid number (line 1, 5): Data is inaccurate.(753)\n");
  const CliRun shown = Run({"show", "--free-edit", "0", Out("book.phb")});
  EXPECT_EQ(shown.out,
            "No.\tName\tPhone No.\n1\tAnna Berg\t491715550101\n2\tBob Stone\t5551234567P4410\n"
            "3\tCarla Diaz\t5551234568P12\n4\tDana White\t01765550110\n");
}

TEST_F(PhonebookCli, FailedImportsLeaveNoOutputFile) {
  EXPECT_EQ(
      Run({"import-csv", TestData("uneven.csv").string(), "--name-col", "2", "--number-col", "2", Out("a.phb")}).status,
      1);
  EXPECT_EQ(Run({"import-csv", Out("missing.csv"), "--number-col", "2", Out("a.phb")}).status, 1);
  EXPECT_EQ(Run({"import-csv", TestData("uneven.csv").string(), "--number-col", "9", Out("a.phb")}).status, 1);
  EXPECT_EQ(Run({"import-vcard", TestData("vcard21-qp.vcf").string(), "--number-col", "2",
                 (m_work / "no" / "such" / "dir.phb").string()})
                .status,
            1);
  EXPECT_EQ(m_work.FileCount(), 0u);
  const CliRun run = Run({"export-vcard", TestData("sample.phb").string(), Out("nowhere")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("(767)"), std::string::npos);
}

TEST_F(PhonebookCli, ImportsOutlookContactFiles) {
  std::filesystem::copy_file(TestData("pst.tmp"), m_work / "pst.tmp");
  std::filesystem::copy_file(TestData("pab.tmp"), m_work / "pab.tmp");
  CliRun run = Run({"import-outlook", m_work.Path().string(), Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "7 phonebook entries were imported.\n");
  EXPECT_EQ(run.err, Out("pab.tmp") + ":3: 2 fields instead of 22, the rest of the file is skipped\n");

  std::filesystem::remove(m_work / "pst.tmp");
  std::filesystem::remove(m_work / "pab.tmp");
  run = Run({"import-outlook", m_work.Path().string(), Out("none.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, m_work.Path().string() + ": Error in importing Outlook data.(768)\n");
  EXPECT_FALSE(std::filesystem::exists(Out("none.phb")));
}

TEST_F(PhonebookCli, OutlookImportNeverEmptiesTheTarget) {
  CScratchFolder exports;
  const std::string folder = exports.Path().string();
  std::filesystem::copy_file(TestData("sample.phb"), m_work / "book.phb");
  const std::string before = ReadBytes(Out("book.phb"));

  // No contact files at all.
  CliRun run = Run({"import-outlook", folder, Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, folder + ": Error in importing Outlook data.(768)\n");
  EXPECT_EQ(ReadBytes(Out("book.phb")), before);

  // A contact file without a contact.
  WriteBytes(exports / "pst.tmp", "");
  run = Run({"import-outlook", folder, Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, folder + ": nothing to import: no contact with a new valid number, " + Out("book.phb") +
                         " was not written\n");
  EXPECT_EQ(ReadBytes(Out("book.phb")), before);

  // Only contacts the target already holds.
  WriteBytes(exports / "pab.tmp",
             "\"\",\"\",\"Alice\",\"\",\"\",\"\",\"\",\"\",\"555-1234\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
             "\"\",\"\",\"\",\"\"\r\n");
  run = Run({"import-outlook", "--add", folder, Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nothing to import"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(Out("book.phb")), before);
}

namespace {

// Whether a private import folder under `parent` holds a file yet.
bool ImportFolderWriting(const std::filesystem::path& parent) {
  std::error_code ec;
  for (const auto& folder : std::filesystem::directory_iterator(parent, ec)) {
    if (!std::filesystem::is_empty(folder.path(), ec) && !ec) {
      return true;
    }
  }
  return false;
}

}  // namespace

TEST_F(PhonebookCli, InterruptedOutlookImportRemovesItsFolder) {
  // The export library stalls after starting its contact file, until it is cancelled:
  // Ctrl+C (and SIGTERM) then cancel it, and the private folder goes with its files.
  const std::filesystem::path tmp = m_work.Path() / "tmp";
  std::filesystem::create_directory(tmp);
  const std::string source = (std::filesystem::path(ORVANE_TEST_DATA_DIR) / "outlook" / "SampleContacts.pst").string();
  for (const int number : {SIGINT, SIGTERM}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setenv("TMPDIR", tmp.c_str(), 1);
      ::setenv("ORVANE_LIBRARY_DIR", ORVANE_STALLED_IOUTLK_DIR, 1);
      if (std::freopen(Out("stderr.txt").c_str(), "w", stderr) == nullptr) {
        ::_exit(126);
      }
      const std::string tool = CCliRunner::Program();
      ::execl(tool.c_str(), tool.c_str(), "phonebook", "import-outlook", source.c_str(), Out("book.phb").c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    bool writing = false;
    for (int i = 0; i < 2000 && !writing; ++i) {
      writing = ImportFolderWriting(tmp);
      ::usleep(5000);
    }
    ASSERT_TRUE(writing) << number;
    ::kill(pid, number);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << number;
    EXPECT_EQ(WEXITSTATUS(raw), 1) << number;
    EXPECT_EQ(ReadBytes(m_work.Path() / "stderr.txt"), source + ": cancelled\n") << number;
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << number;
    EXPECT_FALSE(std::filesystem::exists(Out("book.phb"))) << number;
  }
}

TEST_F(PhonebookCli, OutlookFileStoppedByABadLineKeepsTheLinesBeforeIt) {
  const std::string pst = ReadBytes(TestData("pst.tmp"));
  WriteBytes(m_work / "pst.tmp", pst.substr(0, pst.find('\n') + 1) + "\"short\",\"line\"\r\n");
  const CliRun run = Run({"import-outlook", m_work.Path().string(), Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "3 phonebook entries were imported.\n");
  EXPECT_EQ(run.err, Out("pst.tmp") + ":2: 2 fields instead of 55, the rest of the file is skipped\n");
  const CliRun shown = Run({"show", Out("book.phb")});
  EXPECT_EQ(shown.out,
            "No.\tName\tPhone No.\n1\tKarl \"Kalle\" Ber\t555-0001\n2\tKarl \"Kalle\" Ber\t030-555-0002\n"
            "3\tKarl \"Kalle\" Ber\t0-171-555-0003\n");
}

TEST_F(PhonebookCli, RoundTripsThroughCsvAndVCard) {
  const std::string original = TestData("sample.phb").string();
  ASSERT_EQ(Run({"export-csv", original, Out("book.csv")}).status, 0);
  ASSERT_EQ(Run({"import-csv", Out("book.csv"), "--name-col", "1", "--number-col", "2", Out("back.phb")}).status, 0);
  EXPECT_EQ(ReadBytes(Out("back.phb")), ReadBytes(original));

  std::filesystem::create_directory(m_work / "cards");
  const CliRun exported = Run({"export-vcard", original, Out("cards")});
  ASSERT_EQ(exported.status, 0) << exported.err;
  std::size_t files = 0;
  for (const auto& card : std::filesystem::directory_iterator(m_work / "cards")) {
    ++files;
    const CliRun imported =
        Run({"import-vcard", card.path().string(), "--name-col", "1", "--number-col", "2", "--add", Out("cards.phb")});
    ASSERT_EQ(imported.status, 0) << imported.err;
  }
  EXPECT_EQ(files, 4u);
  EXPECT_EQ(ReadBytes(Out("cards.phb")), ReadBytes(original));
}

}  // namespace
