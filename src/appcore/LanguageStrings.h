#pragma once

#include "appcore/SettingsStore.h"
#include "platform/Paths.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// The English text compiled into the program for a string id, or nullptr when the id has
// none. Generated at build time from resources/lang/English.ini.
const char* EnglishResourceString(std::int32_t id);

// Every user-visible text by string id, in the selected language. Two complete tables are
// kept: lookups read the one in use while a language switch fills the other, so a failed
// switch leaves every text of the old language in place and a reader on another thread
// sees either the old or the new set, never a mixture.
class CLanguageStrings {
 public:
  using Table = std::unordered_map<std::int32_t, std::string>;

  // Texts that the program never shows begin with this marker.
  static constexpr const char* kUnshownMarker = "//---String---//";

  // languageDir is the folder of the language files (the program data folder in a real
  // start; tests pass their own).
  explicit CLanguageStrings(CSettingsStore& settings, std::filesystem::path languageDir = CPaths::ProgramDataDir());
  virtual ~CLanguageStrings();

  CLanguageStrings(const CLanguageStrings&) = delete;
  CLanguageStrings& operator=(const CLanguageStrings&) = delete;

  // The text of the id from the table in use; empty when the id has none. Never waits for a
  // load: it holds the publish lock only to take its own reference to the table in use.
  std::string GetString(std::int32_t id) const;

  // Start-up load: reads the language file of the index into table 1 and makes it the
  // table in use. Returns 0 on success; 1 when the file was unusable and the compiled
  // English texts were loaded instead.
  int InitialLoad(std::int32_t languageIndex);

  // Language switch: fills the table not in use from the language file of the index and
  // makes it the table in use. False when the file is unusable; the old texts stay.
  bool Load(std::int32_t languageIndex);

  // 1 or 2: the table that lookups read.
  std::int32_t TableInUse() const;

  // "English", "French", "Spanish", "Portuguese"; any other index is English.
  static const char* LanguageName(std::int32_t languageIndex);
  // The language file of the index: <languageDir>/<language name>.ini.
  std::filesystem::path LanguageFile(std::int32_t languageIndex) const;
  const std::filesystem::path& LanguageDir() const { return m_languageDir; }

 private:
  using TablePtr = std::shared_ptr<const Table>;

  // Reads every id of every range from the file; false at the first missing or empty value.
  bool ReadLanguageFile(const std::filesystem::path& file, Table& table);
  // Fills the table from the compiled English texts, in range order, up to the first id
  // without a text.
  static void FillFromResources(Table& table);
  void Publish(std::int32_t tableNumber, TablePtr table);
  TablePtr TableForReading() const;

  CSettingsStore& m_settings;
  std::filesystem::path m_languageDir;
  // Tables 1 and 2 at indices 0 and 1, and the number of the table in use, guarded by the
  // publish lock. A reader keeps its own reference to the table it looks in, so replacing a
  // table never frees one that is being read.
  TablePtr m_tables[2];
  std::int32_t m_tableInUse = 1;
  mutable std::mutex m_publishLock;
  // Serialises loads; held while a file is read, never by lookups.
  std::mutex m_loadLock;
};
