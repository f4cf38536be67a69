#include "appcore/LanguageStrings.h"

#include "appcore/StringSectionTable.h"
#include "platform/DebugLog.h"

#include <utility>

namespace {

const char* const kLanguageNames[] = {"English", "French", "Spanish", "Portuguese"};

}  // namespace

CLanguageStrings::CLanguageStrings(CSettingsStore& settings, std::filesystem::path languageDir)
    : m_settings(settings), m_languageDir(std::move(languageDir)) {
  m_tables[0] = std::make_shared<const Table>();
  m_tables[1] = std::make_shared<const Table>();
}

CLanguageStrings::~CLanguageStrings() = default;

const char* CLanguageStrings::LanguageName(std::int32_t languageIndex) {
  if (languageIndex >= 0 && languageIndex < static_cast<std::int32_t>(std::size(kLanguageNames))) {
    return kLanguageNames[languageIndex];
  }
  return kLanguageNames[0];
}

std::filesystem::path CLanguageStrings::LanguageFile(std::int32_t languageIndex) const {
  return m_languageDir / (std::string(LanguageName(languageIndex)) + ".ini");
}

std::int32_t CLanguageStrings::TableInUse() const {
  std::lock_guard lock(m_publishLock);
  return m_tableInUse;
}

CLanguageStrings::TablePtr CLanguageStrings::TableForReading() const {
  std::lock_guard lock(m_publishLock);
  return m_tables[m_tableInUse - 1];
}

std::string CLanguageStrings::GetString(std::int32_t id) const {
  const TablePtr table = TableForReading();
  const auto found = table->find(id);
  return found == table->end() ? std::string() : found->second;
}

bool CLanguageStrings::ReadLanguageFile(const std::filesystem::path& file, Table& table) {
  for (std::size_t i = 0; i < StringSectionCount(); ++i) {
    const StringSectionEntry& entry = StringSectionTable[i];
    for (std::int32_t id = entry.firstId; id <= entry.lastId; ++id) {
      std::string text;
      {
        std::lock_guard iniLock(m_settings.IniMutex());
        text = m_settings.ReadIni(entry.sectionName, std::to_string(id), file);
      }
      if (text.empty()) {
        ORVANE_TRACE("CLanguageStrings::ReadLanguageFile - no text for [%s] %d in %s\n", entry.sectionName, id,
                     file.c_str());
        return false;
      }
      table.insert_or_assign(id, std::move(text));
    }
  }
  return true;
}

void CLanguageStrings::FillFromResources(Table& table) {
  for (std::size_t i = 0; i < StringSectionCount(); ++i) {
    const StringSectionEntry& entry = StringSectionTable[i];
    for (std::int32_t id = entry.firstId; id <= entry.lastId; ++id) {
      const char* text = EnglishResourceString(id);
      if (text == nullptr) {
        ORVANE_TRACE("CLanguageStrings::FillFromResources - no resource string %d\n", id);
        return;
      }
      table.insert_or_assign(id, text);
    }
  }
}

void CLanguageStrings::Publish(std::int32_t tableNumber, TablePtr table) {
  TablePtr replaced;
  {
    std::lock_guard lock(m_publishLock);
    replaced = std::exchange(m_tables[tableNumber - 1], std::move(table));
    m_tableInUse = tableNumber;
  }
  // The replaced table is freed here, outside the lock, unless a reader still holds it.
}

int CLanguageStrings::InitialLoad(std::int32_t languageIndex) {
  std::lock_guard loadLock(m_loadLock);
  auto table = std::make_shared<Table>();
  if (ReadLanguageFile(LanguageFile(languageIndex), *table)) {
    Publish(1, std::move(table));
    return 0;
  }
  table->clear();
  FillFromResources(*table);
  Publish(1, std::move(table));
  return 1;
}

bool CLanguageStrings::Load(std::int32_t languageIndex) {
  std::lock_guard loadLock(m_loadLock);
  const std::int32_t spare = TableInUse() == 1 ? 2 : 1;
  auto table = std::make_shared<Table>();
  if (!ReadLanguageFile(LanguageFile(languageIndex), *table)) {
    return false;
  }
  Publish(spare, std::move(table));
  return true;
}
