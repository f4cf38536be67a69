// HelpAddress.txt: groups of a topic number and one page address per language, separated
// by blanks, tabs and line feeds; and the page path made of an address.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "ui/HelpAddressFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const int topic : {0, 1, 2, 100, 2000000000}) {
    for (int language = -1; language <= CHelpAddressFile::kLanguages; ++language) {
      const CHelpAddressFile::Result found = CHelpAddressFile::Find(text, topic, language);
      if (found.status == CHelpAddressFile::Status::kFound) {
        if (found.address.find_first_of("\r\n") != std::string::npos) {
          fuzzcheck::Fail("a help address keeps a line end");
        }
        CHelpAddressFile::PagePath("/usr/share/orvane-usb-utility/help/", found.address);
      }
    }
  }
  const CMemoryFile input(data, size);
  if (CHelpAddressFile::FindInFile(input.Path(), 1, 0).status == CHelpAddressFile::Status::kNoFile) {
    fuzzcheck::Fail("a readable help address file was taken for a missing one");
  }
  return 0;
}
