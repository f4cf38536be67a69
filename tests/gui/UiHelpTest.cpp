// The help address file, the help launcher's failure messages and the shipped help pages.
#include "ui/HelpAddressFile.h"
#include "ui/HelpLauncher.h"
#include "ui/Message.h"
#include "ui/UrlOpener.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QtTest>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

#include "UiTestSupport.h"

namespace {

// Allocations of a size in [first, first + 16) fail while armed: the way to run out of
// memory while the help address file is read.
std::atomic<std::size_t> g_failingAllocation{0};

}  // namespace

void* operator new(std::size_t size) {
  const std::size_t failing = g_failingAllocation.load();
  if (failing != 0 && size >= failing && size < failing + 16) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace {

class FakeUrlOpener : public IUrlOpener {
 public:
  bool Open(const QUrl& url) override {
    opened.append(url);
    return succeed;
  }
  QList<QUrl> opened;
  bool succeed = true;
};

struct ShownMessage {
  std::int32_t number;
  std::uint32_t style;
};

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

const char* const kLanguages[] = {"English", "French", "Spanish", "Portuguese"};

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return QString::fromUtf8(file.readAll());
}

}  // namespace

class UiHelpTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_shown.clear();
    m_messages = std::make_unique<CMessage>([](std::int32_t id) { return "message " + std::to_string(id); });
    m_messages->SetTestHook([this](std::int32_t number, std::uint32_t style, const std::string&) {
      m_shown.push_back({number, style});
      return int(IDOK);
    });
    m_opener = std::make_shared<FakeUrlOpener>();
    m_dir = std::make_unique<QTemporaryDir>();  // every case starts without files
    QVERIFY(m_dir->isValid());
    m_root = m_dir->path().toStdString();
  }

  void firstGroupOfATopicWins() {
    const std::string text =
        "8 \\a\\en.html \\a\\fr.html \\a\\es.html \\a\\pt.html\n"
        "8 \\b\\en.html \\b\\fr.html \\b\\es.html \\b\\pt.html\n";
    const auto found = CHelpAddressFile::Find(text, 8, 1);
    QVERIFY(found.status == CHelpAddressFile::Status::kFound);
    QCOMPARE(found.address, std::string("\\a\\fr.html"));
    QCOMPARE(CHelpAddressFile::Find(text, 8, 3).address, std::string("\\a\\pt.html"));
  }

  void groupsMayBeSplitAcrossLinesAndTabs() {
    const std::string text =
        "1\n\\one\\en.html\t\\one\\fr.html\n\n\\one\\es.html \\one\\pt.html 2 \\two\\en.html\n"
        "\\two\\fr.html\t\t\\two\\es.html\n\\two\\pt.html\n";
    QCOMPARE(CHelpAddressFile::Find(text, 2, 2).address, std::string("\\two\\es.html"));
    QCOMPARE(CHelpAddressFile::Find(text, 1, 3).address, std::string("\\one\\pt.html"));
    QCOMPARE(CHelpAddressFile::Find(text, 2, 3).address, std::string("\\two\\pt.html"));
    // The addresses are counted in fives, so an address never counts as a topic number.
    QVERIFY(CHelpAddressFile::Find("1 2 3 4 5 3 a b c d", 3, 0).address == "a");
  }

  void carriageReturnsAreRemoved() {
    const std::string text =
        "0 \\h\\en.html \\h\\fr.html \\h\\es.html \\h\\pt.html\r\n"
        "7\r\n\\p\\en.html\r\n\\p\\fr.html\r\n\\p\\es.html\r\n\\p\\pt.html\r\n";
    QCOMPARE(CHelpAddressFile::Find(text, 0, 3).address, std::string("\\h\\pt.html"));
    QCOMPARE(CHelpAddressFile::Find(text, 7, 0).address, std::string("\\p\\en.html"));
    QCOMPARE(CHelpAddressFile::Find(text, 7, 3).address, std::string("\\p\\pt.html"));
  }

  void missingTopicsAndIncompleteGroupsFindNothing() {
    const std::string text = "3 a b c d 4 e f g";
    QVERIFY(CHelpAddressFile::Find(text, 4, 0).status == CHelpAddressFile::Status::kNoTopic);
    QVERIFY(CHelpAddressFile::Find(text, 5, 0).status == CHelpAddressFile::Status::kNoTopic);
    QVERIFY(CHelpAddressFile::Find("", 0, 0).status == CHelpAddressFile::Status::kNoTopic);
    QVERIFY(CHelpAddressFile::Find(text, 3, 4).status == CHelpAddressFile::Status::kNoTopic);
    // Only a plain decimal number names a topic.
    QVERIFY(CHelpAddressFile::Find("3x a b c d", 3, 0).status == CHelpAddressFile::Status::kNoTopic);
    QVERIFY(CHelpAddressFile::Find("-3 a b c d", 3, 0).status == CHelpAddressFile::Status::kNoTopic);
    QVERIFY(CHelpAddressFile::Find("03 a b c d", 3, 0).status == CHelpAddressFile::Status::kFound);
  }

  void addressesBecomePathsBelowTheDataFolder() {
    QCOMPARE(CHelpAddressFile::PagePath("/opt/orvane", "\\help\\French\\index.html").string(),
             std::string("/opt/orvane/help/French/index.html"));
  }

  void unreadableFilesAreReportedAsMissing() {
    QVERIFY(CHelpAddressFile::FindInFile(m_root / "none.txt", 0, 0).status == CHelpAddressFile::Status::kNoFile);
    QVERIFY(CHelpAddressFile::FindInFile(m_root, 0, 0).status == CHelpAddressFile::Status::kNoFile);
    WriteFile(m_root / "big.txt", std::string(CHelpAddressFile::kMaxFileSize + 1, ' '));
    QVERIFY(CHelpAddressFile::FindInFile(m_root / "big.txt", 0, 0).status == CHelpAddressFile::Status::kNoFile);
  }

  void topicsByApplicationIndex() {
    const int expected[] = {4, 3, 1, 7, 8, 9, 10, 11, 5, 6, 1, 2};
    for (int index = 0; index < 12; ++index) {
      QCOMPARE(CHelpLauncher::TopicForApplication(index), expected[index]);
    }
    QCOMPARE(CHelpLauncher::TopicForApplication(-1), -1);
    QCOMPARE(CHelpLauncher::TopicForApplication(12), -1);
  }

  void missingAddressFileShows782() {
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    QCOMPARE(launcher.ShowHelp(3, 0, nullptr), CHelpLauncher::Result::kNoFile);
    QCOMPARE(int(m_shown.size()), 1);
    QCOMPARE(m_shown[0].number, 782);
    QCOMPARE(m_shown[0].style, std::uint32_t(MB_ICONSTOP));
    QVERIFY(m_opener->opened.isEmpty());
  }

  void missingTopicShows784() {
    WriteFile(m_root / "HelpAddress.txt", "3 \\l.html \\l.html \\l.html \\l.html\n");
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    QCOMPARE(launcher.ShowHelp(7, 0, nullptr), CHelpLauncher::Result::kNoTopic);
    QCOMPARE(int(m_shown.size()), 1);
    QCOMPARE(m_shown[0].number, 784);
    QCOMPARE(m_shown[0].style, std::uint32_t(MB_ICONSTOP));
    QVERIFY(m_opener->opened.isEmpty());
  }

  void browserFailureShows783() {
    WriteFile(m_root / "HelpAddress.txt", "3 \\h\\l.html \\h\\l.html \\h\\l.html \\h\\l.html\r\n");
    WriteFile(m_root / "h" / "l.html", "<p>help</p>");
    m_opener->succeed = false;
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    QCOMPARE(launcher.ShowHelp(3, 2, nullptr), CHelpLauncher::Result::kOpenFailed);
    QCOMPARE(int(m_shown.size()), 1);
    QCOMPARE(m_shown[0].number, 783);
    QCOMPARE(m_shown[0].style, std::uint32_t(MB_ICONSTOP));
    QCOMPARE(m_opener->opened.size(), 1);
  }

  // The browser would only show its own error for a page that is not there.
  void missingPageShows782() {
    WriteFile(m_root / "HelpAddress.txt", "3 \\h\\gone.html \\h\\gone.html \\h\\gone.html \\h\\gone.html\n");
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    QCOMPARE(launcher.ShowHelp(3, 0, nullptr), CHelpLauncher::Result::kNoFile);
    QCOMPARE(int(m_shown.size()), 1);
    QCOMPARE(m_shown[0].number, 782);
    QVERIFY(m_opener->opened.isEmpty());
  }

  void outOfMemoryShows777() {
    constexpr std::size_t kSize = 777777;
    std::string content(kSize, ' ');
    content.replace(0, 9, "3 a b c d");
    WriteFile(m_root / "HelpAddress.txt", content);
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    g_failingAllocation = kSize;
    const CHelpLauncher::Result result = launcher.ShowHelp(3, 0, nullptr);
    g_failingAllocation = 0;
    QCOMPARE(result, CHelpLauncher::Result::kNoMemory);
    QCOMPARE(int(m_shown.size()), 1);
    QCOMPARE(m_shown[0].number, 777);
    QCOMPARE(m_shown[0].style, std::uint32_t(MB_ICONSTOP));
    QVERIFY(m_opener->opened.isEmpty());
  }

  void opensThePageOfTheLanguage() {
    WriteFile(m_root / "HelpAddress.txt",
              "9 \\h\\en\\m.html \\h\\fr\\m.html \\h\\es\\m.html \\h\\pt\\m.html\r\n"
              "9 \\x.html \\x.html \\x.html \\x.html\r\n");
    for (const char* language : {"en", "fr", "es", "pt"}) {
      WriteFile(m_root / "h" / language / "m.html", "<p>melody</p>");
    }
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    QCOMPARE(launcher.ShowHelp(9, 1, nullptr), CHelpLauncher::Result::kOpened);
    QVERIFY(m_shown.empty());
    QCOMPARE(m_opener->opened.size(), 1);
    const QUrl url = m_opener->opened.first();
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), m_dir->path() + "/h/fr/m.html");
  }

  void outOfRangeTopicOrLanguageDoesNothing() {
    WriteFile(m_root / "HelpAddress.txt", "13 a b c d\n");
    CHelpLauncher launcher(*m_messages, m_root, m_opener);
    for (const auto& [topic, language] : {std::pair{13, 0}, {-1, 0}, {3, 4}, {3, -1}}) {
      QCOMPARE(launcher.ShowHelp(topic, language, nullptr), CHelpLauncher::Result::kIgnored);
    }
    QVERIFY(m_shown.empty());
    QVERIFY(m_opener->opened.isEmpty());
  }

  // Every topic has a page in every language in the build's program data folder.
  void shippedPagesExistForEveryTopicAndLanguage() {
    const std::filesystem::path data = ORVANE_OUTPUT_DIR;
    for (int topic = 0; topic < CHelpLauncher::kTopicCount; ++topic) {
      for (int language = 0; language < CHelpLauncher::kLanguageCount; ++language) {
        const auto found = CHelpAddressFile::FindInFile(data / CHelpAddressFile::kFileName, topic, language);
        QVERIFY2(found.status == CHelpAddressFile::Status::kFound, qPrintable(QString("topic %1").arg(topic)));
        const std::filesystem::path page = CHelpAddressFile::PagePath(data, found.address);
        QVERIFY2(std::filesystem::is_regular_file(page), page.c_str());
        QVERIFY2(page.parent_path().filename() == kLanguages[language], page.c_str());
      }
    }
    CHelpLauncher launcher(*m_messages, data, m_opener);
    QCOMPARE(launcher.ShowHelp(CHelpLauncher::TopicForApplication(3), 1, nullptr), CHelpLauncher::Result::kOpened);
    QVERIFY(m_opener->opened.first().toLocalFile().endsWith("/help/French/phonebook.html"));
  }

  // Links and pictures of the shipped pages point at files that are there, and every
  // language has its own text.
  void shippedPagesAreCompleteAndTranslated() {
    const QDir help(QStringLiteral(ORVANE_OUTPUT_DIR "/help"));
    const QStringList english = QDir(help.filePath("English")).entryList({"*.html"}, QDir::Files);
    QCOMPARE(english.size(), CHelpLauncher::kTopicCount);
    const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"#]+)\""));
    for (const char* language : kLanguages) {
      const QDir folder(help.filePath(language));
      QCOMPARE(folder.entryList({"*.html"}, QDir::Files), english);
      for (const QString& name : english) {
        const QString text = ReadText(folder.filePath(name));
        QVERIFY2(text.contains("<meta charset=\"utf-8\">"), qPrintable(name));
        QVERIFY2(text.size() > 900, qPrintable(folder.filePath(name)));
        if (QString(language) != "English") {
          QVERIFY2(text != ReadText(help.filePath("English/" + name)), qPrintable(name));
        }
        for (auto match = reference.globalMatch(text); match.hasNext();) {
          const QString target = match.next().captured(1);
          QVERIFY2(QFile::exists(folder.filePath(target)), qPrintable(name + " -> " + target));
        }
      }
    }
  }

  // A rough look at the pages (the text engine shows structure and pictures, not every
  // style of the sheet), for review.
  void screenshotsOfPages() {
    for (const char* language : kLanguages) {
      for (const char* page : {"launcher", "phonebook"}) {
        QTextBrowser browser;
        browser.resize(640, 720);
        browser.setSource(QUrl::fromLocalFile(QString(ORVANE_OUTPUT_DIR "/help/%1/%2.html").arg(language, page)));
        QVERIFY(!browser.toPlainText().isEmpty());
        QVERIFY(uitest::SaveScreenshot(browser, QString("help-%1-%2").arg(page, language)));
      }
    }
  }

 private:
  std::unique_ptr<QTemporaryDir> m_dir;
  std::filesystem::path m_root;
  std::unique_ptr<CMessage> m_messages;
  std::shared_ptr<FakeUrlOpener> m_opener;
  std::vector<ShownMessage> m_shown;
};

QTEST_MAIN(UiHelpTest)
#include "UiHelpTest.moc"
