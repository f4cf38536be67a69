#include "platform/QtSettingsBackend.h"

#include <cstring>

namespace {

const std::string kProductKey = "Software\\Vorlandix\\VX-RM1276series";

}  // namespace

CQtSettingsBackend::CQtSettingsBackend()
    : m_settings(
          std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Vorlandix", "VX-RM1276series")) {}

CQtSettingsBackend::CQtSettingsBackend(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

CQtSettingsBackend::~CQtSettingsBackend() = default;

QString CQtSettingsBackend::FileName() const {
  return m_settings->fileName();
}

// "Software\Vorlandix\VX-RM1276series\PhoneBook\FileHistry" + "0" -> "PhoneBook/FileHistry/0".
QString CQtSettingsBackend::SettingPath(const std::string& key, const std::string& name) {
  std::string path = key;
  while (!path.empty() && path.back() == '\\') {
    path.pop_back();
  }
  if (path.size() >= kProductKey.size() &&
      QString::fromStdString(path.substr(0, kProductKey.size()))
              .compare(QString::fromStdString(kProductKey), Qt::CaseInsensitive) == 0) {
    path.erase(0, kProductKey.size());
  }
  while (!path.empty() && path.front() == '\\') {
    path.erase(0, 1);
  }
  QString group = QString::fromStdString(path).replace('\\', '/');
  if (group.isEmpty()) {
    return QString::fromStdString(name);
  }
  return group + '/' + QString::fromStdString(name);
}

bool CQtSettingsBackend::Flush() {
  m_settings->sync();
  return m_settings->status() == QSettings::NoError;
}

bool CQtSettingsBackend::Read(const std::string& key, const std::string& name, SettingType type,
                              std::vector<std::uint8_t>& data) {
  std::lock_guard lock(m_mutex);
  const QVariant value = m_settings->value(SettingPath(key, name));
  if (!value.isValid()) {
    return false;
  }
  if (type == REG_DWORD) {
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok || number < -2147483648LL || number > 0xFFFFFFFFLL) {
      return false;
    }
    const auto dword = static_cast<std::uint32_t>(number);
    data.resize(4);
    std::memcpy(data.data(), &dword, 4);
    return true;
  }
  if (type == REG_SZ) {
    const QByteArray utf8 = value.toString().toUtf8();
    data.assign(utf8.begin(), utf8.end());
    data.push_back(0);
    return true;
  }
  const QByteArray bytes = value.toByteArray();
  data.assign(bytes.begin(), bytes.end());
  return true;
}

bool CQtSettingsBackend::Write(const std::string& key, const std::string& name, SettingType type,
                               const std::vector<std::uint8_t>& data) {
  std::lock_guard lock(m_mutex);
  QVariant value;
  if (type == REG_DWORD) {
    if (data.size() < 4) {
      return false;
    }
    std::uint32_t dword = 0;
    std::memcpy(&dword, data.data(), 4);
    value = static_cast<qulonglong>(dword);
  } else if (type == REG_SZ) {
    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    value = QString::fromUtf8(reinterpret_cast<const char*>(data.data()), end - data.begin());
  } else {
    value = QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
  }
  m_settings->setValue(SettingPath(key, name), value);
  return Flush();
}

bool CQtSettingsBackend::Delete(const std::string& key, const std::string& name) {
  std::lock_guard lock(m_mutex);
  const QString path = SettingPath(key, name);
  if (!m_settings->contains(path)) {
    return false;
  }
  m_settings->remove(path);
  return Flush();
}

bool CQtSettingsBackend::CreateKey(const std::string&) {
  // Groups exist through their values in this store; an empty key needs no entry.
  return m_settings->isWritable();
}
