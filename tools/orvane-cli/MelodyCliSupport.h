#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "melody/MelodyException.h"

// Helpers shared by the "wave" and "melody" command areas.
namespace MelodyCli {

// One line describing why a melody operation failed.
std::string Reason(const CMelodyException& e);

// A private working folder for one command; the temporary files of the conversion chain
// go there (it becomes the process's temporary folder) and it is removed afterwards.
class CWorkFolder {
 public:
  CWorkFolder();
  ~CWorkFolder();
  CWorkFolder(const CWorkFolder&) = delete;
  CWorkFolder& operator=(const CWorkFolder&) = delete;
  bool Ok() const { return !m_path.empty(); }
  std::filesystem::path File(const char* name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
  std::string m_previousTmp;
  bool m_hadTmp = false;
};

// Why an input cannot be opened without blocking or reading garbage (standard input,
// FIFOs, devices, folders, missing files); empty for a regular file.
std::string CheckInputFile(const std::string& file);
// Checks a WAVE file for the formats the conversion accepts; empty when it is accepted,
// otherwise the reason. With `notes`, prints on standard error what the conversion will
// change beyond the usual (narrowed samples, a data size cut to the file). Throws
// CMelodyException for unreadable files.
std::string CheckConvertible(const std::string& file, bool notes = false);
// The two passes of opening a file for the melody editor: channel choice (left unless
// `right`), then widening and resampling to 16000 Hz 16-bit mono.
void ConvertForMelody(const std::string& in, const std::string& out, bool right, const CWorkFolder& work);
// Reads "[--left|--right] IN OUT" after the verb; false on a usage error.
bool ParseChannelAndFiles(const std::vector<std::string>& args, std::vector<std::string>& files, bool& right);
// Runs `produce` on a temporary name beside `output` (symbolic links followed) and renames
// it into place on success; an output of "-" is produced in a working file and copied to
// standard output. Otherwise, and when the command was interrupted, prints one failure
// line and leaves nothing behind. Returns the exit status.
int ProduceOutput(const std::string& input, const std::string& output,
                  const std::function<void(const std::string& temporary)>& produce);
// Prints a failure line naming the file and returns the failure exit status.
int Fail(const std::string& file, const std::string& reason);
// The same for an exception of a conversion from input to output: names the output when
// it could not be created, the input otherwise.
int FailWith(const CMelodyException& e, const std::string& input, const std::string& output);

}  // namespace MelodyCli
