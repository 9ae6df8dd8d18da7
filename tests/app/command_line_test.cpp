#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {
namespace {

using Arguments = std::vector<std::string>;

TEST(ParseCommandLine, WithoutACommandSwitchLeavesTheListToTheWindow) {
    struct Case {
        Arguments arguments;
        bool logging;
    };
    const Case cases[] = {
        {{}, false},
        {{"-logging"}, true},
        {{"-LOGGING"}, true},
        {{"-Logging"}, true},
        {{"logging"}, false},
        {{"--logging"}, false},
        {{"-logging2"}, false},
        {{"unknown", "-x", "/y"}, false},
        {{"unknown", "-LogGing", "other"}, true},
        {{"--extractx"}, false},
        {{"--to", "x"}, false},
    };
    for (const Case& c : cases) {
        const ParsedCommand command = ParseCommandLine(c.arguments);
        EXPECT_EQ(command.kind, CommandKind::kWindow) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(command.logging, c.logging) << ::testing::PrintToString(c.arguments);
    }
}

TEST(ParseCommandLine, ReadsExtractWithItsOptions) {
    struct Case {
        Arguments arguments;
        std::string folder;
        std::string extensions;
        Arguments files;
        bool logging;
        bool saveInline = false;
        bool replaceExisting = false;
    };
    const Case cases[] = {
        {{"--extract", "a.eml"}, "", "", {"a.eml"}, false},
        {{"--extract", "--inline", "a.eml"}, "", "", {"a.eml"}, false, true, false},
        {{"--extract", "a.eml", "--replace", "--inline"}, "", "", {"a.eml"}, false, true, true},
        {{"--extract", "--", "--replace"}, "", "", {"--replace"}, false, false, false},
        {{"--extract", "a.eml", "b.eml", "c d.eml"}, "", "", {"a.eml", "b.eml", "c d.eml"}, false},
        {{"--extract", "--to", "out", "a.eml"}, "out", "", {"a.eml"}, false},
        {{"--extract", "a.eml", "--to", "out/"}, "out/", "", {"a.eml"}, false},
        {{"--extract", "--to=out", "a.eml"}, "out", "", {"a.eml"}, false},
        {{"--extract", "--to", "", "a.eml"}, "", "", {"a.eml"}, false},
        {{"--extract", "--extensions", "CSV,.pdf", "a.eml"}, "", "CSV,.pdf", {"a.eml"}, false},
        {{"--extract", "--extensions=csv;", "a.eml"}, "", "csv;", {"a.eml"}, false},
        {{"--extract", "--extensions", "", "a.eml"}, "", "", {"a.eml"}, false},
        {{"--extract", "--to", "--extensions", "a.eml"}, "--extensions", "", {"a.eml"}, false},
        {{"--extract", "a.eml", "-logging"}, "", "", {"a.eml"}, true},
        {{"-LOGGING", "--extract", "a.eml"}, "", "", {"a.eml"}, true},
        {{"--extract", "--", "--to", "-logging", "-"}, "", "", {"--to", "-logging", "-"}, false},
        {{"--extract", "-"}, "", "", {"-"}, false},
        {{"--extract", "--to", "o", "--extensions", "pdf", "x", "--", "--y"}, "o", "pdf", {"x", "--y"}, false},
    };
    for (const Case& c : cases) {
        const ParsedCommand command = ParseCommandLine(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        ASSERT_EQ(command.kind, CommandKind::kExtract) << shown << ": " << command.usageError;
        EXPECT_EQ(command.extract.folder, c.folder) << shown;
        EXPECT_EQ(command.extract.typedExtensions, c.extensions) << shown;
        EXPECT_EQ(command.extract.files, c.files) << shown;
        EXPECT_EQ(command.logging, c.logging) << shown;
        EXPECT_EQ(command.extract.saveInline, c.saveInline) << shown;
        EXPECT_EQ(command.extract.replaceExisting, c.replaceExisting) << shown;
    }
}

TEST(ParseCommandLine, ReadsTheSingleSwitchCommands) {
    struct Case {
        Arguments arguments;
        CommandKind kind;
    };
    const Case cases[] = {
        {{"--help"}, CommandKind::kHelp},
        {{"--version"}, CommandKind::kVersion},
        {{"-logging", "--help"}, CommandKind::kHelp},
        {{"--version", "-LOGGING"}, CommandKind::kVersion},
        {{"--run-once"}, CommandKind::kRunOnce},
        {{"--run-once", "-Logging"}, CommandKind::kRunOnce},
        {{"--service"}, CommandKind::kService},
        {{"-logging", "--service"}, CommandKind::kService},
        {{"--settings"}, CommandKind::kShowSettings},
        {{"--set-password"}, CommandKind::kSetPassword},
        {{"--sign-in"}, CommandKind::kSignIn},
        {{"--sign-out"}, CommandKind::kSignOut},
        {{"--set", "Port=110", "--allow"}, CommandKind::kSetSettings},  // the values are checked by the command
        {{"--unlist", "--set"}, CommandKind::kUnlistSender},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCommandLine(c.arguments).kind, c.kind) << ::testing::PrintToString(c.arguments);
    }
    EXPECT_FALSE(ParseCommandLine({"--run-once"}).logging);
    EXPECT_TRUE(ParseCommandLine({"--run-once", "-LOGGING"}).logging);
    EXPECT_TRUE(ParseCommandLine({"-logging", "--service"}).logging);
}

TEST(ParseCommandLine, RefusesMalformedCommandsWithAReason) {
    const Arguments cases[] = {
        {"--extract"},
        {"--extract", "-logging"},
        {"--extract", "--to", "out"},
        {"--extract", "a.eml", "--to"},
        {"--extract", "a.eml", "--extensions"},
        {"--extract", "--to", "a", "--to", "b", "x.eml"},
        {"--extract", "--extensions", "a", "--extensions=b", "x.eml"},
        {"--extract", "--inline", "--inline", "x.eml"},
        {"--extract", "--replace=1", "x.eml"},
        {"--extract", "--unknown", "a.eml"},
        {"--extract", "a.eml", "--help"},
        {"--extract", "-x", "a.eml"},
        {"--extract", "--", },
        {"--help", "now"},
        {"--version", "--help"},
        {"--help", "--extract", "a.eml"},
        {"stray", "--extract", "a.eml"},
        {"stray", "--version"},
        {"--run-once", "now"},
        {"--service", "--run-once"},
        {"--run-once", "logging"},
        {"--set"},
        {"--allow"},
        {"--block", "a@x", "b@x"},
        {"--settings", "Port"},
    };
    for (const Arguments& arguments : cases) {
        const ParsedCommand command = ParseCommandLine(arguments);
        EXPECT_EQ(command.kind, CommandKind::kUsageError) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(command.usageError.empty()) << ::testing::PrintToString(arguments);
    }
}

TEST(UsageText, NamesEveryCommand) {
    const std::string usage = UsageText();
    for (const char* part : {"--extract", "--to FOLDER", "--extensions LIST", "FILE...", "--run-once", "--service",
                             "ZENDREL_DATA_DIR", "--help", "--version"}) {
        EXPECT_NE(usage.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(usage.back(), '\n');
}

// The text is broken into lines for a wide terminal, and a line of explanation ends where a phrase does: a reader must
// not find "TimeOUT (seconds of a" on one line and "read interval" on the next. The command lines are exempt.
TEST(UsageText, LinesBreakBetweenPhrases) {
    std::istringstream lines(UsageText());
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 110u) << line;
        if (line.rfind("  zendrel ", 0) == 0) continue;
        ASSERT_FALSE(line.empty());
        EXPECT_NE(std::string_view(",.;:)").find(line.back()), std::string_view::npos) << line;
    }
}

}  // namespace
}  // namespace zendrel
