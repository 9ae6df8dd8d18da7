#include "settings/preference_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zendrel {
namespace {

using namespace std::string_literals;

TEST(LeadingInteger, ReadsSignAndDigitsAndIgnoresTheRest) {
    const struct {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"110", 110},        {"-1", -1},          {"+25", 25},           {"8080abc", 8080},  {"abc", 0},
        {"", 0},             {"-", 0},            {"+", 0},              {" 5", 0},          {"0x1F", 0},
        {"007", 7},          {"12 34", 12},       {"2147483647", 2147483647},
        {"2147483648", 2147483647},               {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},         {"-99999999999", -2147483647 - 1},
        {"--5", 0},          {"3.9", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(PreferenceFile, FindsKeysInTheirGroupWhateverTheLineEnds) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        const PreferenceFile file = PreferenceFile::Parse("[Main]" + end + "Port = 995" + end + "Server = pop.example" +
                                                          end + "[Other]" + end + "Server = elsewhere" + end);
        EXPECT_EQ(file.Text("Main", "Server"), "pop.example");
        EXPECT_EQ(file.Integer("Main", "Port"), 995);
        EXPECT_EQ(file.Text("Other", "Server"), "elsewhere");
        EXPECT_EQ(file.Text("Main", "Missing"), std::nullopt);
        EXPECT_EQ(file.Text("Missing", "Server"), std::nullopt);
    }
}

TEST(PreferenceFile, HandEditedLines) {
    const PreferenceFile file = PreferenceFile::Parse(
        "; a comment before everything\r\n"
        "Orphan = outside every group\r\n"
        "   [main]   trailing words after the bracket\r\n"
        "\r\n"
        "\t  ; an indented comment\r\n"
        "  PORT\t =\t 8110 \t\r\n"
        "port = 9999\r\n"
        "Server =\r\n"
        "Username=   bob   smith  \r\n"
        "NoEqualsSign\r\n"
        "SearchString = a = b\r\n"
        "Password = ;not a comment\r\n"
        "[Lists\r\n"
        "Count = 3\r\n");
    EXPECT_EQ(file.Integer("Main", "Port"), 8110) << "first occurrence wins, case-insensitive key";
    EXPECT_EQ(file.Text("MAIN", "server"), "") << "present but empty is the empty text";
    EXPECT_EQ(file.Text("Main", "Username"), "bob   smith");
    EXPECT_EQ(file.Text("Main", "NoEqualsSign"), std::nullopt);
    EXPECT_EQ(file.Text("Main", "SearchString"), "a = b") << "the value starts after the first '='";
    EXPECT_EQ(file.Text("Main", "Password"), ";not a comment");
    EXPECT_EQ(file.Text("Main", "Orphan"), std::nullopt);
    EXPECT_EQ(file.Integer("Lists", "Count"), 3) << "an unclosed header names the rest of its line";
}

TEST(PreferenceFile, IntegersOfPresentKeysNeverFallBackToDefaults) {
    const PreferenceFile file = PreferenceFile::Parse("[Main]\r\nPort = abc\r\nTimeOUT =\r\nStartAtHour = 7pm\r\n");
    EXPECT_EQ(file.Integer("Main", "Port"), 0);
    EXPECT_EQ(file.Integer("Main", "TimeOUT"), 0);
    EXPECT_EQ(file.Integer("Main", "StartAtHour"), 7);
    EXPECT_EQ(file.Integer("Main", "StartAtMinute"), std::nullopt);
}

TEST(PreferenceFile, OnlyTheFirstGroupOfANameIsSearched) {
    const PreferenceFile file = PreferenceFile::Parse("[Main]\nPort = 1\n[main]\nPort = 2\nServer = late\n");
    EXPECT_EQ(file.Integer("Main", "Port"), 1);
    EXPECT_EQ(file.Text("Main", "Server"), std::nullopt);
}

TEST(PreferenceFile, Utf8FileValuesBecomeSingleBytes) {
    // U+00FC is one byte; U+20AC has none in ISO 8859-1 and becomes "?"; U+1F600 as well.
    const PreferenceFile file = PreferenceFile::Parse(
        "\xEF\xBB\xBF[Main]\r\nUsername = J\xC3\xBCrgen\r\nServer = \xE2\x82\xAC-\xF0\x9F\x98\x80\r\n");
    EXPECT_EQ(file.Text("Main", "Username"), "J\xFCrgen");
    EXPECT_EQ(file.Text("Main", "Server"), "?-?");
}

TEST(PreferenceFile, Utf8ValuesAreTrimmedAfterMalformedBytesWereDropped) {
    const PreferenceFile file = PreferenceFile::Parse("\xEF\xBB\xBF[Main]\r\nServer = pop \xD4\r\n");
    EXPECT_EQ(file.Text("Main", "Server"), "pop");
}

TEST(PreferenceFile, SingleByteFileKeepsItsBytes) {
    const PreferenceFile file =
        PreferenceFile::Parse("[Main]\r\nUsername = J\xC3\xBCrgen\xFC\0x\r\n"s);
    EXPECT_EQ(file.Text("Main", "Username"), "J\xC3\xBCrgen\xFC\0x"s);
}

TEST(PreferenceFile, AMarkInTheMiddleIsText) {
    const PreferenceFile file = PreferenceFile::Parse("[Main]\r\nUsername = \xEF\xBB\xBFx\r\n");
    EXPECT_EQ(file.Text("Main", "Username"), "\xEF\xBB\xBFx");
}

}  // namespace
}  // namespace zendrel
