#include "app/schedule.h"

#include <gtest/gtest.h>

#include "job/activity_log.h"

namespace zendrel {
namespace {

constexpr LocalSeconds kDay = 86400;
constexpr LocalSeconds kDecember8 = 1796688000;  // 2026-12-08 00:00:00

constexpr LocalSeconds At(int hour, int minute, int second = 0, LocalSeconds day = kDecember8) {
    return day + hour * 3600 + minute * 60 + second;
}

std::tm Tm(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(LocalSecondsOf, CountsSecondsOfLocalTimeFrom1970) {
    EXPECT_EQ(LocalSecondsOf(Tm(1970, 1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(LocalSecondsOf(Tm(2026, 12, 8, 10, 7, 30)), At(10, 7, 30));
    EXPECT_EQ(LocalSecondsOf(Tm(2024, 2, 29, 23, 59, 59)), 1709164800 + kDay - 1);
    EXPECT_EQ(LocalSecondsOf(Tm(2024, 3, 1, 0, 0, 0)), 1709164800 + kDay);
}

TEST(CurrentLocalSeconds, AgreesWithTheLocalClock) {
    const std::tm before = CurrentLocalTime();
    const LocalSeconds now = CurrentLocalSeconds();
    EXPECT_GE(now, LocalSecondsOf(before));
    EXPECT_LE(now, LocalSecondsOf(before) + 2);
}

TEST(ComputeNextStart, FollowsTheDailyGrid) {
    const struct {
        const char* what;
        LocalSeconds now;
        int interval;
        int hour;
        int minute;
        LocalSeconds next;
    } cases[] = {
        {"00:00, any 15 minutes, at 10:07:30", At(10, 7, 30), 900, 0, 0, At(10, 15)},
        {"23:30 daily at 23:45: tomorrow", At(23, 45), 86400, 23, 30, At(23, 30) + kDay},
        {"20:00 hourly at 08:00: today's start, not 09:00", At(8, 0), 3600, 20, 0, At(20, 0)},
        {"20:00 any 5 minutes at 08:00", At(8, 0), 300, 20, 0, At(20, 0)},
        {"a candidate equal to now is taken", At(10, 15), 900, 0, 0, At(10, 15)},
        {"one second past a grid point", At(10, 15, 1), 900, 0, 0, At(10, 30)},
        {"the grid runs past midnight", At(23, 50), 7200, 9, 0, At(1, 0) + kDay},
        {"start time 07:30, any 12 hours, at 20:00", At(20, 0), 43200, 7, 30, At(7, 30) + kDay},
        {"start time 07:30, any 12 hours, at 19:29", At(19, 29), 43200, 7, 30, At(19, 30)},
        {"midnight itself", At(0, 0), 600, 0, 0, At(0, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComputeNextStart(c.now, ScheduleControls{c.interval, c.hour, c.minute}), c.next) << c.what;
    }
}

TEST(ComputeNextStart, NoIntervalSchedulesNothing) {
    EXPECT_EQ(ComputeNextStart(At(10, 0), ScheduleControls{std::nullopt, 11, 0}), 0);
}

TEST(FormatCountdown, ShowsTheDifferenceAsATimeOfDay) {
    EXPECT_EQ(FormatCountdown(450), "00:07:30");
    EXPECT_EQ(FormatCountdown(0), "00:00:00");
    EXPECT_EQ(FormatCountdown(12 * 3600 + 1), "12:00:01");
    EXPECT_EQ(FormatCountdown(kDay - 1), "23:59:59");
    EXPECT_EQ(FormatCountdown(kDay), "00:00:00") << "24 hours start again";
    EXPECT_EQ(FormatCountdown(kDay + 61), "00:01:01");
}

TEST(ScheduleTick, CountsDownWhileWaitingAndKeepsQuietDuringARun) {
    TickDecision waiting = ScheduleTick(At(10, 7, 30), At(10, 15), false, 900, false, ServiceState::kNotInstalled);
    EXPECT_EQ(waiting.action, TickAction::kShowCountdown);
    EXPECT_EQ(waiting.countdown, "00:07:30");
    EXPECT_EQ(waiting.nextStart, At(10, 15));

    TickDecision running = ScheduleTick(At(10, 7, 30), At(10, 15), true, 900, false, ServiceState::kNotInstalled);
    EXPECT_EQ(running.action, TickAction::kNone);
    EXPECT_EQ(running.nextStart, At(10, 15));
}

TEST(ScheduleTick, ARunLongerThanTheIntervalDelaysTheNextOneButNotTheGrid) {
    // Due at 10:15 while the run of 10:00 is still busy: the start waits, tick after tick.
    LocalSeconds nextStart = At(10, 15);
    TickDecision decision = ScheduleTick(At(10, 15), nextStart, true, 900, false, ServiceState::kNotInstalled);
    EXPECT_EQ(decision.action, TickAction::kWaitForRun);
    EXPECT_EQ(decision.nextStart, At(10, 15));
    decision = ScheduleTick(At(10, 16, 40), nextStart, true, 900, false, ServiceState::kNotInstalled);
    EXPECT_EQ(decision.action, TickAction::kWaitForRun);

    // The run ended at 10:16:41: the next one starts at once, and the grid goes on from the due time.
    decision = ScheduleTick(At(10, 16, 41), nextStart, false, 900, false, ServiceState::kNotInstalled);
    EXPECT_EQ(decision.action, TickAction::kStartRun);
    EXPECT_EQ(decision.nextStart, At(10, 30));
}

TEST(ScheduleTick, AScheduleThatFellBehindCatchesUpOneRunAtATime) {
    LocalSeconds nextStart = At(8, 0);
    const LocalSeconds now = At(9, 1);  // a sleeping computer woke up
    int starts = 0;
    for (int tick = 0; tick < 20; ++tick) {
        const TickDecision decision = ScheduleTick(now, nextStart, false, 900, true, ServiceState::kNotInstalled);
        if (decision.action == TickAction::kStartRun) ++starts;
        nextStart = decision.nextStart;
    }
    EXPECT_EQ(starts, 5) << "08:00, 08:15, 08:30, 08:45 and 09:00";
    EXPECT_EQ(nextStart, At(9, 15));
}

TEST(ScheduleTick, AnInteractiveProcessLeavesRunsToARunningService) {
    for (const ServiceState serviceState : {ServiceState::kStartPending, ServiceState::kRunning}) {
        LocalSeconds nextStart = At(10, 15);
        for (int tick = 0; tick < 3; ++tick) {
            const TickDecision decision = ScheduleTick(At(10, 15), nextStart, false, 900, false, serviceState);
            ASSERT_EQ(decision.action, tick == 0 ? TickAction::kLeaveToService : TickAction::kShowCountdown);
            nextStart = decision.nextStart;
        }
        EXPECT_EQ(nextStart, At(10, 30)) << "the countdown moves on from due time to due time";
    }
    for (const ServiceState serviceState :
         {ServiceState::kNotInstalled, ServiceState::kStopped, ServiceState::kStopPending, ServiceState::kPaused}) {
        EXPECT_EQ(ScheduleTick(At(10, 15), At(10, 15), false, 900, false, serviceState).action, TickAction::kStartRun)
            << static_cast<int>(serviceState);
    }
    EXPECT_EQ(ScheduleTick(At(10, 15), At(10, 15), false, 900, true, ServiceState::kRunning).action,
              TickAction::kStartRun)
        << "the service process itself runs";
}

TEST(ScheduleTick, NothingHappensWithoutASchedule) {
    EXPECT_EQ(ScheduleTick(At(10, 0), 0, false, 900, false, ServiceState::kNotInstalled).action, TickAction::kNone);
    const TickDecision noInterval =
        ScheduleTick(At(10, 0), At(9, 0), false, std::nullopt, false, ServiceState::kNotInstalled);
    EXPECT_EQ(noInterval.action, TickAction::kNone);
    EXPECT_EQ(noInterval.nextStart, At(9, 0));
}

}  // namespace
}  // namespace zendrel
