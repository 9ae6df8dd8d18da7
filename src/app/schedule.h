#pragma once
// When mailbox runs start: a grid of the daily start time plus whole read intervals.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "common/local_time.h"
#include "common/service_state.h"

namespace zendrel {

// Whole seconds of local time counted from 1970-01-01 00:00:00 (every day 86400 of them); 0 means none.
using LocalSeconds = std::int64_t;

// The controls the schedule reads: the interval's seconds (none when no interval is selected) and the start time's
// hour and minute positions.
struct ScheduleControls {
    std::optional<std::int32_t> intervalSeconds;
    int startHour = 0;
    int startMinute = 0;
};

// The next start: today's start time while it is still ahead (a candidate equal to `now` counts), otherwise the first
// start time + k intervals that is not in the past. 0 (nothing scheduled) without an interval: the grid has no step.
LocalSeconds ComputeNextStart(LocalSeconds now, const ScheduleControls& controls);

// The countdown text: the difference as a time of day "%hh:%ii:%ss"; 24 hours or more start again at 00:00:00.
std::string FormatCountdown(LocalSeconds difference);

enum class TickAction {
    kNone,            // nothing due, nothing to show
    kShowCountdown,   // waiting: show `countdown`
    kStartRun,        // start a run now
    kLeaveToService,  // the background service does this run
    kWaitForRun,      // due, but the previous run is still active; try again at the next tick
};

struct TickDecision {
    TickAction action = TickAction::kNone;
    LocalSeconds nextStart = 0;  // advanced by one interval for a start or a run left to the service
    std::string countdown;
};

// What one tick of the 500 ms schedule timer does. `serviceMode` is true in the background service; `lastServiceState`
// is the service's state as last seen.
TickDecision ScheduleTick(LocalSeconds now, LocalSeconds nextStart, bool runActive,
                          std::optional<std::int32_t> intervalSeconds, bool serviceMode,
                          ServiceState lastServiceState);

}  // namespace zendrel
