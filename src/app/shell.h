#pragma once
// The program's shell: start-up, the logic of both windows, the schedule tick and the quit path. It reaches the
// screen only through the views and the system only through the platform's interfaces, so every decision here runs
// the same under a window, in the windowless service and in the tests.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule.h"
#include "app/shell_run.h"
#include "app/views.h"
#include "app/window_sign_in.h"
#include "common/local_time.h"
#include "common/shared_log_file.h"
#include "job/activity_log.h"
#include "job/handled_message_ids.h"
#include "job/interface_texts.h"
#include "platform/data_folder_locks.h"
#include "platform/service_controller.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"
#include "settings/data_folder.h"
#include "settings/settings_file.h"

namespace zendrel {

inline constexpr std::string_view kDonationAddress = "https://zendrel.org/donate";

// Everything the shell works with; the objects behind the plain pointers outlive the shell and its runs.
struct ShellParts {
    MainView* mainView = nullptr;
    AdvancedView* advancedView = nullptr;
    OAuthSettingsView* oauthView = nullptr;
    WindowSignIn* signIn = nullptr;  // the window's sign-in in the browser
    ServiceController* serviceController = nullptr;
    StartupShortcuts* shortcuts = nullptr;
    SystemInfo* system = nullptr;
    ShellRun* run = nullptr;
    DataFolderLocks* locks = nullptr;  // none: windows and runs exclude nobody
    // Shared with the runs, which may outlive a quit that could not wait for them.
    std::shared_ptr<InterfaceTexts> texts;
    std::shared_ptr<HandledMessageIds> handledMessageIds;
    SharedLogFiles* logFiles = nullptr;
    DataFolderPlaces places;     // an empty data folder: none known, the settings are the defaults
    std::string defaultSaveDir;  // the user's home folder, for a settings file that names no save folder
    std::vector<std::string> arguments;
    std::function<LocalSeconds()> now = CurrentLocalSeconds;
    std::function<std::tm()> logTime = CurrentLocalTime;
    // What the service dispatcher runs when the service manager started this process: the main procedure with 1.
    ServiceProgram serviceProgram;
    // Whether the service manager has paused this service; due starts then pass without runs. None: never paused.
    std::function<bool()> schedulePaused;
    // How long a stop waits for the run to end by itself.
    std::chrono::milliseconds stopWait{1000};
};

enum class StartUpResult {
    kContinue,           // enter the event loop
    kRanAsService,       // the process was the service, which has ended: leave at once
    kNothingToSchedule,  // a service process whose settings select no read interval
    kAlreadyOpen,        // a window on this data folder is open already and has been asked to come forward
};

class Shell final : public MainEvents {
public:
    Shell(ShellParts parts, bool serviceMode);
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    StartUpResult StartUp();

    void OnQuit() override;
    void OnAbout() override;
    void OnLanguageChosen(MenuItem language) override;
    void OnRunNow() override;
    void OnCheckConnection() override;
    void OnMinimised() override;
    void OnTrayDoubleClick() override;
    void OnAdvancedButton() override;
    void OnAdvancedClosed() override;
    void OnBrowseButton() override;
    void OnDonateButton() override;
    void OnClearLogButton() override;
    void OnInputChanged() override;
    void OnSecurityChanged() override;
    void OnAuthenticationChanged() override;
    void OnOAuthSettingsButton() override;
    void OnOAuthSettingsClosed(bool accepted) override;
    void OnSignInButton() override;
    void OnStartStopButton() override;
    void OnServiceCheckChanged() override;
    void OnShortcutCheckChanged() override;
    void OnSenderListClicked(SenderListKind list) override;
    void OnSenderAddButton(SenderListKind list) override;
    void OnSenderDeleteButton(SenderListKind list) override;
    void OnScheduleTimer() override;
    void OnLogPollTimer() override;

    // The service manager's pause control: while paused, due starts pass without a run.
    void PauseSchedule() { paused_ = true; }
    void ResumeSchedule() { paused_ = false; }

    void SetInputsLocked(bool locked);
    // Switches the texts and rewrites what is on the screen; see WriteMainTexts for what stays.
    void ApplyLanguage(std::string_view language);

    // The quit path has run and the run it stopped had not ended by then.
    bool RunLeftBehind() const { return runLeftBehind_; }
    LocalSeconds NextStart() const { return nextStart_; }
    ServiceState LastServiceState() const { return lastServiceState_; }
    ServiceState ServiceInstalled() const { return serviceInstalled_; }
    const std::string& StartupShortcutPath() const { return startupShortcutPath_; }
    bool LoggingFlag() const { return loggingFlag_; }

private:
    void BuildMainWindow();
    void BuildAdvancedWindow();
    void FillCombos();
    void LoadSettingsIntoControls();
    void StartUpByServiceState();
    // The window from the tray or from behind others, to the front.
    void BringForward();
    void WriteMainTexts(bool stopRole);
    void WriteAdvancedTexts();
    void WriteOAuthTexts();
    // The authentication drop-down as the sign-in settings say, and the controls that go with its choice.
    void ShowAuthentication();
    // The sign-in button's caption and the status text, after the sign-in or its waiting changed.
    void ShowSignInState();
    // The server, port and security of `provider`, each where the box is empty or holds what nobody chose.
    void FillProviderPreset(std::string_view provider);
    // The OAuth settings window's boxes into `signIn_`: false, with a message shown, when a box is refused.
    bool AcceptOAuthSettings();
    void EndSignIn(const WindowSignInEnd& end);
    void ShowSubFolderHelp();

    void StartRole();
    void StopRole();
    // Starts a run with the controls as they are; false when none was started.
    bool StartRun(RunKind kind);
    // The start button's caption, and the tray menu's item that stands for the button.
    void SetStartStopCaption(TextKey caption);
    // The run slot is free for a run outside the schedule: no run active, and no service doing the work.
    bool RunSlotFree() const;
    // The enabled states of the commands that start runs, after what they depend on may have changed.
    void RefreshCommands();
    void InstallService();
    void UninstallService(MainControl askingBox);
    void LogSystemError(TextKey generalError, TextKey rightsError, std::uint32_t code);
    void Log(TextKey key);
    void Log(const std::string& text);

    // The first input that keeps a run from starting, with the words that say so; none when all are fine. Only the
    // inputs of the connection itself with `connectionOnly`.
    struct InputProblem {
        MainControl control;
        TextKey reason;
        bool operator==(const InputProblem&) const = default;
    };
    std::optional<InputProblem> FirstInvalidInput(bool connectionOnly) const;
    // The start button's tooltip and status tip name the problem found by the last validation, and its input is
    // marked; both in the language now shown.
    void ShowInputProblem();
    SettingsRecord ReadControls() const;
    void WriteControls(const SettingsRecord& record);
    ScheduleControls ScheduleControlsNow() const;
    std::string TextOf(TextKey key) const { return std::string(texts_.Text(key)); }

    ShellParts parts_;
    MainView& main_;
    AdvancedView& advanced_;
    OAuthSettingsView& oauth_;
    WindowSignIn& signIn_;
    ServiceController& services_;
    StartupShortcuts& shortcuts_;
    SystemInfo& system_;
    ShellRun& run_;
    InterfaceTexts& texts_;
    std::shared_ptr<ActivityLog> log_;

    const bool serviceMode_;
    bool loggingFlag_ = false;
    LocalSeconds nextStart_ = 0;
    ServiceState lastServiceState_ = ServiceState::kNotInstalled;
    ServiceState serviceInstalled_ = ServiceState::kNotInstalled;
    std::string startupShortcutPath_;
    bool mainBuilt_ = false;
    bool advancedBuilt_ = false;
    bool oauthBuilt_ = false;
    bool paused_ = false;
    bool runLeftBehind_ = false;
    std::unique_ptr<WindowClaim> windowClaim_;
    bool inputsLocked_ = false;
    std::optional<InputProblem> inputProblem_;  // as the last validation found it
    // The sign-in settings: the drop-down and the OAuth settings window change them, the saves write them.
    SignInSettings signInSettings_;
    // The stored sign-in's name as last read: none when not signed in.
    std::optional<std::string> signedInName_;
    bool signInWaiting_ = false;  // a sign-in in the browser has started and not yet ended
    std::optional<MainControl> marked_;         // the input the view shows marked
    std::string startHint_;                     // what the start button's tips say now
    // The commands' enabled states as the view shows them (run now, check connection, the tray's start and stop).
    std::optional<bool> runNowEnabled_;
    std::optional<bool> checkEnabled_;
    std::optional<bool> trayStartStopEnabled_;
    bool examiningShown_ = false;  // the schedule field shows the text of a run started outside the schedule
};

}  // namespace zendrel
