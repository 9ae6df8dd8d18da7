#include "app/ui/win32/win32_program.h"

#include <cstdlib>
#include <memory>
#include <ostream>

#include "app/mailbox_commands.h"
#include "app/main_procedure.h"
#include "app/shell_services.h"
#include "app/ui/win32/win32_advanced_view.h"
#include "app/ui/win32/win32_main_view.h"
#include "app/ui/win32/win32_oauth_settings_view.h"
#include "platform/com_pointer.h"

namespace zendrel {

int RunWin32Program(const std::vector<std::string>& arguments, bool logging) {
    // The folder chooser and the shell links need COM on the window's thread.
    const ComScope com;
    win32::Win32MainView mainView;
    win32::Win32AdvancedView advancedView(mainView);
    win32::Win32OAuthSettingsView oauthView(mainView);
    ShellServices services;
    ShellParts parts = services.Parts(mainView, advancedView, oauthView, LocateProgramDataFolder());
    parts.arguments = arguments;
    // A service has no desktop and no notification area: inside the service the main procedure runs without a
    // window, as `zendrel --service` does, and ends when the service manager asks the service to stop.
    parts.serviceProgram = [logging](bool) {
        std::ostream nowhere(nullptr);
        ServiceCommand(logging, nowhere, nowhere);
    };

    const ShellOutcome outcome = MainProcedure(false, parts);
    // The service's program thread, or a run that did not stop in time, may still use what lies on this stack: the
    // process ends without taking it down.
    if (outcome.startUp == StartUpResult::kRanAsService || outcome.runLeftBehind) std::_Exit(0);
    return 0;
}

}  // namespace zendrel
