#include "app/main_procedure.h"

#include <memory>

namespace zendrel {

ShellOutcome MainProcedure(std::int32_t serviceMode, const ShellParts& parts) {
    auto shell = std::make_unique<Shell>(parts, serviceMode);
    ShellOutcome outcome;
    outcome.startUp = shell->StartUp();
    if (outcome.startUp != StartUpResult::Continue) return outcome;
    parts.mainView->RunEventLoop(*shell);
    outcome.runLeftBehind = shell->RunLeftBehind();
    // A run left behind still writes its rows through the shell's activity log, and the process ends without
    // waiting for it: the shell must not be torn down under it.
    if (outcome.runLeftBehind) static_cast<void>(shell.release());
    return outcome;
}

}  // namespace zendrel
