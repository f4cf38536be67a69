// INI profile reads (language files): sections and keys found without regard to case, the
// first match winning, quoted values, and the cut of a value to the caller's buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "platform/IniProfile.h"
#include "platform/Utf8.h"

namespace {

void RequireCut(const CIniProfile::Result& result, std::size_t bufferChars) {
  if (result.characters != Utf8Length(result.text) || (bufferChars > 0 && result.characters > bufferChars - 1)) {
    fuzzcheck::Fail("a profile read returned more characters than the buffer holds, or miscounted them");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  CIniProfile profile;
  const std::vector<std::string> sections = profile.Sections(input.Path());
  static const char* const kKeys[] = {"1", "100", "Title", "", "key"};
  for (std::size_t i = 0; i < sections.size() && i < 8; ++i) {
    for (const char* key : kKeys) {
      for (const std::size_t buffer : {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{32767}}) {
        RequireCut(profile.Read(input.Path(), sections[i], key, buffer), buffer);
      }
    }
  }
  RequireCut(profile.Read(input.Path(), "Strings", "1", 32767), 32767);
  return 0;
}
