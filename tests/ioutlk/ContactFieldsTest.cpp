// The contact line layout: which property lands in which field, the name fallbacks, the
// quoting, and that the phonebook's reader takes the lines back as written.
#include "ioutlk/ContactFields.h"
#include "phonebook/OutlookTempFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

class CFakeContact : public IContactProperties {
 public:
  CFakeContact(std::map<std::uint32_t, std::string> values, std::set<std::uint32_t> unreadable = {})
      : m_values(std::move(values)), m_unreadable(std::move(unreadable)) {}

  Read Text(std::uint32_t tag, std::string& text) const override {
    if (m_unreadable.count(tag) != 0) {
      return Read::Unreadable;
    }
    const auto found = m_values.find(tag);
    if (found == m_values.end()) {
      return Read::Missing;
    }
    text = found->second;
    return Read::Found;
  }

 private:
  std::map<std::uint32_t, std::string> m_values;
  std::set<std::uint32_t> m_unreadable;
};

std::string NameOf(std::map<std::uint32_t, std::string> values) {
  const auto fields = PersonalFoldersFields(CFakeContact(std::move(values)));
  return fields ? (*fields)[5] : "<unreadable>";
}

}  // namespace

TEST(ContactFields, EveryNumberHasItsField) {
  using namespace ContactTag;
  const std::map<std::uint32_t, std::size_t> expected = {
      {kMobile, 12},    {kHome, 13}, {kBusiness, 14}, {kPrimary, 15},       {kHome2, 25},
      {kBusiness2, 31}, {kCar, 32},  {kOther, 33},    {kCallback, 35},      {kCompanyMain, 36},
      {kRadio, 38},     {kIsdn, 45}, {kPager, 46},    {kAssistantName, 53}, {kAssistantPhone, 54},
  };
  std::map<std::uint32_t, std::string> values = {{kDisplayName, "Anna"}};
  for (const auto& [tag, field] : expected) {
    values[tag] = "v" + std::to_string(field);
  }
  const auto fields = PersonalFoldersFields(CFakeContact(values));
  ASSERT_TRUE(fields);
  ASSERT_EQ(fields->size(), 55u);
  std::set<std::size_t> used = {5};
  for (const auto& [tag, field] : expected) {
    used.insert(field);
  }
  EXPECT_EQ((*fields)[5], "Anna");
  for (std::size_t i = 0; i < fields->size(); ++i) {
    if (used.count(i) == 0) {
      EXPECT_EQ((*fields)[i], "") << "field " << i;
    }
  }
  for (const auto& [tag, field] : expected) {
    EXPECT_EQ((*fields)[field], "v" + std::to_string(field)) << "property 0x" << std::hex << tag;
  }
}

TEST(ContactFields, NameFallsBackToGivenNameAndSurnameThenCompany) {
  using namespace ContactTag;
  EXPECT_EQ(NameOf({{kDisplayName, "  Dr. Anna Berg "}, {kGivenName, "Anna"}}), "Dr. Anna Berg");
  EXPECT_EQ(NameOf({{kDisplayName, " "}, {kGivenName, "Anna"}, {kSurname, "Berg"}, {kCompanyName, "ACME"}}),
            "Anna Berg");
  EXPECT_EQ(NameOf({{kSurname, "Berg"}}), "Berg");
  EXPECT_EQ(NameOf({{kGivenName, "Anna"}}), "Anna");
  EXPECT_EQ(NameOf({{kCompanyName, "ACME Ltd."}, {kMobile, "555"}}), "ACME Ltd.");
  EXPECT_EQ(NameOf({{kMobile, "555"}}), "");
}

TEST(ContactFields, AnUnreadablePropertySkipsTheContact) {
  using namespace ContactTag;
  EXPECT_FALSE(PersonalFoldersFields(CFakeContact({{kDisplayName, "Anna"}}, {kPager})));
  EXPECT_FALSE(PersonalFoldersFields(CFakeContact({}, {kDisplayName})));
  // A missing display name is read past; an unreadable fallback is not.
  EXPECT_FALSE(PersonalFoldersFields(CFakeContact({}, {kSurname})));
  EXPECT_TRUE(PersonalFoldersFields(CFakeContact({{kDisplayName, "Anna"}}, {kSurname})));
}

TEST(ContactFields, LinesQuoteFieldsAndKeepOneContactPerLine) {
  EXPECT_EQ(CleanFieldValue(" Line one\r\nline two\n "), "Line oneline two");
  EXPECT_EQ(ContactLine({"a", "say \"hi\"", "", "x,y"}), "\"a\",\"say \"\"hi\"\"\",\"\",\"x,y\"\r\n");
  EXPECT_EQ(ContactLine({"two\r\nlines"}), "\"twolines\"\r\n");
}

// What the library writes, the phonebook reads: names with quotes and commas, numbers in
// several fields, a line end inside a value, UTF-8 text.
TEST(ContactFields, ThePhonebookReadsTheLinesBack) {
  using namespace ContactTag;
  std::string text;
  text += ContactLine(*PersonalFoldersFields(CFakeContact(
      {{kDisplayName, "Karl \"Kalle\", Jr."}, {kMobile, "0171-555-0001"}, {kBusiness2, "030\r\n5550002"}})));
  text += ContactLine(*PersonalFoldersFields(
      CFakeContact({{kGivenName, "Zoë"}, {kSurname, "Ávila"}, {kAssistantName, "Ben"}, {kAssistantPhone, "5550003"}})));
  std::vector<PhonebookEntry> collected;
  const OutlookReadResult result = ReadOutlookTempText(text, OutlookSource::PersonalFolders, {}, false, collected);
  ASSERT_TRUE(result.ok) << "bad line " << result.badLine << " with " << result.badFieldCount << " fields";
  ASSERT_EQ(collected.size(), 3u);
  EXPECT_EQ(collected[0].name, "Karl \"Kalle\", Jr");
  EXPECT_EQ(collected[0].number, "01715550001");
  EXPECT_EQ(collected[1].number, "0305550002");
  EXPECT_EQ(collected[2].name, "Ben");
  EXPECT_EQ(collected[2].number, "5550003");
}
