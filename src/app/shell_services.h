#pragma once
// What every start of the shell needs beside its two views: the system's services, the one-writer log file, the
// mailbox run, and the texts and examined Message-IDs that the shell shares with its runs.

#include <memory>

#include "app/mailbox_shell_run.h"
#include "app/shell.h"
#include "platform/data_folder_locks.h"
#include "platform/locked_log_files.h"
#include "platform/service_controller.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"

namespace zendrel {

class ShellServices {
public:
    ShellServices();
    ShellServices(const ShellServices&) = delete;
    ShellServices& operator=(const ShellServices&) = delete;

    // The parts for MainProcedure with these services, the views and the data folder, the default save folder and
    // the sign-in filled in; the caller adds what its start alone has (arguments, the service program, the pause).
    ShellParts Parts(MainView& mainView, AdvancedView& advancedView, OAuthSettingsView& oauthView,
                     const DataFolderPlaces& places);

private:
    std::shared_ptr<InterfaceTexts> texts_ = std::make_shared<InterfaceTexts>();
    std::shared_ptr<HandledMessageIds> handledMessageIds_ = std::make_shared<HandledMessageIds>();
    std::unique_ptr<ServiceController> serviceController_ = CreateServiceController();
    std::unique_ptr<StartupShortcuts> shortcuts_ = CreateStartupShortcuts();
    std::unique_ptr<SystemInfo> system_ = CreateSystemInfo();
    std::unique_ptr<DataFolderLocks> locks_ = CreateDataFolderLocks();
    LockedLogFiles files_;
    MailboxShellRun run_;
    std::unique_ptr<WindowSignIn> signIn_;
};

// The data folder as the window and the service find it: the common application-data folder, the former per-user
// one, or ZENDREL_DATA_DIR.
DataFolderPlaces LocateProgramDataFolder();

}  // namespace zendrel
