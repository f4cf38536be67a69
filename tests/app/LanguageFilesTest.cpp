// Checks of the language files shipped with the program, as the program reads them from
// its data folder.
#include "app/LanguageStrings.h"
#include "app/StringSectionTable.h"
#include "platform/MemorySettingsBackend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
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

class ShippedLanguageFile : public ::testing::TestWithParam<std::int32_t> {};

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
