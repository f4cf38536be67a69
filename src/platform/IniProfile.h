#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Reads profile strings from INI files (UTF-8, an optional byte-order mark, LF or CRLF).
// Sections and keys are matched case-insensitively and the first match wins; blanks
// around keys and values are dropped, and a value enclosed in matching quotes loses them.
class CIniProfile {
 public:
  struct Result {
    std::string text;        // the value, cut to the buffer as a profile read would cut it
    std::size_t characters;  // characters copied, as the profile read would report
  };

  // The value of section/key, cut to bufferChars - 1 characters. A missing file, section
  // or key gives an empty text with 0 characters.
  Result Read(const std::filesystem::path& file, const std::string& section, const std::string& key,
              std::size_t bufferChars);

  // Every section name of the file, in file order (for checks of a language file).
  std::vector<std::string> Sections(const std::filesystem::path& file);

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  using Parsed = std::vector<Section>;

  const Parsed* Load(const std::filesystem::path& file);
  static Parsed Parse(const std::string& content);

  std::mutex m_mutex;
  std::filesystem::path m_cachedPath;
  std::filesystem::file_time_type m_cachedTime{};
  std::uintmax_t m_cachedSize = 0;
  std::optional<Parsed> m_cached;
};
