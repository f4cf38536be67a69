// Language files as the program loads them at start-up and on a language change: every
// string of every section must be present, else the compiled-in English strings stay.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "platform/MemorySettingsBackend.h"

namespace {

// A folder holding the four language file names, each a link to the current input.
const std::filesystem::path& LanguageDir() {
  // Made once and never destroyed, so the removal at exit still finds its name.
  static const std::filesystem::path* const dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orvane-fuzz-lang.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      fuzzcheck::Fail("cannot make the language folder");
    }
    std::atexit([] { std::filesystem::remove_all(LanguageDir()); });
    return new std::filesystem::path(pattern);
  }();
  return *dir;
}

void LinkLanguageFiles(const std::string& target) {
  for (std::int32_t language = 0; language < 4; ++language) {
    const std::filesystem::path link = LanguageDir() / (std::string(CLanguageStrings::LanguageName(language)) + ".ini");
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(target, link);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  LinkLanguageFiles(input.Path());
  CSettingsStore settings(std::make_unique<CMemorySettingsBackend>());
  CLanguageStrings strings(settings, LanguageDir());
  const int fromResources = strings.InitialLoad(0);
  // Whichever table is in use, each string is there: the file's or the compiled-in one.
  for (const std::int32_t id : {1, 100, 700, 732, 794}) {
    if (EnglishResourceString(id) != nullptr && strings.GetString(id).empty()) {
      fuzzcheck::Fail("a string is empty after the initial load");
    }
  }
  const bool loaded = strings.Load(2);
  if (loaded == (fromResources != 0)) {
    fuzzcheck::Fail("the initial load and a later load of the same file disagree");
  }
  return 0;
}
