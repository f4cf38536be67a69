#include "platform/SystemLanguage.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace {

constexpr std::uint16_t kEnglishUs = 0x0409;

// Windows identifiers of the regional variants; a bare language code takes the first one.
const std::map<std::string, std::uint16_t>& Table() {
  static const std::map<std::string, std::uint16_t> table = {
      // Spanish: Spain (traditional sort, then each country), 0x0C0A is Spain modern sort.
      {"es", 0x0C0A},
      {"es_ES", 0x0C0A},
      {"es_MX", 0x080A},
      {"es_GT", 0x100A},
      {"es_CR", 0x140A},
      {"es_PA", 0x180A},
      {"es_DO", 0x1C0A},
      {"es_VE", 0x200A},
      {"es_CO", 0x240A},
      {"es_PE", 0x280A},
      {"es_AR", 0x2C0A},
      {"es_EC", 0x300A},
      {"es_CL", 0x340A},
      {"es_UY", 0x380A},
      {"es_PY", 0x3C0A},
      {"es_BO", 0x400A},
      {"es_SV", 0x440A},
      {"es_HN", 0x480A},
      {"es_NI", 0x4C0A},
      {"es_PR", 0x500A},
      {"es_US", 0x540A},
      // French: France, Belgium, Canada, Switzerland, Luxembourg, Monaco.
      {"fr", 0x040C},
      {"fr_FR", 0x040C},
      {"fr_BE", 0x080C},
      {"fr_CA", 0x0C0C},
      {"fr_CH", 0x100C},
      {"fr_LU", 0x140C},
      {"fr_MC", 0x180C},
      // A few others, so that they are told apart from English in diagnostics.
      {"en", 0x0409},
      {"en_US", 0x0409},
      {"en_GB", 0x0809},
      {"pt", 0x0816},
      {"pt_PT", 0x0816},
      {"pt_BR", 0x0416},
      {"de", 0x0407},
      {"de_DE", 0x0407},
      {"it", 0x0410},
      {"it_IT", 0x0410},
      {"ja", 0x0411},
      {"ja_JP", 0x0411},
  };
  return table;
}

}  // namespace

std::uint16_t CSystemLanguage::LangIdForLocale(const std::string& locale) {
  // Strip ".UTF-8" and "@euro" parts; "fr-CA" is written "fr_CA" by some desktops.
  std::string name = locale.substr(0, locale.find_first_of(".@"));
  for (char& c : name) {
    if (c == '-') {
      c = '_';
    }
  }
  const auto underscore = name.find('_');
  std::string language = name.substr(0, underscore);
  for (char& c : language) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::string region = underscore == std::string::npos ? std::string() : name.substr(underscore + 1);
  for (char& c : region) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  const auto& table = Table();
  if (!region.empty()) {
    if (const auto it = table.find(language + "_" + region); it != table.end()) {
      return it->second;
    }
  }
  if (const auto it = table.find(language); it != table.end()) {
    return it->second;
  }
  return kEnglishUs;
}

std::uint16_t CSystemLanguage::DefaultLangId() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return LangIdForLocale(value);
    }
  }
  return kEnglishUs;
}
