#pragma once
// zendrel --run-once and zendrel --service: mailbox runs on the saved settings, without a window.

#include <ostream>

namespace zendrel {

// One run with the log on `out`. Returns 0 when the run logged in, 3 when the login failed, 1 when an allowed
// attachment could not be saved, 2 when there is no data folder.
int RunOnceCommand(bool logging, std::ostream& out, std::ostream& err);

// The background service's work: the main procedure in service mode without a window, runs at their due times, one
// at a time, the log on `out` and in "log.txt", until SIGTERM or SIGINT (then 0). Returns 2 without looping when no
// read interval is selected or there is no data folder.
int ServiceCommand(bool logging, std::ostream& out, std::ostream& err);

}  // namespace zendrel
