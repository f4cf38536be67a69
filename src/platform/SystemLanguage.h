#pragma once

#include <cstdint>
#include <string>

// The desktop's language as a Windows language identifier (primary language in the low
// 10 bits, sub-language above), which is how the language choice at start-up is made.
class CSystemLanguage {
 public:
  // From LC_ALL, LC_MESSAGES or LANG, the first one set.
  static std::uint16_t DefaultLangId();
  // "fr_CA.UTF-8" -> 0x0C0C, "es" -> 0x040A, "pt_BR" -> 0x0416; unknown -> 0x0409 (English, US).
  static std::uint16_t LangIdForLocale(const std::string& locale);
};
