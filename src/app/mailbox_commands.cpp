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
#include "app/shell_services.h"
#include "job/remembered_mails.h"
#include "oauth/token_store.h"
#include "job/run_control.h"
#include "job/sender_list.h"
#include "platform/data_folder_locks.h"
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

// The log of a process without a window, held together: the run shares it through the log.
struct ConsoleLog {
    ConsoleLog(const std::filesystem::path& dataFolder, std::ostream& out) : view(out), log(dataFolder, view, files) {}
    ConsoleLogView view;
    LockedLogFiles files;
    ActivityLog log;
};

// Everything a windowless process keeps for its runs, in the place of the window's controls. The run shares what it
// reads, so a run that a stop could not end in time never reads freed memory.
class WindowlessProcess {
public:
    WindowlessProcess(SavedSettings saved, std::shared_ptr<const InterfaceTexts> texts,
                      std::shared_ptr<HandledMessageIds> handledMessageIds, bool logging, std::ostream& out)
        : saved_(std::move(saved)), logging_(logging), texts_(std::move(texts)),
          handledMessageIds_(std::move(handledMessageIds)),
          log_(std::make_shared<ConsoleLog>(saved_.dataFolder, out)),
          allowedSenders_(std::make_shared<FixedSenderList>(saved_.record.allowedSenders)),
          blockedSenders_(std::make_shared<FixedSenderList>(saved_.record.blockedSenders)) {}

    const SettingsRecord& Record() const { return saved_.record; }
    RunController& Controller() { return controller_; }

    // What a start came to: kHeld when another run on the data folder holds its run lock; the line that says so is
    // in the log then.
    enum class Start { kStarted, kHeld, kFailed };

    Start StartRun(bool serviceMode) {
        RunLockResult lock = CreateDataFolderLocks()->LockRun(saved_.dataFolder);
        if (lock.state == RunLockState::kHeld) {
            log_->log.WriteLog(texts_->Text(TextKey::kMsgRunSkipped), LogDestination::kView);
            return Start::kHeld;
        }
        RunServices services;
        services.heldUntilEnded = std::move(lock.lock);
        services.rememberedMailsFile = saved_.dataFolder / kRememberedMailsFileName;
        services.tokenFile = saved_.dataFolder / kTokenFileName;
        services.log = std::shared_ptr<ActivityLog>(log_, &log_->log);
        services.texts = texts_;
        services.handledMessageIds = handledMessageIds_;
        services.allowedSenders = allowedSenders_;
        services.blockedSenders = blockedSenders_;
        services.loggingFlag = logging_;
        const bool started = controller_.Start(
            [&](JobParameters& parameters) { FillJobParameters(saved_.record, serviceMode, parameters); },
            std::move(services));
        return started ? Start::kStarted : Start::kFailed;
    }

private:
    SavedSettings saved_;
    bool logging_;
    std::shared_ptr<const InterfaceTexts> texts_;
    std::shared_ptr<HandledMessageIds> handledMessageIds_;
    std::shared_ptr<ConsoleLog> log_;
    std::shared_ptr<const SenderList> allowedSenders_;
    std::shared_ptr<const SenderList> blockedSenders_;
    RunController controller_;
};

// The settings as the window's start-up loads them; the texts and the handled Message-IDs live as long as the process.
std::unique_ptr<WindowlessProcess> StartProcess(bool logging, std::ostream& out, std::ostream& err) {
    auto texts = std::make_shared<InterfaceTexts>();
    auto handledMessageIds = std::make_shared<HandledMessageIds>();
    std::optional<SavedSettings> saved = PrepareAndLoadSettings(*texts, *handledMessageIds);
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
    if (!CatchStopSignals()) err << "zendrel: the stop signals cannot be caught; a stop ends the run at once\n";
    switch (process->StartRun(false)) {
        case WindowlessProcess::Start::kStarted:
            break;
        case WindowlessProcess::Start::kHeld:
            return 4;
        case WindowlessProcess::Start::kFailed:
            err << "zendrel: the run could not be started\n";
            return 1;
    }
    // The run's end wakes the wait at once; a signal is noticed within one check.
    while (!process->Controller().WaitUntilEnded(kSignalCheck)) {
        if (StopSignalReceived() && !process->Controller().Stop()) LeaveRunBehind(out, 1);
    }
    const RunReport report = process->Controller().LastReport();
    if (!report.loggedIn) return 3;
    return report.failed || report.unsavedAttachments > 0 ? 1 : 0;
}

int ServiceCommand(bool logging, std::ostream& out, std::ostream& err) {
    const DataFolderPlaces places = LocateProgramDataFolder();
    if (places.dataFolder.empty()) {
        err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
        return 2;
    }
    if (!CatchStopSignals()) {
        err << "zendrel: the stop signals cannot be caught, so the service could not end its runs cleanly\n";
        return 1;
    }
    ConsoleLogView view(out);
    HeadlessMainView mainView(view, StopSignalReceived);
    MemoryAdvancedView advancedView;
    MemoryOAuthSettingsView oauthView;
    ShellServices services;
    ShellParts parts = services.Parts(mainView, advancedView, oauthView, places);
    if (logging) parts.arguments.push_back("-logging");
    parts.schedulePaused = ServicePaused;

    const ShellOutcome outcome = MainProcedure(true, parts);
    if (outcome.startUp == StartUpResult::kNothingToSchedule) {
        err << "zendrel: the saved settings select no read interval (TimeOUT), so there is nothing to schedule\n";
        return 2;
    }
    if (outcome.runLeftBehind) LeaveRunBehind(out, 0);
    return 0;
}

}  // namespace zendrel
