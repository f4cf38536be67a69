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

// A folder holding the four language file names, each a link to the input; made for one
// input and removed after it, so nothing stays behind however the run ends.
class CLanguageFolder {
 public:
  explicit CLanguageFolder(const std::string& target) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orvane-fuzz-lang.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      fuzzcheck::Fail("cannot make the language folder");
    }
    m_dir = pattern;
    for (std::int32_t language = 0; language < 4; ++language) {
      std::filesystem::create_symlink(target, m_dir / (std::string(CLanguageStrings::LanguageName(language)) + ".ini"));
    }
  }
  ~CLanguageFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  CLanguageFolder(const CLanguageFolder&) = delete;
  CLanguageFolder& operator=(const CLanguageFolder&) = delete;
  const std::filesystem::path& Path() const { return m_dir; }

 private:
  std::filesystem::path m_dir;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  const CLanguageFolder folder(input.Path());
  CSettingsStore settings(std::make_unique<CMemorySettingsBackend>());
  CLanguageStrings strings(settings, folder.Path());
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
