#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The properties of one contact item, read by MAPI property tag (the property id, for
// example 0x3001 for the display name). libpff's items stand behind it in the library;
// tests give fixed values.
class IContactProperties {
 public:
  enum class Read { Found, Missing, Unreadable };

  virtual ~IContactProperties() = default;
  // The text of a string property; Unreadable when the item is damaged there.
  virtual Read Text(std::uint32_t tag, std::string& text) const = 0;
};

// MAPI property ids of the contact properties the contact files carry.
namespace ContactTag {
inline constexpr std::uint32_t kDisplayName = 0x3001;
inline constexpr std::uint32_t kGivenName = 0x3A06;
inline constexpr std::uint32_t kSurname = 0x3A11;
inline constexpr std::uint32_t kCompanyName = 0x3A16;
inline constexpr std::uint32_t kMobile = 0x3A1C;
inline constexpr std::uint32_t kHome = 0x3A09;
inline constexpr std::uint32_t kBusiness = 0x3A08;
inline constexpr std::uint32_t kPrimary = 0x3A1A;
inline constexpr std::uint32_t kHome2 = 0x3A2F;
inline constexpr std::uint32_t kBusiness2 = 0x3A1B;
inline constexpr std::uint32_t kCar = 0x3A1E;
inline constexpr std::uint32_t kOther = 0x3A1F;
inline constexpr std::uint32_t kCallback = 0x3A02;
inline constexpr std::uint32_t kCompanyMain = 0x3A57;
inline constexpr std::uint32_t kRadio = 0x3A1D;
inline constexpr std::uint32_t kIsdn = 0x3A2D;
inline constexpr std::uint32_t kPager = 0x3A21;
inline constexpr std::uint32_t kAssistantName = 0x3A30;
inline constexpr std::uint32_t kAssistantPhone = 0x3A2E;
}  // namespace ContactTag

inline constexpr std::size_t kPersonalFoldersFieldCount = 55;

// The 55 fields of a personal-folders line for a contact; nullopt when one of its
// properties cannot be read (the item is skipped, not guessed at). Field 5 holds the
// display name, else given name and surname, else the company; the telephone numbers and
// the assistant have their own fields; the others stay empty.
std::optional<std::vector<std::string>> PersonalFoldersFields(const IContactProperties& contact);

// A field value as a line carries it: carriage returns and line feeds removed, blanks at
// both ends trimmed.
std::string CleanFieldValue(std::string_view value);

// One contact line: every field in double quotes with its double quotes doubled, commas
// between fields, CR LF at the end.
std::string ContactLine(const std::vector<std::string>& fields);
