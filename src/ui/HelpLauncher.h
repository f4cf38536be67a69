#pragma once

#include <filesystem>
#include <memory>

class CMessage;
class IUrlOpener;
class QWidget;

// Opens the help page of a window in the user's language with the desktop's browser. The
// pages and "HelpAddress.txt", which says where each topic's page lies, are in the program
// data folder. Failures are shown as numbered messages with a stop icon: 782 the address
// file (or the page it names) cannot be read, 784 the topic is not listed, 783 the browser
// cannot be started, 777 out of memory.
class CHelpLauncher {
 public:
  enum class Result { kOpened, kIgnored, kNoMemory = 777, kNoFile = 782, kOpenFailed = 783, kNoTopic = 784 };

  static constexpr int kTopicCount = 13;
  static constexpr int kLanguageCount = 4;

  // opener may be null: the desktop's handler is used.
  CHelpLauncher(CMessage& messages, std::filesystem::path dataDir, std::shared_ptr<IUrlOpener> opener = nullptr);
  ~CHelpLauncher();
  CHelpLauncher(const CHelpLauncher&) = delete;
  CHelpLauncher& operator=(const CHelpLauncher&) = delete;

  // The help topic of a window by its application index 0..11; -1 for any other index.
  static int TopicForApplication(int applicationIndex);

  // Opens the page of topic 0..12 in language 0..3; a topic or language out of range does
  // nothing. A failure message is owned by owner (may be null).
  Result ShowHelp(int topic, int language, QWidget* owner);

  const std::filesystem::path& DataDir() const { return m_dataDir; }

 private:
  Result Report(Result result, QWidget* owner);

  CMessage& m_messages;
  std::filesystem::path m_dataDir;
  std::shared_ptr<IUrlOpener> m_opener;
};
