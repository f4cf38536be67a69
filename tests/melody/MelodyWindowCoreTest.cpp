// The plain pieces under the melody window: its private working folder, melody names, the
// worker thread and its messages, and the per-thread open-file stack the worker relies on.
#include "MelodyTestSupport.h"

#include "melody/MelodyException.h"
#include "melody/MelodyName.h"
#include "melody/MelodyThreadState.h"
#include "melody/MelodyWorkFolder.h"
#include "melody/MelodyWorker.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"
#include "platform/MessageQueue.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace MelodyTest;

namespace {

class MelodyWorkFolderTest : public TempDirTest {};

TEST_F(MelodyWorkFolderTest, PrivateUniqueAndRemovedWithItsContent) {
  CMelodyWorkFolder first;
  CMelodyWorkFolder second;
  ASSERT_TRUE(first.IsValid());
  ASSERT_TRUE(second.IsValid());
  EXPECT_NE(first.Dir(), second.Dir());
  EXPECT_EQ(first.Dir().parent_path(), m_dir);
  struct stat info {};
  ASSERT_EQ(::lstat(first.Dir().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  std::ofstream(first.Path("MelodyWaveTemp.wav")) << "x";
  std::ofstream(first.Path("MelodyEditTemp003.wav")) << "y";
  first.RemoveFile("MelodyEditTemp003.wav");
  EXPECT_FALSE(fs::exists(first.Path("MelodyEditTemp003.wav")));
  first.RemoveFile("not-there.wav");
  const fs::path gone = first.Dir();
  first.Remove();
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_TRUE(first.Path("a").empty());
  first.Remove();
}

// A link planted in the shared temporary folder under a working name is never written
// through: the working files live in the private folder.
TEST_F(MelodyWorkFolderTest, PlantedLinkInTheSharedFolderIsNotFollowed) {
  const std::string victim = Path("victim.txt");
  std::ofstream(victim) << "keep me";
  fs::create_symlink(victim, Path("MelodyWaveTemp.wav"));
  fs::path dir;
  {
    CMelodyWorkFolder folder;
    ASSERT_TRUE(folder.IsValid());
    dir = folder.Dir();
    WriteWave(folder.Path("MelodyWaveTemp.wav"), Format{}, Samples16({1, 2, 3}));
    EXPECT_EQ(ReadSamples16(folder.Path("MelodyWaveTemp.wav")), (std::vector<std::int16_t>{1, 2, 3}));
  }
  EXPECT_FALSE(fs::exists(dir));
  std::ifstream in(victim);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "keep me");
}

TEST(MelodyWorkFolder, UnusableParentGivesNoFolder) {
  CMelodyWorkFolder folder("/nonexistent-folder-for-melody-test");
  EXPECT_FALSE(folder.IsValid());
  EXPECT_TRUE(folder.Path("MelodyWaveTemp.wav").empty());
}

TEST(MelodyName, ValidNames) {
  EXPECT_TRUE(CMelodyName::IsValid("My Tone"));
  EXPECT_TRUE(CMelodyName::IsValid("ABCDEFGHIJKLMNO"));
  EXPECT_TRUE(CMelodyName::IsValid("a-b_c#1*(x)!~"));
  EXPECT_FALSE(CMelodyName::IsValid(""));
  EXPECT_FALSE(CMelodyName::IsValid(" Tone"));
  EXPECT_FALSE(CMelodyName::IsValid("ABCDEFGHIJKLMNOP"));
  EXPECT_FALSE(CMelodyName::IsValid("Ring@Tone"));
  EXPECT_FALSE(CMelodyName::IsValid("Caf\xc3\xa9"));
  EXPECT_FALSE(CMelodyName::IsValid(std::string("A\0B", 3)));
}

TEST(MelodyName, ProposedFromPath) {
  EXPECT_EQ(CMelodyName::ProposedFromPath("/home/u/Ring@Tone.wav"), "Ring Tone");
  EXPECT_EQ(CMelodyName::ProposedFromPath("C:\\Music\\bell.v2.wav"), "bell.v2");
  EXPECT_EQ(CMelodyName::ProposedFromPath("noextension"), "noextension");
  // Not shortened: a long name is refused when sending, not cut silently.
  EXPECT_EQ(CMelodyName::ProposedFromPath("/a/A very long melody name.wav"), "A very long melody name");
  EXPECT_EQ(CMelodyName::ProposedFromPath("/a/Caf\xc3\xa9.wav"), "Caf  ");
}

// ---- worker ---------------------------------------------------------------------------------

class MelodyWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MelodyThreadState().SetCancelRequest(false);
    MelodyThreadState().SetLastResult(0);
  }
  void TearDown() override { MelodyThreadState().SetCancelRequest(false); }
  std::optional<WindowMessage> Next() { return queue.Take(std::chrono::milliseconds(5000)); }
  CMessageQueue queue;
};

TEST_F(MelodyWorkerTest, PostsTheResultAndKeepsItAsTheLastResult) {
  CMelodyWorker worker;
  ASSERT_TRUE(worker.Start(queue.Handle(), [] { return std::uint32_t{1234}; }));
  const auto message = Next();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->message, MelodyWorkerMessage::kDone);
  EXPECT_EQ(message->wParam, 1234u);
  worker.Join();
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_FALSE(worker.IsStarted());
  EXPECT_EQ(MelodyThreadState().TakeLastResult(), MelodyWorkerMessage::kDone);
}

TEST_F(MelodyWorkerTest, FailureAndForeignExceptionsPostFailed) {
  CMelodyWorker worker;
  ASSERT_TRUE(
      worker.Start(queue.Handle(), []() -> std::uint32_t { throw CMelodyException(CMelodyException::kFile, "test"); }));
  auto message = Next();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->message, MelodyWorkerMessage::kFailed);
  EXPECT_EQ(message->wParam, MelodyWorkerMessage::kFailure);
  worker.Join();
  ASSERT_TRUE(worker.Start(queue.Handle(), []() -> std::uint32_t { throw std::bad_alloc(); }));
  message = Next();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->message, MelodyWorkerMessage::kFailed);
}

// The owner cancels and joins: the job sees the request, the thread ends, the message says
// cancelled. A second job cannot start before the first is joined.
TEST_F(MelodyWorkerTest, CancelAndJoinStopsALongJob) {
  CMelodyWorker worker;
  std::atomic<bool> started{false};
  ASSERT_TRUE(worker.Start(queue.Handle(), [&started]() -> std::uint32_t {
    started = true;
    for (;;) {
      if (MelodyThreadState().CancelRequested()) {
        throw CMelodyException(CMelodyException::kCancelled, "");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }));
  while (!started) {
    std::this_thread::yield();
  }
  EXPECT_TRUE(worker.IsRunning());
  EXPECT_FALSE(worker.Start(queue.Handle(), [] { return std::uint32_t{0}; }));
  worker.CancelAndJoin();
  EXPECT_FALSE(worker.IsRunning());
  const auto message = Next();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->message, MelodyWorkerMessage::kFailed);
  EXPECT_EQ(message->wParam, MelodyWorkerMessage::kCancelled);
}

// The open-file stack belongs to the thread that uses it: a worker's files are not seen,
// cleared or removed by another thread that opens and drops files meanwhile.
TEST(OpenWaveFileStack, EachThreadHasItsOwn) {
  CWaveFile workerFile;
  std::atomic<int> phase{0};
  std::size_t seenByWorker = 0;
  std::thread worker([&] {
    OpenWaveFileStack().Push(&workerFile);
    phase = 1;
    while (phase != 2) {
      std::this_thread::yield();
    }
    seenByWorker = OpenWaveFileStack().Size();
    OpenWaveFileStack().Clear();
  });
  while (phase != 1) {
    std::this_thread::yield();
  }
  EXPECT_TRUE(OpenWaveFileStack().Empty());
  {
    CWaveFile windowFile;
    OpenWaveFileStack().Push(&windowFile);
    OpenWaveFileStack().Clear();
  }
  phase = 2;
  worker.join();
  EXPECT_EQ(seenByWorker, 1u);
  EXPECT_TRUE(OpenWaveFileStack().Empty());
}

}  // namespace
