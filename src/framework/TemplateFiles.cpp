// CTemplate: file history, file dialogs and the folders they open in.
#include "framework/AppContext.h"
#include "framework/FileDialogs.h"
#include "framework/QtFileDialogs.h"
#include "framework/Template.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "platform/Paths.h"

#include <QAction>
#include <QMenu>
#include <QStandardPaths>
#include <array>
#include <filesystem>
#include <system_error>

namespace {

constexpr std::uint32_t kDefaultFileHistMax = 5;
constexpr std::uint32_t kLargestFileHistMax = 10;
constexpr std::size_t kHistoryValueBytes = 260;
constexpr std::size_t kHistoryLabelLength = 30;
// Hide read-only and confirm overwrite are always asked of the file dialogs.
constexpr std::uint32_t kAlwaysDialogFlags = 6;

// Restores the process's current folder when a file dialog has moved it.
class CurrentFolderKeeper {
 public:
  CurrentFolderKeeper() { m_folder = std::filesystem::current_path(m_error); }
  ~CurrentFolderKeeper() {
    if (!m_error) {
      std::error_code ignored;
      std::filesystem::current_path(m_folder, ignored);
    }
  }
  CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
  CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

 private:
  std::error_code m_error;
  std::filesystem::path m_folder;
};

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

}  // namespace

std::string CTemplate::DocumentsFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString()
                             : documents.toStdString();
}

std::string CTemplate::HistoryKey(std::uint8_t kind) {
  switch (kind) {
    case APP_PHONEBOOK:
      return kProductKey + "PhoneBook\\FileHistry";
    case APP_IMAGE:
      return kProductKey + "Image\\FileHistry";
    case APP_MELODY:
      return kProductKey + "Melody\\FileHistry";
    default:
      return {};
  }
}

std::string CTemplate::AbbreviatePath(std::size_t max, const std::string& path) {
  std::string label;
  if (path.size() <= max) {
    label = path;
  } else {
    const std::size_t cut = path.find_last_of("\\/");
    const char separator = cut == std::string::npos ? '/' : path[cut];
    const std::string file = cut == std::string::npos ? path : path.substr(cut + 1);
    if (file.size() >= max) {
      label = std::string("...") + separator + file.substr(0, max - std::min<std::size_t>(max, 3)) + "...";
    } else {
      label = path.substr(0, max - file.size()) + "..." + separator + file;
    }
  }
  std::string doubled;
  for (const char c : label) {
    doubled += c;
    if (c == '&') {
      doubled += '&';
    }
  }
  return doubled;
}

void CTemplate::LoadFileHistory() {
  const std::string key = HistoryKey(m_kind);
  CSettingsStore* settings = m_context != nullptr ? m_context->settings : nullptr;
  if (key.empty() || settings == nullptr) {
    return;
  }
  RemoveHistoryItems();
  m_history.clear();
  {
    std::lock_guard lock(settings->RegistryMutex());
    m_fileHistMax = settings->ReadOrCreateDword(key, "FileHistMax", kDefaultFileHistMax);
    if (m_fileHistMax > kLargestFileHistMax) {
      m_fileHistMax = kLargestFileHistMax;
      settings->WriteDword(key, "FileHistMax", m_fileHistMax);
    }
    for (std::uint32_t i = 0; i < m_fileHistMax; ++i) {
      std::string path = settings->ReadOrCreateString(key, std::to_string(i), "");
      if (!path.empty()) {
        m_history.push_back(std::move(path));
      }
    }
  }
  RebuildHistoryItems();
}

void CTemplate::AddFileHistory(const std::string& path) {
  if (HistoryKey(m_kind).empty() || path.empty()) {
    return;
  }
  RemoveHistoryItems();
  const auto listed = std::find(m_history.begin(), m_history.end(), path);
  if (listed != m_history.end()) {
    std::rotate(m_history.begin(), listed, listed + 1);
  } else {
    m_history.insert(m_history.begin(), path);
    if (m_history.size() > m_fileHistMax) {
      m_history.erase(m_history.begin() + m_fileHistMax, m_history.end());
    }
  }
  WriteFileHistory();
  RebuildHistoryItems();
}

// Every entry as value "0", "1", ...: REG_SZ in a buffer of 260 bytes, as the values are
// read back.
void CTemplate::WriteFileHistory() {
  CSettingsStore* settings = m_context != nullptr ? m_context->settings : nullptr;
  if (settings == nullptr) {
    return;
  }
  const std::string key = HistoryKey(m_kind);
  std::lock_guard lock(settings->RegistryMutex());
  for (std::size_t i = 0; i < m_history.size(); ++i) {
    std::array<char, kHistoryValueBytes> value{};
    m_history[i].copy(value.data(), value.size() - 1);
    settings->Write(key, std::to_string(i), REG_SZ, value.data(), static_cast<std::uint32_t>(value.size()));
  }
}

void CTemplate::SetHistoryMenu(QMenu* menu, QAction* before) {
  RemoveHistoryItems();
  m_historyMenu = menu;
  m_historyBefore = before;
  RebuildHistoryItems();
}

void CTemplate::RemoveHistoryItems() {
  if (!m_historyMenu) {
    return;
  }
  for (QAction* action : m_historyMenu->actions()) {
    const int id = action->data().isValid() ? action->data().toInt() : 0;
    if ((id >= TemplateId::kFirstHistory && id <= TemplateId::kLastHistory) || id == TemplateId::kHistorySeparator) {
      m_historyMenu->removeAction(action);
      delete action;
    }
  }
}

void CTemplate::RebuildHistoryItems() {
  if (!m_historyMenu) {
    return;
  }
  RemoveHistoryItems();
  QPointer<CTemplate> self(this);
  for (std::size_t i = 0; i < m_history.size(); ++i) {
    const int id = TemplateId::kFirstHistory + static_cast<int>(i);
    auto* action =
        new QAction(QString::fromStdString(AbbreviatePath(kHistoryLabelLength, m_history[i])), m_historyMenu);
    action->setData(id);
    connect(action, &QAction::triggered, this, [self, id] {
      if (self) {
        self->RunCommand(id);
      }
    });
    m_historyMenu->insertAction(m_historyBefore, action);
  }
  if (!m_history.empty()) {
    auto* separator = new QAction(m_historyMenu);
    separator->setSeparator(true);
    separator->setData(TemplateId::kHistorySeparator);
    m_historyMenu->insertAction(m_historyBefore, separator);
  }
}

void CTemplate::OnFileHistory(int id) {
  m_historyChosen = true;
  const auto index = static_cast<std::size_t>(id - TemplateId::kFirstHistory);
  m_selectedHistoryPath =
      id >= TemplateId::kFirstHistory && index < m_history.size() ? m_history[index] : std::string();
}

IFileDialogs& CTemplate::FileDialogs() const {
  if (m_context != nullptr && m_context->fileDialogs != nullptr) {
    return *m_context->fileDialogs;
  }
  return CQtFileDialogs::Instance();
}

std::string CTemplate::GetInitialFolder(const std::string& defaultText) {
  switch (m_kind) {
    case APP_IMAGE:
      if (m_historyChosen && !m_selectedHistoryPath.empty()) {
        m_historyChosen = false;
        return m_selectedHistoryPath;
      }
      return CPaths::ExecutablePath().empty() ? DocumentsFolder() : CPaths::ExecutablePath().parent_path().string();
    case APP_PHONEBOOK:
    case APP_MELODY:
      return m_historyChosen && !m_selectedHistoryPath.empty() ? m_selectedHistoryPath : DocumentsFolder();
    default:
      return defaultText.empty() ? m_lastPath : defaultText;
  }
}

std::string CTemplate::BrowseForOpen(const std::string& defaultExtension, std::uint32_t flags,
                                     const std::string& filter, const std::string& defaultFolder) {
  if (m_historyChosen) {
    m_historyChosen = false;
    return m_selectedHistoryPath;
  }
  IFileDialogs::Request request;
  request.owner = this;
  request.folder = GetInitialFolder(defaultFolder);
  request.defaultExtension = defaultExtension;
  request.filter = filter;
  request.selectedFilter = m_selectedFilter;
  request.flags = flags | kAlwaysDialogFlags;
  QPointer<CTemplate> self(this);
  const IFileDialogs::Answer answer = RunFileDialog(request, false);
  if (!self || !answer.accepted) {
    return {};
  }
  m_lastPath = FolderOf(answer.path);
  m_selectedFilter = answer.selectedFilter;
  return answer.path;
}

std::string CTemplate::BrowseForSave(const std::string& defaultExtension, const std::string& fileName,
                                     std::uint32_t flags, const std::string& filter, const std::string& initialFolder) {
  IFileDialogs::Request request;
  request.owner = this;
  request.folder = initialFolder.empty() ? m_lastPath : initialFolder;
  request.fileName = fileName;
  request.defaultExtension = defaultExtension;
  request.filter = filter;
  request.selectedFilter = m_selectedFilter;
  request.flags = flags | kAlwaysDialogFlags;
  QPointer<CTemplate> self(this);
  const IFileDialogs::Answer answer = RunFileDialog(request, true);
  if (!self || !answer.accepted) {
    return {};
  }
  m_lastPath = FolderOf(answer.path);
  return answer.path;
}

// The folder chooser, with the same modal flags and current-folder keeping as the file
// dialogs. Empty when nothing was chosen or the window is gone.
std::string CTemplate::BrowseForFolder(const std::string& initialFolder) {
  IFileDialogs::Request request;
  request.owner = this;
  request.folder = initialFolder;
  QPointer<CTemplate> self(this);
  CurrentFolderKeeper keeper;
  m_modalOpen = true;
  if (m_context != nullptr) {
    m_context->SetResidentModal(true);
  }
  const IFileDialogs::Answer answer = FileDialogs().GetFolderName(request);
  if (!self) {
    return {};
  }
  m_modalOpen = false;
  if (m_context != nullptr) {
    m_context->SetResidentModal(false);
  }
  return answer.accepted ? answer.path : std::string();
}

// Shows a file dialog with the modal flags set while it is up and the process's current
// folder kept. The window may be gone afterwards: callers check before using members.
IFileDialogs::Answer CTemplate::RunFileDialog(const IFileDialogs::Request& request, bool save) {
  QPointer<CTemplate> self(this);
  CurrentFolderKeeper keeper;
  m_modalOpen = true;
  if (m_context != nullptr) {
    m_context->SetResidentModal(true);
  }
  const IFileDialogs::Answer answer =
      save ? FileDialogs().GetSaveFileName(request) : FileDialogs().GetOpenFileName(request);
  if (!self) {
    return {};
  }
  m_modalOpen = false;
  if (m_context != nullptr) {
    m_context->SetResidentModal(false);
  }
  return answer;
}
