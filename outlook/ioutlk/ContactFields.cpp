#include "ioutlk/ContactFields.h"

#include <array>
#include <utility>

namespace {

struct FieldSource {
  std::size_t field;
  std::uint32_t tag;
};

// Telephone numbers and the assistant of a personal-folders line.
constexpr std::array<FieldSource, 15> kPersonalFolderFields = {{
    {12, ContactTag::kMobile},
    {13, ContactTag::kHome},
    {14, ContactTag::kBusiness},
    {15, ContactTag::kPrimary},
    {25, ContactTag::kHome2},
    {31, ContactTag::kBusiness2},
    {32, ContactTag::kCar},
    {33, ContactTag::kOther},
    {35, ContactTag::kCallback},
    {36, ContactTag::kCompanyMain},
    {38, ContactTag::kRadio},
    {45, ContactTag::kIsdn},
    {46, ContactTag::kPager},
    {53, ContactTag::kAssistantName},
    {54, ContactTag::kAssistantPhone},
}};
constexpr std::size_t kPersonalFoldersNameField = 5;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The cleaned text of a property; false when it cannot be read.
bool ReadText(const IContactProperties& contact, std::uint32_t tag, std::string& text) {
  std::string raw;
  const IContactProperties::Read read = contact.Text(tag, raw);
  if (read == IContactProperties::Read::Unreadable) {
    return false;
  }
  text = read == IContactProperties::Read::Found ? CleanFieldValue(raw) : std::string();
  return true;
}

bool ContactName(const IContactProperties& contact, std::string& name) {
  if (!ReadText(contact, ContactTag::kDisplayName, name)) {
    return false;
  }
  if (!name.empty()) {
    return true;
  }
  std::string given;
  std::string surname;
  if (!ReadText(contact, ContactTag::kGivenName, given) || !ReadText(contact, ContactTag::kSurname, surname)) {
    return false;
  }
  name = CleanFieldValue(given + " " + surname);
  return !name.empty() || ReadText(contact, ContactTag::kCompanyName, name);
}

}  // namespace

std::optional<std::vector<std::string>> PersonalFoldersFields(const IContactProperties& contact) {
  std::vector<std::string> fields(kPersonalFoldersFieldCount);
  if (!ContactName(contact, fields[kPersonalFoldersNameField])) {
    return std::nullopt;
  }
  for (const FieldSource& source : kPersonalFolderFields) {
    if (!ReadText(contact, source.tag, fields[source.field])) {
      return std::nullopt;
    }
  }
  return fields;
}

std::string CleanFieldValue(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (const char c : value) {
    if (c != '\r' && c != '\n' && c != '\0') {
      text += c;
    }
  }
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) {
    ++begin;
  }
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

std::string ContactLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) {
      line += ',';
    }
    line += '"';
    for (const char c : fields[i]) {
      if (c == '\r' || c == '\n') {
        continue;  // a line end would split the contact
      }
      line += c;
      if (c == '"') {
        line += '"';
      }
    }
    line += '"';
  }
  line += "\r\n";
  return line;
}
