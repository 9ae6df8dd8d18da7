#include "app/mailbox_commands.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/console_log_view.h"
#include "app/mailbox_shell_run.h"
#include "app/main_procedure.h"
#include "app/memory_views.h"
#include "app/saved_settings.h"
#include "app/schedule.h"
#include "job/run_control.h"
#include "job/sender_list.h"
#include "platform/known_folders.h"
#include "platform/locked_log_files.h"
#include "platform/service_controller.h"
#include "platform/startup_shortcut.h"
#include "platform/stop_signals.h"
#include "platform/system_info.h"
#include "settings/data_folder.h"

namespace zendrel {
namespace {

constexpr std::chrono::milliseconds kSignalCheck(50);

// Everything a windowless process keeps for its runs, in the place of the window's controls.
class WindowlessProcess {
public:
    WindowlessProcess(SavedSettings saved, const InterfaceTexts& texts, HandledMessageIds& handledMessageIds,
                      bool logging, std::ostream& out)
        : saved_(std::move(saved)),
          logging_(logging),
          texts_(texts),
          handledMessageIds_(handledMessageIds),
          view_(out),
          log_(saved_.dataFolder, view_, files_),
          allowedSenders_(saved_.record.allowedSenders),
          blockedSenders_(saved_.record.blockedSenders) {}

    const SettingsRecord& Record() const { return saved_.record; }
    RunController& Controller() { return controller_; }
    const RunReport& LastReport() const { return report_; }

    bool StartRun(std::int32_t serviceMode) {
        FillJobParameters(saved_.record, serviceMode, parameters_);
        RunServices services;
        services.log = &log_;
        services.texts = &texts_;
        services.handledMessageIds = &handledMessageIds_;
        services.allowedSenders = &allowedSenders_;
        services.blockedSenders = &blockedSenders_;
        services.loggingFlag = logging_;
        services.report = &report_;
        return controller_.Start(services);
    }

private:
    SavedSettings saved_;
    bool logging_;
    const InterfaceTexts& texts_;
    HandledMessageIds& handledMessageIds_;
    ConsoleLogView view_;
    LockedLogFiles files_;
    ActivityLog log_;
    FixedSenderList allowedSenders_;
    FixedSenderList blockedSenders_;
    JobParameters parameters_;
    RunController controller_{parameters_};
    RunReport report_;
};

// The settings as the window's start-up loads them; the texts and the handled Message-IDs live as long as the process.
std::unique_ptr<WindowlessProcess> StartProcess(bool logging, std::ostream& out, std::ostream& err) {
    static InterfaceTexts texts;
    static HandledMessageIds handledMessageIds;
    std::optional<SavedSettings> saved = PrepareAndLoadSettings(texts, handledMessageIds);
    if (!saved) {
        err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
        return nullptr;
    }
    return std::make_unique<WindowlessProcess>(std::move(*saved), texts, handledMessageIds, logging, out);
}

// A run that ignores a stop cannot be waited for: the process ends without it, which also ends its conversation.
[[noreturn]] void LeaveRunBehind(std::ostream& out, int status) {
    out.flush();
    std::_Exit(status);
}

}  // namespace

int RunOnceCommand(bool logging, std::ostream& out, std::ostream& err) {
    std::unique_ptr<WindowlessProcess> process = StartProcess(logging, out, err);
    if (!process) return 2;
    CatchStopSignals();
    if (!process->StartRun(0)) {
        err << "zendrel: the run could not be started\n";
        return 1;
    }
    while (process->Controller().Active()) {
        if (StopSignalReceived() && !process->Controller().Stop()) LeaveRunBehind(out, 1);
        std::this_thread::sleep_for(kSignalCheck);
    }
    const RunReport& report = process->LastReport();
    if (!report.loggedIn) return 3;
    return report.unsavedAttachments > 0 ? 1 : 0;
}

int ServiceCommand(bool logging, std::ostream& out, std::ostream& err) {
    static InterfaceTexts texts;
    static HandledMessageIds handledMessageIds;
    const DataFolderPlaces places = LocateDataFolder(SpecialFolder(kFolderCommonAppData),
                                                     SpecialFolder(kFolderAppData), std::getenv(kDataFolderVariable));
    if (places.dataFolder.empty()) {
        err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
        return 2;
    }
    CatchStopSignals();
    ConsoleLogView view(out);
    HeadlessMainView mainView(view, StopSignalReceived);
    MemoryAdvancedView advancedView;
    std::unique_ptr<ServiceController> serviceController = CreateServiceController();
    std::unique_ptr<StartupShortcuts> shortcuts = CreateStartupShortcuts();
    std::unique_ptr<SystemInfo> system = CreateSystemInfo();
    LockedLogFiles files;
    MailboxShellRun run(texts, handledMessageIds);

    ShellParts parts;
    parts.mainView = &mainView;
    parts.advancedView = &advancedView;
    parts.serviceController = serviceController.get();
    parts.shortcuts = shortcuts.get();
    parts.system = system.get();
    parts.run = &run;
    parts.texts = &texts;
    parts.handledMessageIds = &handledMessageIds;
    parts.logFiles = &files;
    parts.places = places;
    parts.defaultSaveDir = GetSpecialFolderPath(kFolderProfile);
    if (logging) parts.arguments.push_back("-logging");

    const ShellOutcome outcome = MainProcedure(1, parts);
    if (outcome.startUp == StartUpResult::NothingToSchedule) {
        err << "zendrel: the saved settings select no read interval (TimeOUT), so there is nothing to schedule\n";
        return 2;
    }
    if (outcome.runLeftBehind) LeaveRunBehind(out, 0);
    return 0;
}

}  // namespace zendrel
