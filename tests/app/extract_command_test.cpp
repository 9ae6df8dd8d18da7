#include "app/extract_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "app/program.h"

namespace zendrel {
namespace {

using ::testing::HasSubstr;

TEST(FolderWithSeparator, AddsTheSeparatorOnlyWhenMissing) {
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    struct Case {
        std::string folder;
        std::string withSeparator;
    };
    const Case cases[] = {
        {"", ""},  // the current folder: the name alone
        {"out", std::string("out") + separator},
        {"out/", "out/"},
        {"/", "/"},
        {"a/b", std::string("a/b") + separator},
        {"a b", std::string("a b") + separator},
        {std::string(1, separator), std::string(1, separator)},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderWithSeparator(c.folder), c.withSeparator) << c.folder;
}

TEST(RunExtract, RefusesAFolderNameThatWindows1252CannotHold) {
#if defined(_WIN32)
    GTEST_SKIP() << "the arguments already are Windows-1252 text here";
#endif
    std::ostringstream out;
    std::ostringstream err;
    ExtractRequest request;
    request.folder = "\xE6\x97\xA5\xE6\x9C\xAC/";
    request.files = {"does-not-matter.eml"};
    EXPECT_EQ(RunExtract(request, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("Windows-1252"));
    EXPECT_EQ(out.str(), "");
}

TEST(RunProgram, AnswersHelpVersionAndUsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string out;
        std::string errPart;
    };
    const Case cases[] = {
        {{"--version"}, 0, "Zendrel V" ZENDREL_PROJECT_VERSION "\n", ""},
        {{"--help"}, 0, "  zendrel --run-once [-logging]\n", ""},
        {{"--extract"}, 2, "", "Usage:"},
        {{"--extract", "--to"}, 2, "", "--to needs a folder"},
        {{"-logging"}, 0, "The window is not available in this build; see zendrel --help.\n", ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunProgram(c.arguments, out, err), c.exitCode) << ::testing::PrintToString(c.arguments);
        if (c.out.empty()) {
            EXPECT_EQ(out.str(), "");
        } else {
            EXPECT_THAT(out.str(), HasSubstr(c.out));
        }
        if (c.errPart.empty()) {
            EXPECT_EQ(err.str(), "");
        } else {
            EXPECT_THAT(err.str(), HasSubstr(c.errPart));
        }
    }
}

}  // namespace
}  // namespace zendrel
