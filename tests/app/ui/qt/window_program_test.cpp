// The built program's window mode where there is no display, and its command-line modes beside the window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "program_runner.h"
#include "test_files.h"

namespace zendrel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

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

}  // namespace
}  // namespace zendrel::testing
