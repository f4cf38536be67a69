// Checks of the language files shipped with the program, as the program reads them from
// its data folder.
#include "appcore/LanguageStrings.h"
#include "appcore/StringSectionTable.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kDataDir = ORVANE_OUTPUT_DIR;

std::vector<std::int32_t> AllIds() {
  std::vector<std::int32_t> ids;
  for (std::size_t i = 0; i < StringSectionCount(); ++i) {
    for (std::int32_t id = StringSectionTable[i].firstId; id <= StringSectionTable[i].lastId; ++id) {
      ids.push_back(id);
    }
  }
  return ids;
}

// The printf conversions of a text, in order ("%s", "%u", "%02d" ...).
std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && !std::isalpha(static_cast<unsigned char>(text[end])) && text[end] != '%') {
      ++end;
    }
    if (end < text.size()) {
      found.push_back(text.substr(i, end - i + 1));
    }
    i = end;
  }
  return found;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) {
    ++count;
  }
  return count;
}

// Single ampersands mark a menu or button mnemonic; doubled ones show an ampersand.
std::size_t Mnemonics(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        ++i;
      } else {
        ++count;
      }
    }
  }
  return count;
}

// The "(NNN)" number at the end of an error text, or empty.
std::string NumberSuffix(const std::string& text) {
  static const std::regex suffix(R"(\((\d+)\)$)");
  std::smatch match;
  return std::regex_search(text, match, suffix) ? match[1].str() : std::string();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) {
    parts.push_back(part);
  }
  return parts;
}

// The shortcut text with the key names that keyboards of the shipped languages print
// ("Suppr", "Supr") turned back into the English name.
std::string KeyNamesInEnglish(std::string shortcut) {
  for (const char* name : {"Suppr", "Supr"}) {
    if (const auto pos = shortcut.find(name); pos != std::string::npos) {
      shortcut.replace(pos, std::strlen(name), "Del");
    }
  }
  return shortcut;
}

bool ValidUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > bytes.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

// Everything of a translated text that the program or its callers rely on must be as in
// the English text: arguments, line breaks, message numbers, markers, accelerators, file
// patterns and significant blanks.
::testing::AssertionResult SameStructure(std::int32_t id, const std::string& english, const std::string& text) {
  auto fail = [&](const char* what) {
    return ::testing::AssertionFailure() << "id " << id << ": " << what << "\n  English: '" << english
                                         << "'\n  translation: '" << text << "'";
  };
  if (Conversions(english) != Conversions(text)) {
    return fail("printf arguments differ");
  }
  if (Count(english, "\\n") != Count(text, "\\n")) {
    return fail("line breaks differ");
  }
  if (NumberSuffix(english) != NumberSuffix(text)) {
    return fail("message number suffix differs");
  }
  const bool englishMarked = english.rfind(CLanguageStrings::kUnshownMarker, 0) == 0;
  if (englishMarked != (text.rfind(CLanguageStrings::kUnshownMarker, 0) == 0)) {
    return fail("unshown marker differs");
  }
  if (Mnemonics(english) != Mnemonics(text) || Count(english, "&&") != Count(text, "&&")) {
    return fail("ampersands differ");
  }
  const auto englishTab = english.find('\t');
  const auto tab = text.find('\t');
  if ((englishTab == std::string::npos) != (tab == std::string::npos) ||
      (tab != std::string::npos && english.substr(englishTab) != KeyNamesInEnglish(text.substr(tab)))) {
    return fail("accelerator after the tab differs");
  }
  if (english.find('|') != std::string::npos) {
    const auto englishParts = Split(english, '|');
    const auto parts = Split(text, '|');
    if (englishParts.size() != parts.size()) {
      return fail("file filter has another number of parts");
    }
    for (std::size_t i = 1; i < parts.size(); i += 2) {
      if (parts[i] != englishParts[i]) {
        return fail("file filter pattern differs");
      }
    }
  }
  if ((english.front() == ' ') != (text.front() == ' ') || (english.back() == ' ') != (text.back() == ' ')) {
    return fail("leading or trailing blank differs");
  }
  return ::testing::AssertionSuccess();
}

// The access key of a menu text: the character after the single ampersand, lower case
// for ASCII letters; empty when the text has none.
std::string AccessKey(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '&') {
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      std::string key = text.substr(i + 1, Utf8SequenceLength(text, i + 1));
      if (key.size() == 1) {
        key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
      }
      return key;
    }
  }
  return {};
}

// The items shown together in one menu level; their access keys must differ.
const std::vector<std::vector<std::int32_t>> kMenuLevels = {
    {110, 109, 108, 106, 105, 104, 103},                              // tray menu
    {3001, 43005, 43014},                                             // picture menu bar
    {43000, 43001, 43002, 43003, 43004},                              // picture File
    {43006, 43007, 43008, 43009, 43010, 43011, 43012, 43013},         // picture Edit
    {43015, 43016},                                                   // picture Help
    {43017, 43018},                                                   // picture list menu
    {44000, 44015, 44004},                                            // phonebook menu bar
    {44025, 44024, 44023, 44022, 44021, 44001, 44020, 44017, 44016},  // phonebook File
    {44019, 44018},                                                   // phonebook Export
    {44014, 44009},                                                   // phonebook Edit
    {44013, 44012, 44011, 44010},                                     // phonebook Edit, Computer
    {44008, 44007, 44006, 44005},                                     // phonebook Edit, Handset
    {44003, 44002},                                                   // phonebook Help
    {44034, 44033, 44032, 44031, 44030, 44029, 44028},                // Computer list menu
    {44038, 44037, 44036, 44035},                                     // Handset list menu
    {9001, 49001, 49002, 49003, 49012},                               // melody menu bar
    {49025, 49024, 49023, 49019},                                     // melody File
    {49018, 49017, 49010, 49009, 49008},                              // melody Original
    {49015, 49014, 49007, 49011, 49006, 49005, 49004},                // melody Transferred
    {49022, 49020, 49021},                                            // melody Handset
    {49013, 49016},                                                   // melody Help
};

class ShippedLanguageFile : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(ShippedLanguageFile, GivesEveryItemOfAMenuLevelItsOwnAccessKey) {
  CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
  CLanguageStrings strings(store, kDataDir);
  ASSERT_TRUE(strings.Load(GetParam()));
  for (const auto& level : kMenuLevels) {
    std::map<std::string, std::int32_t> keys;
    for (std::int32_t id : level) {
      const std::string key = AccessKey(strings.GetString(id));
      ASSERT_FALSE(key.empty()) << "menu text " << id << " has no access key";
      const auto [other, inserted] = keys.emplace(key, id);
      EXPECT_TRUE(inserted) << "menu texts " << other->second << " and " << id << " share the access key '" << key
                            << "'";
    }
  }
}

TEST_P(ShippedLanguageFile, IsCompleteUtf8AndKeepsTheStructureOfEveryEnglishText) {
  CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
  CLanguageStrings strings(store, kDataDir);
  const fs::path file = strings.LanguageFile(GetParam());
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << file;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  EXPECT_TRUE(ValidUtf8(bytes.str())) << file;

  ASSERT_TRUE(strings.Load(GetParam())) << file << " lacks a text (run with ORVANE_DEBUG=1 to see which)";
  std::size_t shown = 0;
  std::size_t translated = 0;
  for (std::int32_t id : AllIds()) {
    const char* english = EnglishResourceString(id);
    ASSERT_NE(english, nullptr) << id;
    const std::string text = strings.GetString(id);
    EXPECT_TRUE(SameStructure(id, english, text));
    if (std::string(english).rfind(CLanguageStrings::kUnshownMarker, 0) != 0) {
      ++shown;
      translated += text != english ? 1 : 0;
    }
  }
  if (GetParam() != 0) {
    // Symbols and names (">>", "CSV", "Outlook" ...) stay as they are; real text does not.
    EXPECT_GT(translated * 10, shown * 7) << translated << " of " << shown << " shown texts are translated";
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguageFile, ::testing::Values(0, 1, 2, 3),
                         [](const auto& info) { return std::string(CLanguageStrings::LanguageName(info.param)); });

TEST(ShippedEnglishFile, IsTheCompiledStringTable) {
  CSettingsStore store(std::make_unique<CMemorySettingsBackend>());
  CLanguageStrings strings(store, kDataDir);
  ASSERT_EQ(strings.InitialLoad(0), 0);
  for (std::int32_t id : AllIds()) {
    EXPECT_EQ(strings.GetString(id), EnglishResourceString(id)) << id;
  }
  // Texts whose blanks or quotes matter survive the file format.
  EXPECT_EQ(strings.GetString(3003), " Wallpaper");
  EXPECT_EQ(strings.GetString(4056), "Phonebook file ");
  EXPECT_EQ(strings.GetString(715), "Are you sure you want to erase '%s' from the handset?");
  EXPECT_EQ(strings.GetString(43000), "&Open\tCtrl+O");
  EXPECT_NE(strings.GetString(1537).find(" \\nData"), std::string::npos);
}

}  // namespace
