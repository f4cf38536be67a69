#pragma once

#include <filesystem>
#include <string>

// The auto start-up entry: an XDG autostart desktop entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, ~/.config/autostart) whose command starts the program
// silently ("<program>" /S). Its presence alone means "enabled"; its content is not checked.
class CAutoStart {
 public:
  static constexpr const char* kEntryName = "OrvaneApp";

  // folder: the autostart folder (default: the user's); program: the executable to start.
  explicit CAutoStart(std::filesystem::path folder = DefaultFolder(), std::filesystem::path program = {});

  bool IsEnabled() const;
  // Write or remove the entry; true when the entry is then in the state asked for.
  bool Enable();
  bool Disable();

  std::filesystem::path EntryFile() const;
  // The Exec line's value: the quoted program path and /S, escaped for a desktop entry.
  std::string ExecValue() const;
  std::string EntryContent() const;

  static std::filesystem::path DefaultFolder();
  // A command-line word quoted as the desktop entry format asks for quoted arguments.
  static std::string QuoteArgument(const std::string& word);

 private:
  std::filesystem::path m_folder;
  std::filesystem::path m_program;
};
