#include "app/schedule.h"

#include "common/local_time.h"
#include "common/text.h"

namespace zendrel {
namespace {

constexpr LocalSeconds kDay = 86400;

}  // namespace

LocalSeconds ComputeNextStart(LocalSeconds now, const ScheduleControls& controls) {
    if (!controls.intervalSeconds || *controls.intervalSeconds <= 0) return 0;
    const LocalSeconds interval = *controls.intervalSeconds;
    const LocalSeconds midnight = now - ((now % kDay) + kDay) % kDay;
    LocalSeconds candidate =
        midnight + LocalSeconds{controls.startHour} * 3600 + LocalSeconds{controls.startMinute} * 60;
    if (candidate < now) candidate += (now - candidate + interval - 1) / interval * interval;
    return candidate;
}

std::string FormatCountdown(LocalSeconds difference) {
    const LocalSeconds timeOfDay = ((difference % kDay) + kDay) % kDay;
    std::string text;
    AppendTwoDigits(text, timeOfDay / 3600);
    text += ':';
    AppendTwoDigits(text, timeOfDay / 60 % 60);
    text += ':';
    AppendTwoDigits(text, timeOfDay % 60);
    return text;
}

TickDecision ScheduleTick(LocalSeconds now, LocalSeconds nextStart, bool runActive,
                          std::optional<std::int32_t> intervalSeconds, bool serviceMode,
                          ServiceState lastServiceState) {
    TickDecision decision;
    decision.nextStart = nextStart;
    if (nextStart > now) {
        if (!runActive) {
            decision.action = TickAction::kShowCountdown;
            decision.countdown = FormatCountdown(nextStart - now);
        }
        return decision;
    }
    if (nextStart <= 0 || !intervalSeconds) return decision;
    const bool serviceDoesIt =
        !serviceMode && (lastServiceState == ServiceState::kRunning || lastServiceState == ServiceState::kStartPending);
    if (serviceDoesIt) {
        decision.action = TickAction::kLeaveToService;
    } else if (!runActive) {
        decision.action = TickAction::kStartRun;
    } else {
        decision.action = TickAction::kWaitForRun;
        return decision;
    }
    decision.nextStart = nextStart + *intervalSeconds;
    return decision;
}

}  // namespace zendrel
