#include "job/activity_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "common/shared_log_file.h"
#include "log_rows.h"
#include "test_log_files.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using testsupport::TimeOfDay;

struct LineCase {
    std::tm time;
    std::string text;
    std::string line;
};

TEST(FormatLogLine, StampsTheTextWithTheTimeOfDay) {
    const LineCase cases[] = {
        {TimeOfDay(14, 3, 7), "Successfully signed out!", "14:03:07 Successfully signed out!"},
        {TimeOfDay(0, 0, 0), "File 'a.pdf' saved!", "00:00:00 File 'a.pdf' saved!"},
        {TimeOfDay(23, 59, 59), "x", "23:59:59 x"},
        {TimeOfDay(9, 5, 0), "From: a\r\nSubject: b", "09:05:00 From: a\r\nSubject: b"},
        {TimeOfDay(12, 30, 60), "leap second", "12:30:60 leap second"},
        {TimeOfDay(8, 0, 1), " leading blank", "08:00:01  leading blank"},
        {TimeOfDay(8, 0, 1), std::string("nul\0byte", 8), std::string("08:00:01 nul\0byte", 17)},
    };
    for (const LineCase& c : cases) EXPECT_EQ(FormatLogLine(c.text, c.time), c.line);
}

TEST(FormatLogLine, EmptyTextGivesAnEmptyLineWithoutStamp) {
    EXPECT_EQ(FormatLogLine("", TimeOfDay(14, 3, 7)), "");
}

TEST(CurrentLocalTime, GivesAValidTimeOfDay) {
    const std::tm now = CurrentLocalTime();
    EXPECT_GE(now.tm_year, 120);  // the clock is at least in 2020, so this is a real local time, not a zeroed record
    EXPECT_LE(now.tm_hour, 23);
    EXPECT_LE(now.tm_min, 59);
    EXPECT_LE(now.tm_sec, 60);
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d t", now.tm_hour, now.tm_min, now.tm_sec);
    EXPECT_EQ(FormatLogLine("t", now), stamp);
}

using RecordingView = testsupport::CollectingView;


// The bytes of a file, or nothing when it does not exist.
std::optional<std::string> FileBytes(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return std::nullopt;
    return testsupport::ReadBytes(path);
}

const std::string kCrLf = "\r\n";

class ActivityLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Created()); }

    fs::path SharedPath() const { return folder_.Path() / "log.txt"; }
    fs::path DiagnosticPath() const { return folder_.Path() / "log_long.txt"; }
    ActivityLog MakeLog(RecordingView& view, std::tm time = TimeOfDay(9, 5, 0),
                        std::chrono::milliseconds patience = ActivityLog::kDefaultAppendPatience) {
        return ActivityLog(folder_.Path(), view, files_, [time] { return time; }, patience);
    }

    testsupport::TemporaryFolder folder_;
    testsupport::TestLogFiles files_;
};

struct DestinationCase {
    LogDestination destination;
    bool inView;
    std::optional<std::string> sharedFile;
    std::optional<std::string> diagnosticFile;
};

TEST_F(ActivityLogTest, WriteLogSendsTheLineToItsDestinations) {
    const std::string line = "14:03:07 Successfully signed out!";
    const DestinationCase cases[] = {
        {LogDestination::kView, true, std::nullopt, std::nullopt},
        {LogDestination::kViewAndSharedFile, true, line + kCrLf, std::nullopt},
        {LogDestination::kDiagnosticFile, false, std::nullopt, line + kCrLf},
    };
    for (const DestinationCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.destination));
        testsupport::TemporaryFolder folder;
        ASSERT_TRUE(folder.Created());
        RecordingView view;
        testsupport::TestLogFiles files;
        ActivityLog log(folder.Path(), view, files, [] { return TimeOfDay(14, 3, 7); });
        log.WriteLog("Successfully signed out!", c.destination);
        if (c.inView) {
            EXPECT_THAT(view.Rows(), ElementsAre(line));
        } else {
            EXPECT_THAT(view.Rows(), IsEmpty());
        }
        EXPECT_EQ(FileBytes(folder.Path() / "log.txt"), c.sharedFile);
        EXPECT_EQ(FileBytes(folder.Path() / "log_long.txt"), c.diagnosticFile);
    }
}

TEST_F(ActivityLogTest, EmptyTextGivesAnUnstampedEmptyLine) {
    RecordingView view;
    ActivityLog log = MakeLog(view);
    log.WriteLog("", LogDestination::kViewAndSharedFile);
    log.WriteLog("", LogDestination::kDiagnosticFile);
    EXPECT_THAT(view.Rows(), ElementsAre(""));
    EXPECT_EQ(FileBytes(SharedPath()), kCrLf);
    EXPECT_EQ(FileBytes(DiagnosticPath()), kCrLf);
}

TEST_F(ActivityLogTest, TextWithLineBreaksIsStampedOnlyOnItsFirstPhysicalLine) {
    RecordingView view;
    ActivityLog log = MakeLog(view, TimeOfDay(9, 5, 0));
    log.WriteLog("From: a\r\nSubject: b\r\nMessageID: c", LogDestination::kDiagnosticFile);
    EXPECT_EQ(FileBytes(DiagnosticPath()), "09:05:00 From: a\r\nSubject: b\r\nMessageID: c\r\n");
    EXPECT_THAT(view.Rows(), IsEmpty());
}

TEST_F(ActivityLogTest, LinesAreAppendedBehindWhatTheFilesHold) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "08:00:00 earlier\r\n"));
    ASSERT_TRUE(testsupport::WriteBytes(DiagnosticPath(), "no line end"));
    RecordingView view;
    int second = 0;
    ActivityLog log(folder_.Path(), view, files_, [&second] { return TimeOfDay(10, 0, second++); });
    const std::string eightBit = std::string("nul\0and \xE4\xFF", 11);
    log.WriteLog("first", LogDestination::kViewAndSharedFile);
    log.WriteLog(eightBit, LogDestination::kViewAndSharedFile);
    log.WriteLog("", LogDestination::kViewAndSharedFile);
    log.WriteLog("diagnostic", LogDestination::kDiagnosticFile);
    log.WriteLog("view only", LogDestination::kView);
    log.WriteLog("last", LogDestination::kViewAndSharedFile);
    EXPECT_EQ(FileBytes(SharedPath()), "08:00:00 earlier\r\n10:00:00 first\r\n10:00:01 " + eightBit +
                                           "\r\n\r\n10:00:05 last\r\n");
    EXPECT_EQ(FileBytes(DiagnosticPath()), "no line end10:00:03 diagnostic\r\n");
    EXPECT_THAT(view.Rows(),
                ElementsAre("10:00:00 first", "10:00:01 " + eightBit, "", "10:00:04 view only", "10:00:05 last"));
}

TEST_F(ActivityLogTest, LineForAMissingDataFolderIsDroppedWithoutWaitingForIt) {
    RecordingView view;
    const fs::path missing = folder_.Path() / "missing";
    ActivityLog log(missing, view, files_, [] { return TimeOfDay(9, 5, 0); });
    log.WriteLog("lost", LogDestination::kViewAndSharedFile);
    log.WriteLog("lost too", LogDestination::kDiagnosticFile);
    EXPECT_THAT(view.Rows(), ElementsAre("09:05:00 lost"));
    // Nobody can hold a file in a folder that does not exist, so there is nothing to wait for.
    EXPECT_EQ(files_.Opens(missing / "log.txt"), 1);
    EXPECT_EQ(files_.Opens(missing / "log_long.txt"), 1);
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(ActivityLogTest, WriterWaitsForAFileThatAnotherWriterReleasesSoon) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "09:04:59 before\r\n"));
    files_.Hold(SharedPath());
    // Released once the log has been refused several times, which stands for a short take-over; counting the attempts
    // instead of sleeping keeps the test independent of the machine's speed.
    std::thread releaser([this] {
        files_.WaitForOpens(SharedPath(), 5);
        files_.Release(SharedPath());
    });
    RecordingView view;
    // Patience to spare: the releasing thread may be slow to get its turn on a loaded machine.
    MakeLog(view, TimeOfDay(9, 5, 0), std::chrono::seconds(60)).WriteLog("late", LogDestination::kViewAndSharedFile);
    releaser.join();
    EXPECT_EQ(FileBytes(SharedPath()), "09:04:59 before\r\n09:05:00 late\r\n");
    EXPECT_GE(files_.Opens(SharedPath()), 6);
}

TEST_F(ActivityLogTest, WriterGivesUpOnAFileThatStaysHeld) {
    ASSERT_TRUE(testsupport::WriteBytes(DiagnosticPath(), "09:04:59 before\r\n"));
    files_.Hold(DiagnosticPath());
    RecordingView view;
    MakeLog(view).WriteLog("lost", LogDestination::kDiagnosticFile);
    EXPECT_EQ(FileBytes(DiagnosticPath()), "09:04:59 before\r\n");
    EXPECT_GT(files_.Opens(DiagnosticPath()), 1);  // it did wait before dropping the line
}

TEST_F(ActivityLogTest, TakeOverMovesEveryLineInFileOrderAndEmptiesTheFile) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "10:00:00 a\r\n10:00:01 b\r\n\r\n10:00:00 a\r\n10:00:02 c\r\n"));
    RecordingView view({"10:00:01 b", "earlier"});
    bool stamped = false;
    ActivityLog log(folder_.Path(), view, files_, [&stamped] {
        stamped = true;
        return TimeOfDay(11, 0, 0);
    });
    log.TakeOverSharedLog(false);
    EXPECT_THAT(view.Rows(), ElementsAre("10:00:01 b", "earlier", "10:00:00 a", "10:00:01 b", "", "10:00:00 a",
                                         "10:00:02 c"));
    EXPECT_EQ(FileBytes(SharedPath()), "");
    EXPECT_FALSE(stamped);
}

TEST_F(ActivityLogTest, TakeOverWithSkipLeavesOutLinesTheViewHolds) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "10:00:00 a\r\n10:00:01 B\r\n\r\n10:00:02 c\r\n"));
    RecordingView view({"", "10:00:01 b", "10:00:02 c"});
    MakeLog(view).TakeOverSharedLog(true);
    // The empty line matches the empty row; the comparison heeds letter case.
    EXPECT_THAT(view.Rows(), ElementsAre("", "10:00:01 b", "10:00:02 c", "10:00:00 a", "10:00:01 B"));
    EXPECT_EQ(FileBytes(SharedPath()), "");
}

TEST_F(ActivityLogTest, TakeOverWithSkipEmptiesAFileWhoseLinesAreAllKnown) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "\r\n"));
    RecordingView view({""});
    MakeLog(view).TakeOverSharedLog(true);
    EXPECT_THAT(view.Rows(), ElementsAre(""));
    EXPECT_EQ(FileBytes(SharedPath()), "");
}

TEST_F(ActivityLogTest, TakeOverWithSkipDoesNotOpenAnEmptyOrMissingFile) {
    RecordingView view({"row"});
    ActivityLog log = MakeLog(view);
    log.TakeOverSharedLog(true);
    EXPECT_EQ(files_.Opens(SharedPath()), 0);
    EXPECT_EQ(FileBytes(SharedPath()), std::nullopt);

    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), ""));
    log.TakeOverSharedLog(true);
    EXPECT_EQ(files_.Opens(SharedPath()), 0);
    EXPECT_THAT(view.Rows(), ElementsAre("row"));
}

TEST_F(ActivityLogTest, TakeOverWithoutSkipCreatesAMissingFileEmpty) {
    RecordingView view({"row"});
    MakeLog(view).TakeOverSharedLog(false);
    EXPECT_EQ(files_.Opens(SharedPath()), 1);
    EXPECT_EQ(FileBytes(SharedPath()), "");
    EXPECT_THAT(view.Rows(), ElementsAre("row"));
}

struct LineEndCase {
    std::string bytes;
    std::vector<std::string> rows;
};

TEST_F(ActivityLogTest, TakeOverEndsALineAtCrLfCrOrLf) {
    const LineEndCase cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},  // the last line needs no terminator
        {"a", {"a"}},
        {"\r\n", {""}},
        {"\r", {""}},
        {"\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF CR is two line ends, not one
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {std::string("n\0l\r\n\xE4", 6), {std::string("n\0l", 3), "\xE4"}},
    };
    for (const LineEndCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), c.bytes));
        RecordingView view;
        MakeLog(view).TakeOverSharedLog(false);
        EXPECT_EQ(view.Rows(), c.rows);
        EXPECT_EQ(FileBytes(SharedPath()), "");
    }
}

TEST_F(ActivityLogTest, TakeOverOfAHeldFileLeavesEverythingAsItWas) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "10:00:00 a\r\n"));
    files_.Hold(SharedPath());
    for (const bool skipKnownLines : {false, true}) {
        RecordingView view({"row"});
        MakeLog(view).TakeOverSharedLog(skipKnownLines);
        EXPECT_THAT(view.Rows(), ElementsAre("row"));
        EXPECT_EQ(FileBytes(SharedPath()), "10:00:00 a\r\n");
    }
    EXPECT_EQ(files_.Opens(SharedPath()), 2);  // one attempt each: the next tick tries again
}

TEST_F(ActivityLogTest, TakeOverKeepsAFileItCannotRead) {
    ASSERT_TRUE(testsupport::WriteBytes(SharedPath(), "10:00:00 a\r\n"));
    files_.FailReads();
    RecordingView view;
    MakeLog(view).TakeOverSharedLog(false);
    EXPECT_THAT(view.Rows(), IsEmpty());
    EXPECT_EQ(FileBytes(SharedPath()), "10:00:00 a\r\n");
}

TEST_F(ActivityLogTest, LinesWrittenForTheWindowComeBackAsTheyWere) {
    RecordingView serviceView;
    int second = 0;
    ActivityLog service(folder_.Path(), serviceView, files_, [&second] { return TimeOfDay(12, 0, second++); });
    service.WriteLog("one", LogDestination::kViewAndSharedFile);
    service.WriteLog("", LogDestination::kViewAndSharedFile);
    service.WriteLog("two", LogDestination::kViewAndSharedFile);
    service.WriteLog("not shared", LogDestination::kView);
    RecordingView windowView;
    MakeLog(windowView).TakeOverSharedLog(false);
    EXPECT_THAT(windowView.Rows(), ElementsAre("12:00:00 one", "", "12:00:02 two"));
}

}  // namespace
}  // namespace zendrel
