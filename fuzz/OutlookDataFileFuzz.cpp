// Outlook data files (.pst, .ost) read by the contacts export library: libpff opens the
// bytes, the export walks every folder and item it finds and writes the contact lines.
// Every line must keep the layout the phonebook reads: 55 quoted fields, one line each.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "ioutlk/ContactExport.h"
#include "ioutlk/PffFile.h"
#include "phonebook/OutlookTempFile.h"

// libpff (not ours, not instrumented) loses small blocks on some damaged files: a column
// definition of a table it gives up on. Those leaks are libpff's; ours are still reported.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libpff.so\n";
}

namespace {

void CheckLines(const std::string& lines, std::uint32_t written) {
  const std::vector<OutlookRecord> records = SplitOutlookRecords(lines);
  if (records.size() != written) {
    fuzzcheck::Fail("contact lines and written count differ");
  }
  for (const OutlookRecord& record : records) {
    if (record.fields.size() != 55) {
      fuzzcheck::Fail("a contact line without 55 fields");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  CPffFile file;
  if (!file.Open(input.Path())) {
    return 0;
  }
  file.PasswordChecksum();
  file.ContentType();
  const std::atomic<bool> cancel{false};
  CContactExport exporter(file, cancel);
  std::string lines;
  if (exporter.Run(lines) == CContactExport::Status::Ok) {
    CheckLines(lines, exporter.Written());
  }
  return 0;
}
