#include "ui/HelpLauncher.h"

#include "ui/DesktopUrlOpener.h"
#include "ui/HelpAddressFile.h"
#include "ui/Message.h"

#include <QUrl>
#include <QWidget>
#include <array>
#include <new>

namespace {

constexpr std::array<int, 12> kTopicByApplication = {4, 3, 1, 7, 8, 9, 10, 11, 5, 6, 1, 2};

}  // namespace

CHelpLauncher::CHelpLauncher(CMessage& messages, std::filesystem::path dataDir, std::shared_ptr<IUrlOpener> opener)
    : m_messages(messages), m_dataDir(std::move(dataDir)), m_opener(std::move(opener)) {
  if (!m_opener) {
    m_opener = std::make_shared<CDesktopUrlOpener>();
  }
}

CHelpLauncher::~CHelpLauncher() = default;

int CHelpLauncher::TopicForApplication(int applicationIndex) {
  if (applicationIndex < 0 || applicationIndex >= int(kTopicByApplication.size())) {
    return -1;
  }
  return kTopicByApplication[std::size_t(applicationIndex)];
}

CHelpLauncher::Result CHelpLauncher::ShowHelp(int topic, int language, QWidget* owner) {
  if (topic < 0 || topic >= kTopicCount || language < 0 || language >= kLanguageCount) {
    return Result::kIgnored;
  }
  CHelpAddressFile::Result found;
  try {
    found = CHelpAddressFile::FindInFile(m_dataDir / CHelpAddressFile::kFileName, topic, language);
  } catch (const std::bad_alloc&) {
    return Report(Result::kNoMemory, owner);
  }
  if (found.status == CHelpAddressFile::Status::kNoFile) {
    return Report(Result::kNoFile, owner);
  }
  if (found.status == CHelpAddressFile::Status::kNoTopic) {
    return Report(Result::kNoTopic, owner);
  }
  // A page that is not there would only show the browser's own error: say so here.
  const std::filesystem::path page = CHelpAddressFile::PagePath(m_dataDir, found.address);
  std::error_code error;
  if (!std::filesystem::is_regular_file(page, error)) {
    return Report(Result::kNoFile, owner);
  }
  if (!m_opener->Open(QUrl::fromLocalFile(QString::fromStdString(page.string())))) {
    return Report(Result::kOpenFailed, owner);
  }
  return Result::kOpened;
}

CHelpLauncher::Result CHelpLauncher::Report(Result result, QWidget* owner) {
  m_messages.ShowMsg(static_cast<std::int32_t>(result), MB_ICONSTOP, owner);
  return result;
}
