// zendrel --service on saved settings: a run at the first due time of the schedule, its lines on standard output and
// in "log.txt", and the end on a signal.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <sstream>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "mailbox_program_test.h"
#include "platform/service_controller.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::Not;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

// Long enough for any machine; the tests never wait this long when all is well.
constexpr std::chrono::milliseconds kPatience = 30s;

// The lines of a log file, CR LF after each.
std::vector<std::string> LinesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(bytes.substr(begin, end - begin));
    }
    if (begin < bytes.size()) lines.push_back("<unterminated> " + bytes.substr(begin));
    return lines;
}

// A local time zone for the program in which the time of day is a few seconds before a full minute, and that
// minute. Runs fall on the grid of the start time plus whole intervals, which are whole minutes, so a start time of
// that minute makes the first run due in those few seconds, whatever the real clock says.
struct ShiftedClock {
    std::string timeZone;  // for TZ
    int startHour = 0;
    int startMinute = 0;
};

ShiftedClock ClockJustBeforeAMinute(int secondsBefore) {
    // Starting on a whole second gives the program all of those seconds.
    const auto now = std::chrono::system_clock::now();
    const auto nextSecond = std::chrono::ceil<std::chrono::seconds>(now);
    std::this_thread::sleep_until(nextSecond);
    const std::time_t utc = std::chrono::system_clock::to_time_t(nextSecond);
    // A zone west of UTC by `offset` seconds: local time = UTC - offset.
    const long offset = ((utc % 60) - (60 - secondsBefore) + 60) % 60;
    const std::time_t local = utc - offset;
    const std::time_t dueMinute = (local / 60 + 1) * 60;
    ShiftedClock clock;
    clock.timeZone = "ZTST+00:00:" + std::string(offset < 10 ? "0" : "") + std::to_string(offset);
    clock.startHour = static_cast<int>(dueMinute % 86400 / 3600);
    clock.startMinute = static_cast<int>(dueMinute % 3600 / 60);
    return clock;
}

// One word of a unit file's command line or Environment= value as systemd reads it: quotes and backslash escapes
// undone, and in a command line "%%" and "$$" back to one character.
std::vector<std::string> UnitWords(std::string_view value, bool commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '\\' && i + 1 < value.size()) {
            word += value[++i];
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (commandLine && (c == '%' || c == '$') && i + 1 < value.size() && value[i + 1] == c) {
            word += value[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// The service installed as a user would install it from the window, with a stand-in for systemctl that accepts every
// call: the command and the variables of the unit file it wrote, which is what systemd would start.
struct InstalledUnit {
    std::vector<std::string> command;
    testsupport::ProgramEnvironment environment;
};

std::optional<InstalledUnit> InstallTheUnit(const fs::path& folder, const fs::path& program, const fs::path& data) {
    const fs::path bin = folder / "bin";
    fs::create_directories(bin);
    if (!testsupport::WriteBytes(bin / "systemctl", "#!/bin/sh\nexit 0\n")) return std::nullopt;
    fs::permissions(bin / "systemctl", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("ZENDREL_DATA_DIR", data.c_str(), 1);
    const std::int32_t installed =
        CreateServiceController()->Install("Zendrel_Service", "Zendrel", program.string(), "Zendrel", 2);
    ::setenv("PATH", path.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("ZENDREL_DATA_DIR");
    if (installed == 0) return std::nullopt;

    InstalledUnit unit;
    std::istringstream lines(testsupport::ReadBytes(folder / "config" / "systemd" / "user" / "zendrel.service"));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("ExecStart=")) unit.command = UnitWords(line.substr(10), true);
        if (!line.starts_with("Environment=")) continue;
        for (const std::string& assignment : UnitWords(line.substr(12), false)) {
            const std::size_t equals = assignment.find('=');
            unit.environment.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        }
    }
    if (unit.command.empty()) return std::nullopt;
    return unit;
}

class ServiceProgram : public MailboxProgramTest {};

// Started as systemd starts the installed unit: its ExecStart= line with its Environment= only.
TEST_F(ServiceProgram, TheInstalledUnitRunsAtTheDueTimeWritesLogTxtAndEndsOnSigterm) {
    DeliverMails({MailWithAttachment("service.1", "service.csv")});
    // A program that needs longer than this to start would find the due time passed and wait a whole interval.
    const ShiftedClock clock = ClockJustBeforeAMinute(15);
    settings_.intervalPosition = 0;  // 300 s
    settings_.startHour = clock.startHour;
    settings_.startMinute = clock.startMinute;
    SaveTheSettings();

    const std::optional<InstalledUnit> unit = InstallTheUnit(work_.MakeFolder("unit"), kProgram, data_);
    ASSERT_TRUE(unit);
    ASSERT_EQ(unit->command.front(), kProgram.string());
    testsupport::ProgramEnvironment environment = unit->environment;
    environment.emplace_back("TZ", clock.timeZone);
    const std::vector<std::string> arguments(unit->command.begin() + 1, unit->command.end());
    std::optional<testsupport::StartedProgram> program =
        testsupport::StartedProgram::Start(unit->command.front(), arguments, work_.Path(), scratch_, environment);
    ASSERT_TRUE(program);
    ASSERT_TRUE(program->WaitForOutput(kSignedOut + "\n\n", kPatience))
        << "no run came; stdout:\n" << program->Out() << "stderr:\n" << program->Err();

    ASSERT_TRUE(program->Signal(SIGTERM));
    const std::optional<int> exitCode = program->Wait(kPatience);
    ASSERT_TRUE(exitCode) << "the service did not end on SIGTERM";
    EXPECT_EQ(*exitCode, 0) << program->Err();

    const std::vector<std::string> expected = {LoggedIn(1), FileSaved("service.csv"), kSignedOut, ""};
    const std::vector<std::string> out = testsupport::ProgramResult{0, program->Out(), ""}.OutLines();
    EXPECT_THAT(TextsOfRows(out), ::testing::ElementsAreArray(expected)) << program->Out();
    // The service's user lines also go to "log.txt", stamps and all, for a window to take over.
    EXPECT_EQ(LinesOf(testsupport::ReadBytes(data_ / "log.txt")), out);
    EXPECT_EQ(testsupport::ReadBytes(save_ / "service.csv"), AttachmentBytesFor("service.csv"));
    EXPECT_FALSE(fs::exists(data_ / "log_long.txt"));
}

// No server needed: the settings select no interval, so there is nothing to wait for.
TEST(ServiceProgramWithoutInterval, ExitsWith2AtOnce) {
    testsupport::TemporaryFolder work("zendrel-program");
    ASSERT_TRUE(work.Created());
    const fs::path data = work.MakeFolder("data");
    const fs::path scratch = work.MakeFolder("scratch");
    SettingsRecord settings;
    settings.language = "english";
    settings.server = "127.0.0.1";
    settings.portText = "110";
    settings.saveDir = work.MakeFolder("save").string();
    settings.intervalPosition.reset();
    // Without a selection no TimeOUT is written, and a missing one loads as the default interval; only a stored value
    // that is no interval leaves the selection empty.
    std::string prefs = FormatSettingsFile(settings);
    const std::string group = "[Main]\r\n";
    ASSERT_EQ(prefs.rfind(group, 0), 0u) << prefs;
    ASSERT_EQ(prefs.find("TimeOUT"), std::string::npos) << prefs;
    prefs.insert(group.size(), "TimeOUT=123\r\n");
    ASSERT_TRUE(testsupport::WriteBytes(data / kSettingsFileName, prefs));

    // Started in the background, so that a service that goes on polling fails the test instead of hanging it.
    std::optional<testsupport::StartedProgram> program = testsupport::StartedProgram::Start(
        kProgram, {"--service"}, work.Path(), scratch, {{"ZENDREL_DATA_DIR", data.string()}});
    ASSERT_TRUE(program);
    const std::optional<int> exitCode = program->Wait(kPatience);
    ASSERT_TRUE(exitCode) << "the service polls without an interval";
    EXPECT_EQ(*exitCode, 2) << program->Err();
    EXPECT_THAT(program->Out(), IsEmpty());
    EXPECT_THAT(program->Err(), Not(IsEmpty())) << "it says why it does not poll";
}

}  // namespace
}  // namespace zendrel::testsupport
