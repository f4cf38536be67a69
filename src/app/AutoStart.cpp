#include "app/AutoStart.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <system_error>

CAutoStart::CAutoStart(std::filesystem::path folder, std::filesystem::path program)
    : m_folder(std::move(folder)), m_program(program.empty() ? CPaths::ExecutablePath() : std::move(program)) {}

std::filesystem::path CAutoStart::DefaultFolder() {
  return CPaths::ConfigHome() / "autostart";
}

std::filesystem::path CAutoStart::EntryFile() const {
  return m_folder / (std::string(kEntryName) + ".desktop");
}

bool CAutoStart::IsEnabled() const {
  std::error_code error;
  return std::filesystem::exists(EntryFile(), error);
}

// Inside double quotes the characters " ` $ and \ take a backslash; the whole value is then
// a desktop-entry string, where a backslash is written twice and % as %%.
std::string CAutoStart::QuoteArgument(const std::string& word) {
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CAutoStart::ExecValue() const {
  const std::string command = QuoteArgument(m_program.string()) + " /S";
  std::string value;
  for (char c : command) {
    if (c == '\\') {
      value += "\\\\";
    } else if (c == '%') {
      value += "%%";
    } else {
      value += c;
    }
  }
  return value;
}

std::string CAutoStart::EntryContent() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=ORVANE USB Utility\n"
         "Comment=Handset companion in the system tray\n"
         "Exec=" +
         ExecValue() +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool CAutoStart::Enable() {
  std::error_code error;
  std::filesystem::create_directories(m_folder, error);
  return CAtomicFile::WriteWhole(EntryFile(), EntryContent());
}

bool CAutoStart::Disable() {
  std::error_code error;
  std::filesystem::remove(EntryFile(), error);
  return !std::filesystem::exists(EntryFile(), error) && !error;
}
