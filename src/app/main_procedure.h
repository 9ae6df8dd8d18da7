#pragma once
// The program's main procedure: the shell's start-up, its event loop and its end, in an interactive process (0) and
// in the service (1).

#include <cstdint>

#include "app/shell.h"

namespace zendrel {

struct ShellOutcome {
    StartUpResult startUp = StartUpResult::kContinue;
    // The quit path left a run behind that had not ended: the process must end without waiting for it or tearing
    // down what it still uses (the parts given to the shell).
    bool runLeftBehind = false;
};

ShellOutcome MainProcedure(bool serviceMode, const ShellParts& parts);

}  // namespace zendrel
