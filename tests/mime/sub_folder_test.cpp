#include "mime/sub_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zendrel {
namespace {

TEST(IsValidSubFolderTemplate, TakesRelativePathsWithKnownPlaceholdersOnly) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"", true},
        {"{domain}/{year}-{month}", true},
        {"{sender}\\{year}\\{month}-{day}", true},
        {"Belege/{year}", true},
        {"./{year}", true},
        {"{year}.{month}..", true},  // dots beside other text name no other folder
        {"{Year}", false},
        {"{week}", false},
        {"{year", false},
        {"a{", false},
        {"/srv/{year}", false},
        {"\\{year}", false},
        {"C:{year}", false},
        {"C:\\files", false},
        {"a:b", false},
        {"..", false},
        {"{year}/../..", false},
        {"a/. ./b", false},
        {"...", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidSubFolderTemplate(c.text), c.valid) << c.text;
}

TEST(ParseMailDate, ReadsTheDateAsWritten) {
    const struct {
        std::string value;
        bool readable;
        CalendarDate date;
    } cases[] = {
        {"Tue, 10 Jun 2025 09:30:00 +0200", true, {2025, 6, 10}},
        {"1 jan 2024 00:00 -0800", true, {2024, 1, 1}},  // the sender's day, not converted to another zone
        {"  Fri,  31 DEC 1999 23:59:59 GMT", true, {1999, 12, 31}},
        {"(sent) 5 Mar 24 10:00 +0000", true, {2024, 3, 5}},
        {"5 Mar 99 10:00 +0000", true, {1999, 3, 5}},
        {"5 Mar 124 10:00 +0000", true, {2024, 3, 5}},
        {"", false, {}},
        {"yesterday", false, {}},
        {"Tue 10 Jun 2025", false, {}},
        {"32 Jun 2025", false, {}},
        {"10 Juni 2025", false, {}},
        {"10 Jun ../..", false, {}},
        {"2025-06-10T09:30:00Z", false, {}},
    };
    for (const auto& c : cases) {
        const std::optional<CalendarDate> date = ParseMailDate(c.value);
        ASSERT_EQ(date.has_value(), c.readable) << c.value;
        if (!date) continue;
        EXPECT_EQ(date->year, c.date.year) << c.value;
        EXPECT_EQ(date->month, c.date.month) << c.value;
        EXPECT_EQ(date->day, c.date.day) << c.value;
    }
}

TEST(ExpandSubFolder, FillsInSafeValuesThatStayBelowTheSaveFolder) {
    const std::string s(1, static_cast<char>(std::filesystem::path::preferred_separator));
    const CalendarDate today{2026, 2, 3};
    const struct {
        std::string text;
        std::string from;
        std::string date;
        std::string folder;
    } cases[] = {
        {"{domain}/{year}-{month}", "Jo Meyer <Jo.Meyer@Example.ORG>", "Tue, 10 Jun 2025 09:30:00 +0200",
         "example.org" + s + "2025-06"},
        {"{sender}\\{day}", "jo@example.org", "1 Feb 2025 10:00 +0000", "jo@example.org" + s + "01"},
        {"{sender}", "  Plain Name  ", "", "plain name"},
        {"{sender}", "\"a <b>\" <real@x.example>", "", "real@x.example"},
        {"{domain}", "no-at-sign", "", "_"},
        {"{sender}/{domain}", "", "", "_" + s + "_"},
        {"{year}/{month}/{day}", "a@b", "", "2026" + s + "02" + s + "03"},
        {"{year}", "a@b", "someday", "2026"},
        // Nothing a sender writes climbs out of the save folder or hides.
        {"{sender}/{domain}", "<../../etc/passwd@..>", "", "_._.._etc_passwd@" + s + "_"},
        {"{sender}", "<..>", "", "_"},
        {"{domain}", "<x@..\\..\\Windows>", "", "_._.._windows"},
        {"{sender}", "<con>", "", "_con"},
        {"a/./b//{year}", "a@b", "", "a" + s + "b" + s + "2026"},
        {"", "a@b", "", ""},
    };
    for (const auto& c : cases) {
        std::string header = "\r\nFrom: " + c.from;
        if (!c.date.empty()) header += "\r\nDate: " + c.date;
        EXPECT_EQ(ExpandSubFolder(c.text, header, today), c.folder) << c.text << " / " << c.from;
    }
    EXPECT_EQ(ExpandSubFolder("../{year}", "\r\nFrom: a@b", today), std::nullopt);
}

}  // namespace
}  // namespace zendrel
