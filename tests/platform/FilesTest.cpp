#include "platform/AtomicFile.h"
#include "platform/IniProfile.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/SystemLanguage.h"
#include "platform/Utf8.h"
#include "platform/WholeFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "orvane-platform-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteAll(const fs::path& file, const std::string& content) {
  std::ofstream(file, std::ios::binary) << content;
}

std::size_t FilesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
  TempFolder folder;
  const fs::path target = folder.Path() / "book.phb";
  WriteAll(target, "old contents");
  {
    CAtomicFile file(target);
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write("new"));
    EXPECT_EQ(ReadAll(target), "old contents");  // nothing visible before the commit
  }
  // Dropped without a commit: the old file stays and no temporary file is left.
  EXPECT_EQ(ReadAll(target), "old contents");
  EXPECT_EQ(FilesIn(folder.Path()), 1u);

  ASSERT_TRUE(CAtomicFile::WriteWhole(target, "new contents"));
  EXPECT_EQ(ReadAll(target), "new contents");
  EXPECT_EQ(FilesIn(folder.Path()), 1u);
}

TEST(AtomicFile, MissingFolderFailsWithoutDebris) {
  TempFolder folder;
  CAtomicFile file(folder.Path() / "absent" / "x.csv");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Write("x"));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(FilesIn(folder.Path()), 0u);
}

TEST(AtomicFile, WritesThroughSymbolicLinksBesideTheRealFile) {
  TempFolder folder;
  fs::create_directory(folder.Path() / "real");
  fs::create_directory(folder.Path() / "links");
  const fs::path real = folder.Path() / "real" / "book.csv";
  WriteAll(real, "old");
  // A relative link to a link: both stay links and the file at the end changes.
  fs::create_symlink("../real/book.csv", folder.Path() / "links" / "first");
  fs::create_symlink("first", folder.Path() / "links" / "second");
  ASSERT_TRUE(CAtomicFile::WriteWhole(folder.Path() / "links" / "second", "new"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder.Path() / "links" / "first")));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder.Path() / "links" / "second")));
  EXPECT_EQ(ReadAll(real), "new");
  EXPECT_EQ(FilesIn(folder.Path() / "real"), 1u);
  EXPECT_EQ(FilesIn(folder.Path() / "links"), 2u);

  // The temporary file is made in the real file's folder, so the rename stays there.
  {
    CAtomicFile file(folder.Path() / "links" / "second");
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.TemporaryPath().parent_path(), fs::canonical(folder.Path() / "real"));
    EXPECT_EQ(file.RealTarget(), fs::canonical(real));
  }

  // A dangling link gets its file created where it points.
  fs::create_symlink("../real/new.csv", folder.Path() / "links" / "dangling");
  ASSERT_TRUE(CAtomicFile::WriteWhole(folder.Path() / "links" / "dangling", "created"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder.Path() / "links" / "dangling")));
  EXPECT_EQ(ReadAll(folder.Path() / "real" / "new.csv"), "created");

  // A loop of links is refused.
  fs::create_symlink("loop-b", folder.Path() / "links" / "loop-a");
  fs::create_symlink("loop-a", folder.Path() / "links" / "loop-b");
  CAtomicFile loop(folder.Path() / "links" / "loop-a");
  EXPECT_FALSE(loop.IsOpen());
  EXPECT_FALSE(loop.FailureReason().empty());
}

TEST(AtomicFile, RefusesTargetsThatAreNotRegularFiles) {
  TempFolder folder;
  const fs::path fifo = folder.Path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(folder.Path() / "dir");
  fs::create_symlink("pipe", folder.Path() / "to-pipe");
  // Only targets inside the test's folder: a faulty writer must not be able to replace a
  // system device.
  for (const fs::path& target : {fifo, folder.Path() / "dir", folder.Path() / "to-pipe"}) {
    CAtomicFile file(target);
    EXPECT_FALSE(file.IsOpen()) << target;
    EXPECT_EQ(file.FailureReason(), "is not a regular file") << target;
    EXPECT_FALSE(file.Commit()) << target;
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder.Path() / "to-pipe")));
  EXPECT_EQ(FilesIn(folder.Path()), 3u);
}

TEST(AtomicFile, ReplacementKeepsThePermissionsOfTheFile) {
  TempFolder folder;
  const fs::path target = folder.Path() / "private.phb";
  WriteAll(target, "secret");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(CAtomicFile::WriteWhole(target, "still secret"));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(IniProfile, ProfileStringSemantics) {
  TempFolder folder;
  const fs::path ini = folder.Path() / "French.ini";
  WriteAll(ini,
           "\xEF\xBB\xBF[Message]\r\n"
           "; a comment\r\n"
           "701 = Voulez-vous quitter ?\r\n"
           "701=second definition loses\r\n"
           "715=\"quoted value\"\r\n"
           "[message]\n"
           "900=later section of the same name is not read\n"
           "[Animate]\n"
           "203=Envoi en cours\n");
  CIniProfile profile;
  EXPECT_EQ(profile.Read(ini, "message", "701", 100).text, "Voulez-vous quitter ?");
  EXPECT_EQ(profile.Read(ini, "MESSAGE", "715", 100).text, "quoted value");
  EXPECT_EQ(profile.Read(ini, "Message", "900", 100).characters, 0u);
  EXPECT_EQ(profile.Read(ini, "Animate", "203", 100).text, "Envoi en cours");
  EXPECT_EQ(profile.Read(ini, "Animate", "204", 100).characters, 0u);
  EXPECT_EQ(profile.Read(ini, "Nope", "203", 100).characters, 0u);
  EXPECT_EQ(profile.Read(folder.Path() / "missing.ini", "Animate", "203", 100).characters, 0u);
  // Cut to the buffer, counted in characters, never in the middle of one.
  const auto cut = profile.Read(ini, "Animate", "203", 6);
  EXPECT_EQ(cut.text, "Envoi");
  EXPECT_EQ(cut.characters, 5u);
}

TEST(IniProfile, SeesRewrittenFile) {
  TempFolder folder;
  const fs::path ini = folder.Path() / "x.ini";
  CIniProfile profile;
  WriteAll(ini, "[A]\n1=one\n");
  EXPECT_EQ(profile.Read(ini, "A", "1", 100).text, "one");
  WriteAll(ini, "[A]\n1=uno, dos\n");
  EXPECT_EQ(profile.Read(ini, "A", "1", 100).text, "uno, dos");
}

TEST(Utf8, CountsCodePointsAndCutsWholeCharacters) {
  EXPECT_EQ(Utf8Length("Espa\xC3\xB1ol"), 7u);
  EXPECT_EQ(Utf8Prefix("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(Utf8Length("\xFF\xC3"), 2u);  // stray bytes count one each
}

TEST(SystemLanguage, LocaleNamesMapToLanguageIdentifiers) {
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("fr_CA.UTF-8"), 0x0C0C);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("fr_FR@euro"), 0x040C);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("fr-BE"), 0x080C);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("es_MX.UTF-8"), 0x080A);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("es"), 0x0C0A);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("es_PR"), 0x500A);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("pt_BR.UTF-8"), 0x0416);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale("C"), 0x0409);
  EXPECT_EQ(CSystemLanguage::LangIdForLocale(""), 0x0409);
}

TEST(InstanceLock, OneHolderAtATimeAndReleaseOnlyOwn) {
  CInstanceLock first("Global\\OrvaneTestLock");
  CInstanceLock second("Global\\OrvaneTestLock");
  ASSERT_TRUE(first.Acquire());
  EXPECT_FALSE(second.Acquire());
  second.Release();  // not held: must not free the first holder's lock
  CInstanceLock third("Global\\OrvaneTestLock");
  EXPECT_FALSE(third.Acquire());
  first.Release();
  EXPECT_TRUE(third.Acquire());
  EXPECT_EQ(first.File().filename().string().find('\\'), std::string::npos);
}

TEST(InstanceLock, FolderIsChosenByUserIdNotByEnvironment) {
  const std::string saveRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  const std::string saveTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  ::setenv("XDG_RUNTIME_DIR", "/tmp", 1);
  ::setenv("TMPDIR", "/var/tmp", 1);
  const std::filesystem::path first = CInstanceLock("Global\\OrvaneEnvLock").File();
  ::setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  ::unsetenv("TMPDIR");
  const std::filesystem::path second = CInstanceLock("Global\\OrvaneEnvLock").File();
  saveRuntime.empty() ? ::unsetenv("XDG_RUNTIME_DIR") : ::setenv("XDG_RUNTIME_DIR", saveRuntime.c_str(), 1);
  saveTmp.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", saveTmp.c_str(), 1);

  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_TRUE(CPaths::IsPrivateFolder(first.parent_path(), ::getuid())) << first;
  EXPECT_NE(first.parent_path(), std::filesystem::path("/tmp"));
}

TEST(InstanceLock, SharedFoldersAndPlantedLinksAreRefused) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("orvane-lock-" + std::to_string(::getpid()));
  std::filesystem::create_directory(dir);
  ::chmod(dir.c_str(), 0777);
  EXPECT_FALSE(CPaths::IsPrivateFolder(dir, ::getuid()));
  ::chmod(dir.c_str(), 0700);
  EXPECT_TRUE(CPaths::IsPrivateFolder(dir, ::getuid()));
  std::filesystem::create_directory_symlink(dir, dir.string() + "-link");
  EXPECT_FALSE(CPaths::IsPrivateFolder(dir.string() + "-link", ::getuid()));

  // A link planted where the lock file goes is not followed (its target stays untouched).
  const std::filesystem::path victim = dir / "victim";
  std::filesystem::create_symlink(victim, dir / ("orvane-" + std::to_string(::getuid()) + "-Planted.lock"));
  CInstanceLock planted("Planted", dir);
  EXPECT_FALSE(planted.Acquire());
  EXPECT_FALSE(std::filesystem::exists(victim));
  CInstanceLock empty("Planted", std::filesystem::path());
  EXPECT_FALSE(empty.Acquire());
  std::filesystem::remove(dir.string() + "-link");
  std::filesystem::remove_all(dir);
}

TEST(WholeFile, ReadsRegularFilesWithinTheLimitOnly) {
  TempFolder folder;
  const fs::path file = folder.Path() / "text.txt";
  std::ofstream(file, std::ios::binary) << std::string("abc\0def", 7);
  EXPECT_EQ(ReadWholeFile(file, 7), std::string("abc\0def", 7));
  EXPECT_EQ(ReadWholeFile(file, 6), std::nullopt);
  EXPECT_EQ(ReadWholeFile(folder.Path(), 1000), std::nullopt);
  EXPECT_EQ(ReadWholeFile(folder.Path() / "missing", 1000), std::nullopt);
  // A FIFO without a writer would block a plain open; it is refused at once.
  const fs::path fifo = folder.Path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadWholeFile(fifo, 1000), std::nullopt);
}

TEST(Utf8, AppendsEveryEncodingLength) {
  std::string text;
  for (char32_t c : {U'A', U'\u00e9', U'\u20ac', U'\U0001F600'}) {
    AppendUtf8(text, c);
  }
  EXPECT_EQ(text, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8Length(text), 4u);
}
