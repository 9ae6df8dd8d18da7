#include "job/activity_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace zendrel {
namespace {

std::tm TimeOfDay(int hour, int minute, int second) {
    std::tm time{};
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

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
    EXPECT_THAT(FormatLogLine("t", now), ::testing::MatchesRegex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-6][0-9] t"));
}

}  // namespace
}  // namespace zendrel
