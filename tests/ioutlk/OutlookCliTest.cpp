// orvane-cli phonebook import-outlook with an Outlook data file, run as a user runs it.
#include "OutlookTestFiles.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace outlooktest;

namespace {

using CliRun = CCliRunner::Outcome;

// Sets an environment variable for the programs the test starts, and restores it.
class CScopedEnvironment {
 public:
  CScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name); old != nullptr) {
      m_old = old;
      m_hadOld = true;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~CScopedEnvironment() {
    if (m_hadOld) {
      ::setenv(m_name, m_old.c_str(), 1);
    } else {
      ::unsetenv(m_name);
    }
  }
  CScopedEnvironment(const CScopedEnvironment&) = delete;
  CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

 private:
  const char* m_name;
  std::string m_old;
  bool m_hadOld = false;
};

class OutlookCli : public ::testing::Test {
 protected:
  static CliRun Run(std::vector<std::string> words, const std::string& input = {}) {
    words.insert(words.begin(), {"phonebook", "import-outlook"});
    return CCliRunner::Run(words, input);
  }
  std::string Out(const std::string& name) const { return m_work.File(name); }
  // The folders of the imports, left in the temporary folder (scratch folders of the test
  // are made there too).
  std::size_t ImportFoldersLeft() const {
    const std::vector<std::string> names = m_temp.Names();
    return static_cast<std::size_t>(std::count_if(
        names.begin(), names.end(), [](const std::string& name) { return name.rfind("orvane-outlook-", 0) == 0; }));
  }

  CScratchFolder m_work;
  CScratchFolder m_temp;
  // The private folder of each import is made here, so the test sees whether it is gone.
  CScopedEnvironment m_tmpdir{"TMPDIR", m_temp.Path().string()};
};

}  // namespace

TEST_F(OutlookCli, ImportsTheContactsOfADataFile) {
  const CliRun run = Run({Sample("SampleContacts.pst").string(), Out("book.phb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "6 phonebook entries were imported.\n");
  EXPECT_EQ(run.err, "");
  const CliRun shown = CCliRunner::Run({"phonebook", "show", "--free-edit", "0", Out("book.phb")});
  EXPECT_EQ(shown.out,
            "No.\tName\tPhone No.\n1\tBertha A. Buell\t06605045265\n2\tChristoffer van \t04663046140466304614\n"
            "3\tMargaret J. Toll\t92559933559255993355\n4\tMargaret J. Toll\t0890801183\n"
            "5\tMatthew R. Wilco\t66138753826613875382\n6\tMatthew R. Wilco\t0650675733006506757330\n");
  EXPECT_EQ(ImportFoldersLeft(), 0u);
}

TEST_F(OutlookCli, AddsToAnExistingPhonebook) {
  ASSERT_EQ(Run({Sample("SampleContacts1.pst").string(), Out("book.phb")}).status, 0);
  const CliRun again = Run({"--add", Sample("SampleContacts.pst").string(), Out("book.phb")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("nothing to import"), std::string::npos) << again.err;
}

TEST_F(OutlookCli, AProtectedFileAsksForItsPassword) {
  const std::string source = Sample("passworded.pst").string();
  CliRun run = Run({source, Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            source + ": the file is protected by a password (--password): Error in importing Outlook data.(768)\n");
  run = Run({"--password", "secret", source, Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, source + ": wrong password: Error in importing Outlook data.(768)\n");
  // The right one, read from standard input: the file's only contact has no number.
  run = Run({"--password", "-", source, Out("book.phb")}, std::string(kPasswordedKey) + "\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nothing to import: no contact with a new valid number"), std::string::npos) << run.err;
  EXPECT_EQ(m_work.FileCount(), 0u);
  EXPECT_EQ(ImportFoldersLeft(), 0u);
}

TEST_F(OutlookCli, DamagedFilesChangeNothing) {
  ASSERT_EQ(Run({Sample("SampleContacts.pst").string(), Out("book.phb")}).status, 0);
  const std::string before = m_work.Read("book.phb");
  CScratchFolder inputs;
  for (const std::string& source : {Truncated(inputs, "SampleContacts.pst", 100000), RandomFile(inputs, 20000, 3)}) {
    const CliRun run = Run({"--add", source, Out("book.phb")});
    EXPECT_EQ(run.status, 1) << source;
    EXPECT_NE(run.err.find("(768)"), std::string::npos) << run.err;
    EXPECT_EQ(m_work.Read("book.phb"), before);
    EXPECT_EQ(m_work.FileCount(), 1u);
  }
  EXPECT_EQ(ImportFoldersLeft(), 0u);
}

TEST_F(OutlookCli, TheMissingLibraryIsNamed) {
  CScratchFolder empty;
  const CScopedEnvironment noLibrary("ORVANE_LIBRARY_DIR", empty.Path().string());
  const CliRun run = Run({Sample("SampleContacts.pst").string(), Out("book.phb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, (empty / "ioutlk.so").string() +
                         ": the contacts export library cannot be loaded: Error in importing Outlook data.(768)\n");
  EXPECT_EQ(m_work.FileCount(), 0u);
}
