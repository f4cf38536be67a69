#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The contacts export library (ioutlk.so in the library folder), loaded by file name for
// the length of one Outlook import. Its entry point appToIdbTran writes the contact files
// the phonebook reads; the other exports name the data file, give its password and cancel.
class COutlookLibrary {
 public:
  static constexpr const char* kFileName = "ioutlk.so";
  // Results of Transfer (the library's status codes).
  static constexpr std::uint16_t kOk = 0;
  static constexpr std::uint16_t kNoSource = 1;
  static constexpr std::uint16_t kNotOpened = 2;
  static constexpr std::uint16_t kWrongPassword = 3;
  static constexpr std::uint16_t kCancelled = 4;
  // Transfer when the library is not loaded.
  static constexpr std::uint16_t kNotLoaded = 0xFFFF;

  COutlookLibrary() = default;
  ~COutlookLibrary();
  COutlookLibrary(const COutlookLibrary&) = delete;
  COutlookLibrary& operator=(const COutlookLibrary&) = delete;

  // The file Load opens: the library folder + kFileName.
  static std::filesystem::path DefaultPath();
  // False when the library or one of its entry points is missing; nothing stays loaded.
  bool Load(const std::filesystem::path& path = DefaultPath());
  void Unload();
  bool Loaded() const { return m_handle != nullptr; }

  // An empty path forgets the data file.
  void SetSourceFile(const std::string& path) const;
  void SetPassword(const std::string& password) const;
  // 1 protected, 0 not, -1 the file cannot be opened (or the library is not loaded).
  int IsPasswordProtected() const;
  // Safe from any thread while Transfer runs on another.
  void Cancel() const;
  // mode 10 personal folders, 11 address book; the program folder and the output file.
  std::uint16_t Transfer(std::int32_t mode, const std::string& folder, const std::string& output) const;
  // Lines written and items skipped by the last Transfer.
  void LastCounts(std::uint32_t& written, std::uint32_t& skipped) const;

 private:
  using TransferFn = std::uint16_t (*)(std::int32_t, const char*, const char*);
  using SetTextFn = std::int32_t (*)(const char*);
  using QueryFn = std::int32_t (*)();
  using CancelFn = void (*)();
  using CountsFn = void (*)(std::uint32_t*, std::uint32_t*);

  void* m_handle = nullptr;
  TransferFn m_transfer = nullptr;
  SetTextFn m_setSource = nullptr;
  SetTextFn m_setPassword = nullptr;
  QueryFn m_isProtected = nullptr;
  CancelFn m_cancel = nullptr;
  CountsFn m_counts = nullptr;
};
