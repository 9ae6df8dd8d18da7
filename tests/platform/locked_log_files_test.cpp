#include "platform/locked_log_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "job/activity_log.h"
#include "log_rows.h"
#include "log_writer_process.h"
#include "test_log_files.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using testsupport::LogWriterProcess;
using testsupport::RunLogWriter;

class LockedLogFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Created()); }
    fs::path LogPath() const { return folder_.Path() / "log.txt"; }

    testsupport::TemporaryFolder folder_;
    LockedLogFiles files_;
};

TEST_F(LockedLogFilesTest, OpenCreatesAMissingFileEmpty) {
    std::unique_ptr<SharedLogFile> file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(fs::is_regular_file(LogPath()));
    EXPECT_EQ(fs::file_size(LogPath()), 0u);
    EXPECT_EQ(file->ReadAll(), "");
}

TEST_F(LockedLogFilesTest, OpenFailsWhereNoFileCanBe) {
    EXPECT_EQ(files_.Open(folder_.Path() / "missing" / "log.txt"), nullptr);
    EXPECT_FALSE(fs::exists(folder_.Path() / "missing"));
    EXPECT_EQ(files_.Open(folder_.MakeFolder("a folder")), nullptr);
}

TEST_F(LockedLogFilesTest, OnlyOneWriterAtATimeInThisProcess) {
    std::unique_ptr<SharedLogFile> first = files_.Open(LogPath());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(files_.Open(LogPath()), nullptr);
    bool refusedInOtherThread = false;
    std::thread other([&] { refusedInOtherThread = files_.Open(LogPath()) == nullptr; });
    other.join();
    EXPECT_TRUE(refusedInOtherThread);
    // Another file is not affected.
    EXPECT_NE(files_.Open(folder_.Path() / "log_long.txt"), nullptr);

    first.reset();  // closing gives the file up
    EXPECT_NE(files_.Open(LogPath()), nullptr);
}

TEST_F(LockedLogFilesTest, AnotherProcessIsRefusedWhileTheFileIsHeld) {
    std::unique_ptr<SharedLogFile> held = files_.Open(LogPath());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(RunLogWriter({"--try-open", LogPath().string()}), 1);
    held.reset();
    EXPECT_EQ(RunLogWriter({"--try-open", LogPath().string()}), 0);
}

TEST_F(LockedLogFilesTest, AppendWritesTheExactBytesAtTheCurrentEnd) {
    ASSERT_TRUE(testsupport::WriteBytes(LogPath(), "old\r\n"));
    const std::string eightBit("n\0l \xE4\xFF\r\n", 8);
    std::unique_ptr<SharedLogFile> file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Append("first\r\n"));
    {
        // Something that ignores the lock lengthens the file; the next append still goes behind it. On Windows the
        // share mode keeps out even that.
        std::ofstream other(LogPath(), std::ios::binary | std::ios::app);
#if defined(_WIN32)
        EXPECT_FALSE(other.is_open());
        other.open(folder_.Path() / "unrelated.txt");
#endif
        other << "other\r\n";
    }
    EXPECT_TRUE(file->Append(eightBit));
    EXPECT_TRUE(file->Append(""));
    file.reset();
    file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Append("reopened\r\n"));
#if defined(_WIN32)
    const std::string expected = "old\r\nfirst\r\n" + eightBit + "reopened\r\n";
#else
    const std::string expected = "old\r\nfirst\r\nother\r\n" + eightBit + "reopened\r\n";
#endif
    EXPECT_EQ(file->ReadAll(), expected);
    file.reset();
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), expected);
}

TEST_F(LockedLogFilesTest, ReadAllReadsTheWholeFileFromItsStart) {
    std::string large(200001, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 31 % 256);
    ASSERT_TRUE(testsupport::WriteBytes(LogPath(), large));
    std::unique_ptr<SharedLogFile> file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Append("tail"));  // the file position is now at the end
    EXPECT_EQ(file->ReadAll(), large + "tail");
    EXPECT_EQ(file->ReadAll(), large + "tail");
}

TEST_F(LockedLogFilesTest, TruncateEmptiesTheFileAndTheNextAppendStartsItAgain) {
    ASSERT_TRUE(testsupport::WriteBytes(LogPath(), "10:00:00 a\r\n10:00:01 b\r\n"));
    std::unique_ptr<SharedLogFile> file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->ReadAll(), "10:00:00 a\r\n10:00:01 b\r\n");
    EXPECT_TRUE(file->Truncate());
    EXPECT_EQ(fs::file_size(LogPath()), 0u);
    EXPECT_EQ(file->ReadAll(), "");
    EXPECT_TRUE(file->Append("x\r\n"));  // at offset 0, not behind a gap where the old lines were
    file.reset();
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "x\r\n");
}

TEST_F(LockedLogFilesTest, ReadersNeedNoLock) {
    std::unique_ptr<SharedLogFile> file = files_.Open(LogPath());
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Append("10:00:00 a\r\n"));
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "10:00:00 a\r\n");
}

#if !defined(_WIN32)
TEST_F(LockedLogFilesTest, LogFilesAreReadableByTheirOwnerAlone) {
    // A new file under a permissive umask, and an older file that every local user could read.
    const mode_t previous = ::umask(0);
    const bool opened = files_.Open(LogPath()) != nullptr;
    ::umask(previous);
    ASSERT_TRUE(opened);
    const std::filesystem::path older = folder_.Path() / "log_long.txt";
    ASSERT_TRUE(testsupport::WriteBytes(older, "old\r\n"));
    ASSERT_EQ(::chmod(older.c_str(), 0644), 0);
    ASSERT_NE(files_.Open(older), nullptr);

    for (const std::filesystem::path& path : {LogPath(), older}) {
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << path;
    }
}

#endif

using testsupport::CollectingView;

using testsupport::TimeOfDay;

class ActivityLogFilesTest : public LockedLogFilesTest {
protected:
    ActivityLog MakeLog(LogView& view,
                        std::chrono::milliseconds patience = ActivityLog::kDefaultAppendPatience) {
        return ActivityLog(folder_.Path(), view, counting_, [] { return TimeOfDay(9, 5, 0); }, patience);
    }

    LockedLogFiles locked_;
    // The platform's files, with the attempts to open each one counted, so that a test can act while a writer retries.
    testsupport::TestLogFiles counting_{&locked_};
};

TEST_F(ActivityLogFilesTest, WriterWaitsForAShortTakeOverToEnd) {
    std::unique_ptr<SharedLogFile> takeOver = files_.Open(LogPath());
    ASSERT_NE(takeOver, nullptr);
    std::thread releaser([&] {
        counting_.WaitForOpens(LogPath(), 5);
        takeOver.reset();
    });
    CollectingView view;
    MakeLog(view, std::chrono::seconds(60)).WriteLog("late", LogDestination::kViewAndSharedFile);
    releaser.join();
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "09:05:00 late\r\n");
    EXPECT_THAT(view.Rows(), ElementsAre("09:05:00 late"));
}

TEST_F(ActivityLogFilesTest, WriterDropsTheLineWhenTheFileStaysHeld) {
    ASSERT_TRUE(testsupport::WriteBytes(LogPath(), "09:04:59 before\r\n"));
    std::unique_ptr<SharedLogFile> holder = files_.Open(LogPath());
    ASSERT_NE(holder, nullptr);
    CollectingView view;
    MakeLog(view).WriteLog("lost", LogDestination::kViewAndSharedFile);
    EXPECT_GT(counting_.Opens(LogPath()), 1);
    holder.reset();
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "09:04:59 before\r\n");
}

TEST_F(ActivityLogFilesTest, TakeOverOfAHeldFileWaitsForTheNextTick) {
    ASSERT_TRUE(testsupport::WriteBytes(LogPath(), "09:04:59 a\r\n09:05:00 b\r\n"));
    CollectingView view;
    ActivityLog log = MakeLog(view);
    std::unique_ptr<SharedLogFile> writer = files_.Open(LogPath());
    ASSERT_NE(writer, nullptr);
    log.TakeOverSharedLog(true);
    log.TakeOverSharedLog(false);
    EXPECT_THAT(view.Rows(), IsEmpty());
    writer.reset();
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "09:04:59 a\r\n09:05:00 b\r\n");

    log.TakeOverSharedLog(true);
    EXPECT_THAT(view.Rows(), ElementsAre("09:04:59 a", "09:05:00 b"));
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "");
}

TEST_F(ActivityLogFilesTest, ThreadsWritingAtOnceKeepEveryLineWhole) {
    constexpr int kLinesPerThread = 500;
    CollectingView view;
    // Each writer holds the file for one line; only a thread put to sleep while it holds it keeps the other waiting.
    ActivityLog log = MakeLog(view, std::chrono::seconds(60));
    auto writeLines = [&log](const std::string& prefix) {
        for (int i = 0; i < kLinesPerThread; ++i) log.WriteLog(prefix + std::to_string(i), LogDestination::kDiagnosticFile);
    };
    std::thread run(writeLines, "run ");
    writeLines("window ");
    run.join();

    std::map<std::string, int> lineCounts;
    const std::string bytes = testsupport::ReadBytes(folder_.Path() / "log_long.txt");
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "an unfinished last line";
        ++lineCounts[bytes.substr(start, end - start)];
        start = end + 2;
    }
    EXPECT_EQ(lineCounts.size(), 2u * kLinesPerThread);
    for (const std::string prefix : {"09:05:00 run ", "09:05:00 window "}) {
        for (int i = 0; i < kLinesPerThread; ++i) EXPECT_EQ(lineCounts[prefix + std::to_string(i)], 1) << prefix << i;
    }
}

// Two service-like processes append numbered lines while this process takes the file over again and again, as the
// window does. Every line must arrive exactly once, and each writer's lines in the order it wrote them.
TEST_F(ActivityLogFilesTest, LinesOfTwoWriterProcessesArriveOnceThroughRepeatedTakeOvers) {
    constexpr int kLinesPerWriter = 2000;
    const std::string folder = folder_.Path().string();
    LogWriterProcess writerA({"--write", folder, "A", std::to_string(kLinesPerWriter)});
    LogWriterProcess writerB({"--write", folder, "B", std::to_string(kLinesPerWriter)});
    ASSERT_TRUE(writerA.Started());
    ASSERT_TRUE(writerB.Started());

    CollectingView view;
    LockedLogFiles files;
    ActivityLog window(folder_.Path(), view, files);
    while (!(writerA.Ended() && writerB.Ended())) {
        window.TakeOverSharedLog(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    window.TakeOverSharedLog(false);
    EXPECT_EQ(writerA.Wait(), 0);
    EXPECT_EQ(writerB.Wait(), 0);
    EXPECT_EQ(testsupport::ReadBytes(LogPath()), "");

    std::map<std::string, std::vector<int>> numbersByWriter;
    for (const std::string& row : view.Rows()) {
        // "hh:mm:ss A-17"
        const std::size_t dash = row.find('-');
        int number = -1;
        const bool wellFormed = row.size() > 11 && row[2] == ':' && row[5] == ':' && row[8] == ' ' && dash == 10 &&
                                std::from_chars(row.data() + 11, row.data() + row.size(), number).ptr ==
                                    row.data() + row.size();
        ASSERT_TRUE(wellFormed) << "row '" << row << "'";
        numbersByWriter[row.substr(9, 1)].push_back(number);
    }
    std::vector<int> expected(kLinesPerWriter);
    for (int i = 0; i < kLinesPerWriter; ++i) expected[i] = i;
    ASSERT_EQ(numbersByWriter.size(), 2u);
    EXPECT_EQ(numbersByWriter["A"], expected);
    EXPECT_EQ(numbersByWriter["B"], expected);
}

}  // namespace
}  // namespace zendrel
