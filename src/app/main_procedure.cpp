#include "app/main_procedure.h"

namespace zendrel {

ShellOutcome MainProcedure(bool serviceMode, const ShellParts& parts) {
    Shell shell(parts, serviceMode);
    ShellOutcome outcome;
    outcome.startUp = shell.StartUp();
    if (outcome.startUp != StartUpResult::kContinue) return outcome;
    parts.mainView->RunEventLoop(shell);
    outcome.runLeftBehind = shell.RunLeftBehind();
    return outcome;
}

}  // namespace zendrel
