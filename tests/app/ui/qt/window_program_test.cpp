// The built program's window mode where there is no display, its command-line modes beside the window, and the
// window's module, which only the window mode loads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "program_runner.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::filesystem::path kProgram = ZENDREL_PROGRAM;

// No display of any kind; QT_DEBUG_PLUGINS makes Qt name every plugin it loads on standard error.
const ProgramEnvironment kNoDisplay = {
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}, {"QT_DEBUG_PLUGINS", "1"}};

class WindowProgram : public ::testing::Test {
protected:
    ProgramResult Run(const std::vector<std::string>& arguments) {
        return RunProgramFile(kProgram, arguments, work_.Path(), scratch_, kNoDisplay);
    }

    TemporaryFolder work_{"zendrel-window"};
    std::filesystem::path scratch_ = work_.MakeFolder("scratch");
};

TEST_F(WindowProgram, WithoutADisplayNamesTheVariablesAndExits2) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"-LOGGING"}}) {
        const ProgramResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_THAT(result.err, HasSubstr("DISPLAY"));
        EXPECT_THAT(result.err, HasSubstr("WAYLAND_DISPLAY"));
        EXPECT_THAT(result.out, IsEmpty());
    }
}

TEST_F(WindowProgram, CommandLineModesLoadNoDisplayPlugin) {
    const ProgramResult result = Run({"--extract", "--to", work_.MakeFolder("out").string() + "/",
                                      std::string(ZENDREL_TEST_DATA) + "/messages/plain_text_only.eml"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.err, IsEmpty());
}

// LD_DEBUG=libs makes the dynamic loader name on standard error every library it loads, dlopen() included.
TEST_F(WindowProgram, CommandLineModesLoadNoQtLibrary) {
    const std::string out = work_.MakeFolder("out").string() + "/";
    const std::string message = std::string(ZENDREL_TEST_DATA) + "/messages/plain_text_only.eml";
    const std::vector<std::vector<std::string>> modes = {
        {"--version"},  {"--help"},  {"--settings"}, {"--set", "Port=110"}, {"--set-password"},
        {"--run-once"}, {"--allow", "a@b.example"},  {"--extract", "--to", out, message},
    };
    const std::filesystem::path data = work_.MakeFolder("data");
    ProgramEnvironment environment = kNoDisplay;
    environment.push_back({"LD_DEBUG", "libs"});
    environment.push_back({"ZENDREL_DATA_DIR", data.string()});
    for (const std::vector<std::string>& arguments : modes) {
        const ProgramResult result = RunProgramFile(kProgram, arguments, work_.Path(), scratch_, environment);
        EXPECT_NE(result.exitCode, -1) << arguments.front();
        EXPECT_THAT(result.err, Not(HasSubstr("libQt6"))) << arguments.front();
        EXPECT_THAT(result.err, Not(HasSubstr("zendrel-window"))) << arguments.front();
    }
    // The service runs until it is told to stop; once it has taken over its log file, it is past its start.
    std::filesystem::remove(data / "log.txt");
    std::optional<StartedProgram> service =
        StartedProgram::Start(kProgram, {"--service"}, work_.Path(), scratch_, environment);
    ASSERT_TRUE(service.has_value());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(data / "log.txt") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(service->Signal(SIGTERM));
    EXPECT_EQ(service->Wait(std::chrono::seconds(30)), 0);
    EXPECT_THAT(service->Err(), Not(HasSubstr("libQt6")));
    EXPECT_THAT(service->Err(), Not(HasSubstr("zendrel-window")));
    // The window mode does load them, which shows that the loader's report is read right.
    const ProgramResult window = RunProgramFile(kProgram, {}, work_.Path(), scratch_, environment);
    EXPECT_EQ(window.exitCode, 2);
    EXPECT_THAT(window.err, HasSubstr("zendrel-window.so"));
    EXPECT_THAT(window.err, HasSubstr("libQt6Widgets"));
}

// The module is looked for beside the program, wherever the program is started from, not in the current folder.
TEST_F(WindowProgram, WithoutItsModuleTheProgramSaysTheWindowIsNotAvailable) {
    const std::filesystem::path alone = work_.MakeFolder("alone") / "zendrel";
    std::filesystem::copy_file(kProgram, alone);
    const ProgramResult result = RunProgramFile(alone, {}, kProgram.parent_path(), scratch_, kNoDisplay);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("The window is not available"));
    EXPECT_THAT(result.err, HasSubstr("zendrel-window.so"));
}

}  // namespace
}  // namespace zendrel::testsupport
