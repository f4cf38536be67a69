#include "appcore/LanguageStrings.h"
#include "appcore/StringSectionTable.h"
#include "platform/MemorySettingsBackend.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Every id of the section table with its section, in loading order.
std::vector<std::pair<std::string, std::int32_t>> AllIds() {
  std::vector<std::pair<std::string, std::int32_t>> ids;
  for (std::size_t i = 0; i < StringSectionCount(); ++i) {
    for (std::int32_t id = StringSectionTable[i].firstId; id <= StringSectionTable[i].lastId; ++id) {
      ids.emplace_back(StringSectionTable[i].sectionName, id);
    }
  }
  return ids;
}

class LanguageStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvane-lang-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    m_store = std::make_unique<CSettingsStore>(std::make_unique<CMemorySettingsBackend>());
    m_strings = std::make_unique<CLanguageStrings>(*m_store, m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  // Writes a language file holding "<tag> <id>" for every id; edit may change or drop
  // (empty optional) the text of an id, or move it to another section.
  struct Line {
    std::string section;
    std::string text;
    bool present = true;
  };
  void WriteLanguage(const std::string& name, const std::string& tag,
                     const std::function<void(std::int32_t, Line&)>& edit = {}) {
    std::map<std::string, std::vector<std::pair<std::int32_t, std::string>>> sections;
    std::vector<std::string> order;
    for (const auto& [section, id] : AllIds()) {
      Line line{section, tag + " " + std::to_string(id)};
      if (edit) {
        edit(id, line);
      }
      if (!line.present) {
        continue;
      }
      if (!sections.count(line.section)) {
        order.push_back(line.section);
      }
      sections[line.section].emplace_back(id, line.text);
    }
    std::ofstream out(m_dir / (name + ".ini"), std::ios::binary | std::ios::trunc);
    for (const auto& section : order) {
      out << "[" << section << "]\r\n";
      for (const auto& [id, text] : sections[section]) {
        out << id << "=" << text << "\r\n";
      }
    }
  }

  // True when every id reads "<tag> <id>".
  ::testing::AssertionResult AllTextsAre(const std::string& tag) const {
    for (const auto& [section, id] : AllIds()) {
      const std::string expected = tag + " " + std::to_string(id);
      if (m_strings->GetString(id) != expected) {
        return ::testing::AssertionFailure()
               << "id " << id << " reads '" << m_strings->GetString(id) << "', expected '" << expected << "'";
      }
    }
    return ::testing::AssertionSuccess();
  }

  ::testing::AssertionResult AllTextsAreCompiledEnglish() const {
    for (const auto& [section, id] : AllIds()) {
      const char* english = EnglishResourceString(id);
      if (english == nullptr || m_strings->GetString(id) != english) {
        return ::testing::AssertionFailure() << "id " << id << " reads '" << m_strings->GetString(id) << "'";
      }
    }
    return ::testing::AssertionSuccess();
  }

  fs::path m_dir;
  std::unique_ptr<CSettingsStore> m_store;
  std::unique_ptr<CLanguageStrings> m_strings;
};

TEST(StringSectionTable, HoldsSeventyOneDisjointRangesAndEndsWithTheZeroEntry) {
  ASSERT_EQ(StringSectionCount(), 71u);
  EXPECT_EQ(StringSectionTable[71].firstId, 0);
  EXPECT_EQ(StringSectionTable[71].lastId, 0);
  EXPECT_STREQ(StringSectionTable[0].sectionName, "VantelWinApp");
  EXPECT_STREQ(StringSectionTable[70].sectionName, "Melody");
  std::set<std::int32_t> seen;
  for (const auto& [section, id] : AllIds()) {
    EXPECT_TRUE(seen.insert(id).second) << "id " << id << " is listed twice";
  }
  EXPECT_EQ(seen.size(), 535u);
  EXPECT_EQ(StringSectionTable[25].firstId, 43000);
  EXPECT_EQ(StringSectionTable[26].firstId, 43010);
}

TEST_F(LanguageStringsTest, InitialLoadReadsEveryIdOfACompleteFile) {
  WriteLanguage("French", "fr");
  EXPECT_EQ(m_strings->InitialLoad(1), 0);
  EXPECT_EQ(m_strings->TableInUse(), 1);
  EXPECT_TRUE(AllTextsAre("fr"));
  EXPECT_EQ(m_strings->GetString(99999), "");
  EXPECT_EQ(m_strings->GetString(0), "");
}

TEST_F(LanguageStringsTest, OneMissingKeyOrAKeyInTheWrongSectionRejectsTheWholeFile) {
  WriteLanguage("Spanish", "es", [](std::int32_t id, Line& line) { line.present = id != 203; });
  EXPECT_FALSE(m_strings->Load(2));
  WriteLanguage("Portuguese", "pt", [](std::int32_t id, Line& line) {
    if (id == 203) {
      line.section = "Message";
    }
  });
  EXPECT_FALSE(m_strings->Load(3));
  WriteLanguage("French", "fr", [](std::int32_t id, Line& line) {
    if (id == 49025) {
      line.text = "";
    }
  });
  EXPECT_FALSE(m_strings->Load(1));
  EXPECT_EQ(m_strings->TableInUse(), 1);
  EXPECT_EQ(m_strings->GetString(203), "");
}

TEST_F(LanguageStringsTest, AValueThatFillsTheReadBufferCountsAsMissing) {
  WriteLanguage("French", "fr", [](std::int32_t id, Line& line) {
    if (id == 4056) {
      line.text = std::string(32765, 'x');
    }
  });
  ASSERT_TRUE(m_strings->Load(1));
  EXPECT_EQ(m_strings->GetString(4056).size(), 32765u);

  WriteLanguage("Spanish", "es", [](std::int32_t id, Line& line) {
    if (id == 4056) {
      line.text = std::string(32766, 'x');
    }
  });
  EXPECT_FALSE(m_strings->Load(2));
  EXPECT_EQ(m_strings->GetString(4056).size(), 32765u);
}

TEST_F(LanguageStringsTest, LanguageIndicesNameTheirFilesAndAnyOtherIndexReadsEnglish) {
  EXPECT_EQ(m_strings->LanguageFile(0), m_dir / "English.ini");
  EXPECT_EQ(m_strings->LanguageFile(1), m_dir / "French.ini");
  EXPECT_EQ(m_strings->LanguageFile(2), m_dir / "Spanish.ini");
  EXPECT_EQ(m_strings->LanguageFile(3), m_dir / "Portuguese.ini");
  WriteLanguage("English", "en");
  ASSERT_EQ(m_strings->InitialLoad(7), 0);
  EXPECT_TRUE(AllTextsAre("en"));
  WriteLanguage("Portuguese", "pt");
  ASSERT_TRUE(m_strings->Load(3));
  ASSERT_TRUE(m_strings->Load(-1));
  EXPECT_TRUE(AllTextsAre("en"));
}

TEST_F(LanguageStringsTest, AFailedSwitchKeepsEveryTextOfThePreviousLanguage) {
  WriteLanguage("French", "fr");
  WriteLanguage("English", "en");
  WriteLanguage("Spanish", "es", [](std::int32_t id, Line& line) { line.present = id != 49025; });
  ASSERT_EQ(m_strings->InitialLoad(1), 0);

  EXPECT_FALSE(m_strings->Load(2));
  EXPECT_EQ(m_strings->TableInUse(), 1);
  EXPECT_TRUE(AllTextsAre("fr"));

  ASSERT_TRUE(m_strings->Load(0));
  EXPECT_EQ(m_strings->TableInUse(), 2);
  EXPECT_TRUE(AllTextsAre("en"));

  // The failure now fills table 1, which is not in use; table 2 keeps serving.
  EXPECT_FALSE(m_strings->Load(2));
  EXPECT_EQ(m_strings->TableInUse(), 2);
  EXPECT_TRUE(AllTextsAre("en"));

  ASSERT_TRUE(m_strings->Load(1));
  EXPECT_EQ(m_strings->TableInUse(), 1);
  EXPECT_TRUE(AllTextsAre("fr"));
}

TEST_F(LanguageStringsTest, AnUnusableFileAtStartFallsBackToTheCompiledEnglishWithItsMarkers) {
  EXPECT_EQ(m_strings->InitialLoad(1), 1);
  EXPECT_EQ(m_strings->TableInUse(), 1);
  EXPECT_TRUE(AllTextsAreCompiledEnglish());
  EXPECT_EQ(m_strings->GetString(702), "The application is already running.");
  EXPECT_EQ(m_strings->GetString(101).rfind(CLanguageStrings::kUnshownMarker, 0), 0u);

  // A partly written file is just as unusable: nothing of it is kept.
  WriteLanguage("Spanish", "es", [](std::int32_t id, Line& line) { line.present = id != 9605; });
  EXPECT_EQ(m_strings->InitialLoad(2), 1);
  EXPECT_TRUE(AllTextsAreCompiledEnglish());
}

TEST_F(LanguageStringsTest, ReadersOnOtherThreadsSeeWholeLanguagesWhileTheLanguageChanges) {
  WriteLanguage("French", "fr");
  WriteLanguage("Spanish", "es");
  ASSERT_EQ(m_strings->InitialLoad(1), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        for (std::int32_t id : {100, 203, 4056, 49025}) {
          const std::string text = m_strings->GetString(id);
          if (text != "fr " + std::to_string(id) && text != "es " + std::to_string(id)) {
            ++torn;
          }
        }
      }
    });
  }
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(m_strings->Load(i % 2 == 0 ? 2 : 1));
  }
  stop = true;
  for (auto& reader : readers) {
    reader.join();
  }
  EXPECT_EQ(torn.load(), 0);
  EXPECT_TRUE(AllTextsAre("fr"));
}

}  // namespace
