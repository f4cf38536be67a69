#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// "HelpAddress.txt": where the help page of each topic lies, per language. The file is a
// list of tokens separated by blanks, tabs and line feeds, read in groups of five: a topic
// number in decimal, then the addresses for English, French, Spanish and Portuguese. The
// first group of a topic counts. An address is relative to the program data folder and is
// written with a leading backslash ("\help\English\launcher.html"); carriage returns in a
// token are dropped, so files with Windows line ends read the same.
class CHelpAddressFile {
 public:
  static constexpr const char* kFileName = "HelpAddress.txt";
  static constexpr int kLanguages = 4;
  // A help address file is a few lines; anything bigger is not one.
  static constexpr std::uintmax_t kMaxFileSize = 1024 * 1024;

  enum class Status { kFound, kNoFile, kNoTopic };
  struct Result {
    Status status = Status::kNoTopic;
    std::string address;  // as written in the file, carriage returns and line feeds removed
  };

  // Looks the topic up in the file's text; language 0..3.
  static Result Find(std::string_view text, int topic, int language);
  // Reads the file and looks the topic up; kNoFile when it cannot be read (or is too big).
  // May throw std::bad_alloc.
  static Result FindInFile(const std::filesystem::path& file, int topic, int language);
  // The page of an address below a folder: backslashes become slashes.
  static std::filesystem::path PagePath(const std::filesystem::path& folder, const std::string& address);

 private:
  // The topic number a token stands for; nothing unless it is made of decimal digits only.
  static std::optional<int> TopicNumber(std::string_view token);
  static std::string WithoutLineEnds(std::string_view token);
};
