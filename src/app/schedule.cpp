#include "app/schedule.h"

#include "common/local_time.h"

namespace zendrel {
namespace {

constexpr LocalDate kDay = 86400;
constexpr int kServiceStartPending = 2;
constexpr int kServiceRunning = 4;

void AppendTwoDigits(std::string& out, LocalDate value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

LocalDate LocalDateOf(const std::tm& localTime) { return LocalSecondsOf(localTime); }

LocalDate CurrentLocalDate() { return CurrentLocalSeconds(); }

LocalDate ComputeNextStart(LocalDate now, const ScheduleControls& controls) {
    if (!controls.intervalSeconds || *controls.intervalSeconds <= 0) return 0;
    const LocalDate interval = *controls.intervalSeconds;
    const LocalDate midnight = now - ((now % kDay) + kDay) % kDay;
    LocalDate candidate = midnight + LocalDate{controls.startHour} * 3600 + LocalDate{controls.startMinute} * 60;
    if (candidate < now) candidate += (now - candidate + interval - 1) / interval * interval;
    return candidate;
}

std::string FormatCountdown(LocalDate difference) {
    const LocalDate timeOfDay = ((difference % kDay) + kDay) % kDay;
    std::string text;
    AppendTwoDigits(text, timeOfDay / 3600);
    text += ':';
    AppendTwoDigits(text, timeOfDay / 60 % 60);
    text += ':';
    AppendTwoDigits(text, timeOfDay % 60);
    return text;
}

TickDecision ScheduleTick(LocalDate now, LocalDate nextStart, bool runActive,
                          std::optional<std::int32_t> intervalSeconds, int serviceMode, int lastServiceState) {
    TickDecision decision;
    decision.nextStart = nextStart;
    if (nextStart > now) {
        if (!runActive) {
            decision.action = TickAction::ShowCountdown;
            decision.countdown = FormatCountdown(nextStart - now);
        }
        return decision;
    }
    if (nextStart <= 0 || !intervalSeconds) return decision;
    const bool serviceDoesIt =
        serviceMode == 0 && (lastServiceState == kServiceRunning || lastServiceState == kServiceStartPending);
    if (serviceDoesIt) {
        decision.action = TickAction::LeaveToService;
    } else if (!runActive) {
        decision.action = TickAction::StartRun;
    } else {
        decision.action = TickAction::WaitForRun;
        return decision;
    }
    decision.nextStart = nextStart + *intervalSeconds;
    return decision;
}

}  // namespace zendrel
