#include "app/shell.h"

#include <array>
#include <initializer_list>
#include <system_error>
#include <utility>

#include "app/command_line.h"
#include "app/version.h"
#include "common/text.h"
#include "job/placeholders.h"
#include "mime/sub_folder.h"
#include "platform/known_folders.h"
#include "settings/preference_reader.h"
#include "settings/read_intervals.h"

namespace zendrel {
namespace {

constexpr const char* kAboutTitle = "About Zendrel";
constexpr const char* kAboutText = "Zendrel V" ZENDREL_VERSION "\nWritten by the Zendrel developers.";

// The inputs that a running schedule freezes: the settings a run reads and the two system boxes.
constexpr std::array<MainControl, 14> kLockedMainControls = {
    MainControl::PasswordEdit,   MainControl::SaveDirEdit,      MainControl::ServerEdit,
    MainControl::SecurityCombo,  MainControl::PortEdit,         MainControl::UserNameEdit,
    MainControl::DeleteMailsCheck, MainControl::BrowseButton,   MainControl::IntervalCombo,
    MainControl::StartHourCombo, MainControl::StartMinuteCombo, MainControl::AdvancedButton,
    MainControl::ServiceCheck,   MainControl::ShortcutCheck};
constexpr std::array<AdvancedControl, 7> kLockedAdvancedControls = {
    AdvancedControl::SearchStringEdit, AdvancedControl::ExtensionsEdit, AdvancedControl::KeepBothRadio,
    AdvancedControl::ReplaceRadio,     AdvancedControl::SubFolderEdit,  AdvancedControl::SaveInlineCheck,
    AdvancedControl::RememberMailsCheck};

struct LabelText {
    MainControl label;
    TextKey key;
};
constexpr std::array<LabelText, 8> kMainLabels = {{
    {MainControl::ServerLabel, TextKey::LabelServer},
    {MainControl::SecurityLabel, TextKey::LabelSecurity},
    {MainControl::PortLabel, TextKey::LabelPort},
    {MainControl::UserNameLabel, TextKey::LabelUserName},
    {MainControl::PasswordLabel, TextKey::LabelPassword},
    {MainControl::IntervalLabel, TextKey::LabelInterval},
    {MainControl::StartTimeLabel, TextKey::LabelStartTime},
    {MainControl::SaveDirLabel, TextKey::LabelSaveDir},
}};

// The security drop-down's items: an item's index is the stored value (0 plain, 1 STARTTLS, 2 TLS).
constexpr std::array<TextKey, 3> kSecurityItems = {TextKey::SecurityNone, TextKey::SecurityStartTls,
                                                   TextKey::SecurityTls};
constexpr int kSecurityTls = 2;
// The usual ports of POP3 and of POP3 over TLS from the first byte; STARTTLS begins plain on the first.
constexpr std::string_view kPlainPort = "110";
constexpr std::string_view kTlsPort = "995";
constexpr std::int32_t kHighestPort = 65535;

struct SenderListControls {
    AdvancedControl list;
    AdvancedControl addButton;
    AdvancedControl deleteButton;
};

SenderListControls ControlsOf(SenderListKind kind) {
    if (kind == SenderListKind::Allowed) {
        return {AdvancedControl::AllowedList, AdvancedControl::AllowedAddButton, AdvancedControl::AllowedDeleteButton};
    }
    return {AdvancedControl::BlockedList, AdvancedControl::BlockedAddButton, AdvancedControl::BlockedDeleteButton};
}

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

bool IsFolder(const std::string& text) {
    // The program's text is Windows-1252; the file system takes the name as Unicode.
    const std::string utf8 = Windows1252ToUtf8(text);
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(std::u8string(utf8.begin(), utf8.end())), error);
}

class LoadDuties final : public SettingsLoadDuties {
public:
    LoadDuties(Shell& shell, HandledMessageIds* handledMessageIds)
        : shell_(shell), handledMessageIds_(handledMessageIds) {}
    void ApplyLanguage(const std::string& language) override { shell_.ApplyLanguage(language); }
    void ForgetHandledMessages() override {
        if (handledMessageIds_ != nullptr) handledMessageIds_->Clear();
    }

private:
    Shell& shell_;
    HandledMessageIds* handledMessageIds_;
};

}  // namespace

Shell::Shell(ShellParts parts, std::int32_t serviceMode)
    : parts_(std::move(parts)),
      main_(*parts_.mainView),
      advanced_(*parts_.advancedView),
      services_(*parts_.serviceController),
      shortcuts_(*parts_.shortcuts),
      system_(*parts_.system),
      run_(*parts_.run),
      texts_(*parts_.texts),
      log_(std::make_shared<ActivityLog>(parts_.places.dataFolder, parts_.mainView->Log(), *parts_.logFiles,
                                         parts_.logTime)),
      serviceMode_(serviceMode) {}

StartUpResult Shell::StartUp() {
    ApplyLanguage("english");
    for (const std::string& argument : parts_.arguments) {
        if (LowerCase(argument) == "-logging") loggingFlag_ = true;
    }
    lastServiceState_ = services_.QueryState(kServiceName);
    serviceInstalled_ = lastServiceState_;

    if (serviceMode_ == 0 && lastServiceState_ == kServiceStartPending && parts_.serviceProgram &&
        services_.RunAsService(kServiceName, parts_.serviceProgram, nullptr) != 0) {
        return StartUpResult::RanAsService;
    }

    BuildMainWindow();
    main_.SetStatusText(StatusField::ServiceField, std::string(texts_.ServiceStateText(lastServiceState_)));
    FillCombos();

    if (shortcuts_.Available()) startupShortcutPath_ = shortcuts_.FindStartupShortcut();
    if (!startupShortcutPath_.empty()) main_.SetChecked(MainControl::ShortcutCheck, true);

    if (!parts_.places.dataFolder.empty()) {
        PrepareDataFolder(parts_.places,
                          [this](const std::filesystem::path& folder) { system_.ProtectDataFolder(folder); });
        // An older version left the folder with the rights of the all-users folder above it, readable to every user;
        // the service runs as the local system account, which may narrow it.
        if (serviceMode_ == 1) system_.ProtectDataFolder(parts_.places.dataFolder);
    }
    // Two windows on one data folder would both run its schedule against the same mailbox; the second one only
    // brings the first forward.
    if (serviceMode_ == 0 && parts_.locks != nullptr && !parts_.places.dataFolder.empty()) {
        windowClaim_ = parts_.locks->ClaimWindow(parts_.places.dataFolder);
        if (!windowClaim_) return StartUpResult::AlreadyOpen;
    }
    BuildAdvancedWindow();
    LoadSettingsIntoControls();
    // The settings shown are then the defaults; the user must hear why, and whose folder it is.
    if (serviceMode_ == 0 && !parts_.places.dataFolder.empty() && system_.FolderRefused(parts_.places.dataFolder)) {
        const std::u8string folder = parts_.places.dataFolder.u8string();
        Log(FillPlaceholder(TextOf(TextKey::ErrDataFolderDenied), "{FOLDER}",
                            Utf8ToWindows1252Lossy(std::string(folder.begin(), folder.end()))));
    }
    StartUpByServiceState();

    main_.StartTimers();
    if (serviceMode_ == 1) {
        nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
        // A service that can never start a run would only idle; its manager should hear so at once.
        if (nextStart_ == 0) return StartUpResult::NothingToSchedule;
        main_.ShowTrayIcon(TextOf(TextKey::TipTrayService));
    } else {
        main_.ShowWindow();
    }
    return StartUpResult::Continue;
}

void Shell::BuildMainWindow() {
    main_.Create();
    main_.SetWindowTitle(std::string(kVersionText));
    mainBuilt_ = true;
    WriteMainTexts(false);
    // Where the platform has no service manager or no shortcuts, their boxes can never mean anything.
    if (!services_.Available()) main_.SetEnabled(MainControl::ServiceCheck, false);
    if (!shortcuts_.Available()) main_.SetEnabled(MainControl::ShortcutCheck, false);
}

void Shell::BuildAdvancedWindow() {
    advanced_.Create();
    advancedBuilt_ = true;
    WriteAdvancedTexts();
}

void Shell::FillCombos() {
    for (int position = 0; position < kReadIntervalCount; ++position) {
        main_.AddComboItem(MainControl::IntervalCombo, std::string(texts_.IntervalText(position)),
                           kReadIntervalSeconds[static_cast<std::size_t>(position)]);
    }
    for (int hour = 0; hour < 24; ++hour) main_.AddComboItem(MainControl::StartHourCombo, TwoDigits(hour), hour);
    for (int minute = 0; minute < 60; ++minute) {
        main_.AddComboItem(MainControl::StartMinuteCombo, TwoDigits(minute), minute);
    }
    for (std::size_t value = 0; value < kSecurityItems.size(); ++value) {
        main_.AddComboItem(MainControl::SecurityCombo, TextOf(kSecurityItems[value]), static_cast<std::int32_t>(value));
    }
}

void Shell::LoadSettingsIntoControls() {
    SettingsRecord record;
    LoadDuties duties(*this, parts_.handledMessageIds.get());
    // Without a data folder a relative path would read whatever file lies in the working folder.
    std::error_code error;
    const bool firstStart = parts_.places.dataFolder.empty() ||
                            !std::filesystem::exists(parts_.places.dataFolder / kSettingsFileName, error);
    if (parts_.places.dataFolder.empty()) {
        LoadSettingsFromBytes("", parts_.defaultSaveDir, record, duties);
    } else {
        LoadSettings(parts_.places.dataFolder, parts_.defaultSaveDir, record, duties);
    }
    // A new user meets the window in the system's language; a language once saved stays the user's choice.
    if (firstStart) ApplyLanguage(system_.PreferredLanguage());
    WriteControls(record);
}

void Shell::StartUpByServiceState() {
    if (lastServiceState_ > kServiceNotInstalled) {
        main_.SetChecked(MainControl::ServiceCheck, true);
        if (lastServiceState_ == kServiceStopped) {
            services_.Start(kServiceName);
            nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
        } else if (lastServiceState_ == kServiceRunning && serviceMode_ == 0) {
            SetStartStopCaption(TextKey::ButtonStop);
            SetInputsLocked(true);
            log_->TakeOverSharedLog(false);
            nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
            return;
        }
        SetInputsLocked(false);
        return;
    }
    SetInputsLocked(false);
    if (!parts_.places.dataFolder.empty()) {
        const std::filesystem::path sharedLog = parts_.places.dataFolder / ActivityLog::kSharedLogName;
        std::error_code error;
        if (!std::filesystem::exists(sharedLog, error)) parts_.logFiles->Open(sharedLog);
    }
}

void Shell::ApplyLanguage(std::string_view language) {
    const bool stopRole =
        mainBuilt_ && main_.Text(MainControl::StartStopButton) == texts_.Text(TextKey::ButtonStop);
    texts_.ApplyLanguage(language);
    if (advancedBuilt_) WriteAdvancedTexts();
    if (mainBuilt_) WriteMainTexts(stopRole);
}

// The status fields, the tray tooltip and the log rows keep their texts: they change with the next tick, the next
// service state or never.
void Shell::WriteMainTexts(bool stopRole) {
    const bool german = texts_.CurrentLanguage() == Language::German;
    main_.SetMenuChecked(MenuItem::German, german);
    main_.SetMenuChecked(MenuItem::English, !german);
    // The menus' later items follow the language; the first ones keep their fixed English words.
    main_.SetMenuText(MenuItem::RunNow, TextOf(TextKey::MenuRunNow));
    main_.SetMenuText(MenuItem::CheckConnection, TextOf(TextKey::MenuCheckConnection));
    main_.SetMenuText(MenuItem::TrayShow, TextOf(TextKey::MenuShow));
    main_.SetMenuText(MenuItem::TrayRunNow, TextOf(TextKey::MenuRunNow));
    main_.SetMenuText(MenuItem::TrayQuit, TextOf(TextKey::MenuQuit));
    main_.SetText(MainControl::PreferencesFrame, TextOf(TextKey::FramePreferences));
    for (const LabelText& label : kMainLabels) main_.SetText(label.label, TextOf(label.key) + ":");
    main_.SetText(MainControl::AdvancedButton, TextOf(TextKey::ButtonAdvanced));
    main_.SetText(MainControl::ShortcutCheck, TextOf(TextKey::CheckShortcut));
    main_.SetText(MainControl::ServiceCheck, TextOf(TextKey::CheckService));
    main_.SetText(MainControl::DeleteMailsCheck, TextOf(TextKey::CheckDeleteMails));
    SetStartStopCaption(stopRole ? TextKey::ButtonStop : TextKey::ButtonStart);
    main_.SetText(MainControl::LogFrame, TextOf(TextKey::FrameLog) + ":");
    main_.SetTooltip(MainControl::DonateButton, TextOf(TextKey::TipDonate));
    main_.SetTooltip(MainControl::ClearLogButton, TextOf(TextKey::TipClearLog));
    main_.SetInputRefusalText(TextOf(TextKey::TipRefusedCharacter));
    // A box that stays disabled says why.
    if (!services_.Available()) main_.SetTooltip(MainControl::ServiceCheck, TextOf(TextKey::TipNoServiceManager));
    for (int item = 0; item < main_.ComboItemCount(MainControl::IntervalCombo); ++item) {
        const std::optional<int> position =
            ReadIntervalPosition(main_.ComboItemData(MainControl::IntervalCombo, item));
        if (position) {
            main_.SetComboItemText(MainControl::IntervalCombo, item, std::string(texts_.IntervalText(*position)));
        }
    }
    // The start button's tips in the new language; none before the first validation.
    if (inputProblem_) {
        startHint_.clear();
        ShowInputProblem();
    }
    // Before the drop-downs are filled there is nothing to rewrite.
    if (main_.ComboItemCount(MainControl::SecurityCombo) == static_cast<int>(kSecurityItems.size())) {
        for (std::size_t item = 0; item < kSecurityItems.size(); ++item) {
            main_.SetComboItemText(MainControl::SecurityCombo, static_cast<int>(item), TextOf(kSecurityItems[item]));
        }
    }
}

void Shell::WriteAdvancedTexts() {
    advanced_.SetTitle(TextOf(TextKey::TitleAdvanced));
    advanced_.SetText(AdvancedControl::SearchStringLabel, TextOf(TextKey::LabelSearchString) + ":");
    advanced_.SetText(AdvancedControl::ExtensionsLabel, TextOf(TextKey::LabelExtensions) + ":");
    advanced_.SetText(AdvancedControl::AllowedLabel, TextOf(TextKey::LabelAllowedSenders) + ":");
    advanced_.SetText(AdvancedControl::BlockedLabel, TextOf(TextKey::LabelBlockedSenders) + ":");
    advanced_.SetText(AdvancedControl::AllowedAddButton, TextOf(TextKey::ButtonAdd));
    advanced_.SetText(AdvancedControl::BlockedAddButton, TextOf(TextKey::ButtonAdd));
    advanced_.SetText(AdvancedControl::AllowedDeleteButton, TextOf(TextKey::ButtonDelete));
    advanced_.SetText(AdvancedControl::BlockedDeleteButton, TextOf(TextKey::ButtonDelete));
    advanced_.SetText(AdvancedControl::CloseButton, TextOf(TextKey::ButtonClose));
    advanced_.SetText(AdvancedControl::ExistingFilesLabel, TextOf(TextKey::LabelExistingFiles) + ":");
    advanced_.SetText(AdvancedControl::KeepBothRadio, TextOf(TextKey::RadioKeepBoth));
    advanced_.SetText(AdvancedControl::ReplaceRadio, TextOf(TextKey::RadioReplace));
    advanced_.SetText(AdvancedControl::SubFolderLabel, TextOf(TextKey::LabelSubFolder) + ":");
    advanced_.SetText(AdvancedControl::SaveInlineCheck, TextOf(TextKey::CheckSaveInline));
    advanced_.SetText(AdvancedControl::RememberMailsCheck, TextOf(TextKey::CheckRememberMails));
    ShowSubFolderHelp();
}

// The box's tooltip lists the placeholders, or, while the box holds a template that is refused (the start button
// then stays disabled), says what is wrong with it.
void Shell::ShowSubFolderHelp() {
    const bool valid = IsValidSubFolderTemplate(advanced_.Text(AdvancedControl::SubFolderEdit));
    std::string tip = valid ? TextOf(TextKey::TipSubFolder)
                            : TextOf(TextKey::TipSubFolderRefused) + ". " + TextOf(TextKey::TipSubFolder);
    advanced_.SetTooltip(AdvancedControl::SubFolderEdit, tip);
}

void Shell::SetInputsLocked(bool locked) {
    for (MainControl control : kLockedMainControls) main_.SetEnabled(control, !locked);
    for (AdvancedControl control : kLockedAdvancedControls) advanced_.SetEnabled(control, !locked);
    if (!services_.Available()) main_.SetEnabled(MainControl::ServiceCheck, false);
    if (!shortcuts_.Available()) main_.SetEnabled(MainControl::ShortcutCheck, false);
    inputsLocked_ = locked;
    inputProblem_ = locked ? std::nullopt : FirstInvalidInput(false);
    main_.SetEnabled(MainControl::StartStopButton, locked || !inputProblem_);
    ShowInputProblem();
    RefreshCommands();
    if (advancedBuilt_) ShowSubFolderHelp();
}

std::optional<Shell::InputProblem> Shell::FirstInvalidInput(bool connectionOnly) const {
    const std::string saveDir = main_.Text(MainControl::SaveDirEdit);
    if (!connectionOnly && saveDir.empty()) return InputProblem{MainControl::SaveDirEdit, TextKey::TipNoSaveDir};
    if (!connectionOnly && !IsFolder(saveDir)) {
        return InputProblem{MainControl::SaveDirEdit, TextKey::TipSaveDirMissing};
    }
    if (main_.Text(MainControl::UserNameEdit).empty()) {
        return InputProblem{MainControl::UserNameEdit, TextKey::TipNoUserName};
    }
    if (main_.Text(MainControl::ServerEdit).empty()) return InputProblem{MainControl::ServerEdit, TextKey::TipNoServer};
    const std::int32_t port = LeadingInteger(main_.Text(MainControl::PortEdit));
    if (port <= 0) return InputProblem{MainControl::PortEdit, TextKey::TipBadPort};
    if (!connectionOnly && !main_.ComboSelection(MainControl::IntervalCombo)) {
        return InputProblem{MainControl::IntervalCombo, TextKey::TipNoInterval};
    }
    // After the window's own checks: a port above the range could never connect, and --set refuses it too.
    if (port > kHighestPort) return InputProblem{MainControl::PortEdit, TextKey::TipBadPort};
    // Last, the subfolder template of the advanced window, whose button leads to it.
    if (!connectionOnly && !IsValidSubFolderTemplate(advanced_.Text(AdvancedControl::SubFolderEdit))) {
        return InputProblem{MainControl::AdvancedButton, TextKey::TipSubFolderRefused};
    }
    return std::nullopt;
}

void Shell::ShowInputProblem() {
    const std::string hint = inputProblem_ ? TextOf(inputProblem_->reason) : std::string();
    if (hint != startHint_) {
        main_.SetTooltip(MainControl::StartStopButton, hint);
        main_.SetStatusTip(MainControl::StartStopButton, hint);
        startHint_ = hint;
    }
    const std::optional<MainControl> marked =
        inputProblem_ ? std::optional<MainControl>(inputProblem_->control) : std::nullopt;
    if (marked == marked_) return;
    if (marked_) main_.SetMarked(*marked_, false);
    if (marked) main_.SetMarked(*marked, true);
    marked_ = marked;
}

SettingsRecord Shell::ReadControls() const {
    SettingsRecord record;
    record.language = main_.MenuChecked(MenuItem::English) ? "english" : "german";
    record.portText = main_.Text(MainControl::PortEdit);
    record.security = main_.ComboSelection(MainControl::SecurityCombo).value_or(0);
    record.server = main_.Text(MainControl::ServerEdit);
    record.userName = main_.Text(MainControl::UserNameEdit);
    record.password = main_.Text(MainControl::PasswordEdit);
    if (const std::optional<int> item = main_.ComboSelection(MainControl::IntervalCombo)) {
        record.intervalPosition = ReadIntervalPosition(main_.ComboItemData(MainControl::IntervalCombo, *item));
    }
    record.searchString = advanced_.Text(AdvancedControl::SearchStringEdit);
    record.saveDir = main_.Text(MainControl::SaveDirEdit);
    record.startHour = main_.ComboSelection(MainControl::StartHourCombo);
    record.startMinute = main_.ComboSelection(MainControl::StartMinuteCombo);
    record.deleteMails = main_.Checked(MainControl::DeleteMailsCheck);
    record.extensionsText = advanced_.Text(AdvancedControl::ExtensionsEdit);
    record.existingFiles = advanced_.Checked(AdvancedControl::ReplaceRadio) ? 1 : 0;
    record.subFolder = advanced_.Text(AdvancedControl::SubFolderEdit);
    record.saveInline = advanced_.Checked(AdvancedControl::SaveInlineCheck);
    record.rememberMails = advanced_.Checked(AdvancedControl::RememberMailsCheck);
    record.signIn = signIn_;
    for (int i = 0; i < advanced_.ListCount(AdvancedControl::AllowedList); ++i) {
        record.allowedSenders.push_back(advanced_.ListEntry(AdvancedControl::AllowedList, i));
    }
    for (int i = 0; i < advanced_.ListCount(AdvancedControl::BlockedList); ++i) {
        record.blockedSenders.push_back(advanced_.ListEntry(AdvancedControl::BlockedList, i));
    }
    return record;
}

void Shell::WriteControls(const SettingsRecord& record) {
    main_.SetText(MainControl::PortEdit, record.portText);
    main_.SetText(MainControl::ServerEdit, record.server);
    main_.SelectComboItem(MainControl::SecurityCombo, record.security);
    main_.SetText(MainControl::UserNameEdit, record.userName);
    main_.SetText(MainControl::PasswordEdit, record.password);
    // The items are in table order, so a table position is an item index.
    main_.SelectComboItem(MainControl::IntervalCombo, record.intervalPosition);
    advanced_.SetText(AdvancedControl::SearchStringEdit, record.searchString);
    main_.SetText(MainControl::SaveDirEdit, record.saveDir);
    main_.SelectComboItem(MainControl::StartHourCombo, record.startHour);
    main_.SelectComboItem(MainControl::StartMinuteCombo, record.startMinute);
    main_.SetChecked(MainControl::DeleteMailsCheck, record.deleteMails);
    advanced_.SetText(AdvancedControl::ExtensionsEdit, record.extensionsText);
    advanced_.SetChecked(AdvancedControl::KeepBothRadio, record.existingFiles != 1);
    advanced_.SetChecked(AdvancedControl::ReplaceRadio, record.existingFiles == 1);
    advanced_.SetText(AdvancedControl::SubFolderEdit, record.subFolder);
    advanced_.SetChecked(AdvancedControl::SaveInlineCheck, record.saveInline);
    advanced_.SetChecked(AdvancedControl::RememberMailsCheck, record.rememberMails);
    signIn_ = record.signIn;
    advanced_.ClearList(AdvancedControl::AllowedList);
    for (const std::string& entry : record.allowedSenders) {
        advanced_.AppendListEntry(AdvancedControl::AllowedList, entry);
    }
    advanced_.ClearList(AdvancedControl::BlockedList);
    for (const std::string& entry : record.blockedSenders) {
        advanced_.AppendListEntry(AdvancedControl::BlockedList, entry);
    }
}

void Shell::SetStartStopCaption(TextKey caption) {
    main_.SetText(MainControl::StartStopButton, TextOf(caption));
    main_.SetMenuText(MenuItem::TrayStartStop, TextOf(caption));
}

bool Shell::RunSlotFree() const {
    const bool serviceDoesTheWork =
        serviceMode_ == 0 && (lastServiceState_ == kServiceRunning || lastServiceState_ == kServiceStartPending);
    return !run_.Active() && !serviceDoesTheWork;
}

void Shell::RefreshCommands() {
    const auto show = [this](std::optional<bool>& shown, bool enabled, std::initializer_list<MenuItem> items) {
        if (shown == enabled) return;
        for (const MenuItem item : items) main_.SetMenuEnabled(item, enabled);
        shown = enabled;
    };
    const bool free = RunSlotFree();
    // The inputs as the last validation found them; a locked window was valid when the schedule started.
    const bool inputsValid = inputsLocked_ || !inputProblem_;
    show(runNowEnabled_, free && inputsValid, {MenuItem::RunNow, MenuItem::TrayRunNow});
    show(checkEnabled_, free && (inputsLocked_ || !FirstInvalidInput(true)), {MenuItem::CheckConnection});
    show(trayStartStopEnabled_, inputsValid, {MenuItem::TrayStartStop});
}

ScheduleControls Shell::ScheduleControlsNow() const {
    ScheduleControls controls;
    if (const std::optional<int> item = main_.ComboSelection(MainControl::IntervalCombo)) {
        controls.intervalSeconds = main_.ComboItemData(MainControl::IntervalCombo, *item);
    }
    controls.startHour = main_.ComboSelection(MainControl::StartHourCombo).value_or(0);
    controls.startMinute = main_.ComboSelection(MainControl::StartMinuteCombo).value_or(0);
    return controls;
}

void Shell::Log(TextKey key) { Log(TextOf(key)); }

void Shell::Log(const std::string& text) { log_->WriteLog(text, LogDestination::kView); }

void Shell::LogSystemError(TextKey generalError, TextKey rightsError, std::uint32_t code) {
    Log(generalError);
    if (code == kErrorAccessDenied) {
        Log(rightsError);
        return;
    }
    // Where the service manager says why in its own words (systemd), those words stand for the system's text.
    const std::string managerText = services_.LastErrorText();
    Log(managerText.empty() ? system_.SystemErrorText(code) : managerText);
}

void Shell::OnQuit() {
    // The run is asked to stop and given its time; one that hangs is left to end by itself, never killed, and the
    // process entry leaves without waiting for it.
    runLeftBehind_ = !run_.Stop(parts_.stopWait);
    main_.EndEventLoop();
}

void Shell::OnAbout() { main_.ShowMessage(kAboutTitle, kAboutText); }

void Shell::OnLanguageChosen(MenuItem language) {
    const bool german = language == MenuItem::German;
    main_.SetMenuChecked(MenuItem::German, german);
    main_.SetMenuChecked(MenuItem::English, !german);
    ApplyLanguage(german ? "german" : "english");
}

// A run at once, outside the schedule's grid: the schedule's next start stays where it is.
void Shell::OnRunNow() {
    if (!RunSlotFree() || FirstInvalidInput(false)) {
        RefreshCommands();
        return;
    }
    // Saved as the start button saves them, without the start's service and shortcut steps.
    if (!parts_.places.dataFolder.empty()) SaveSettings(parts_.places.dataFolder, ReadControls());
    if (StartRun(RunKind::kMailbox)) {
        main_.SetStatusText(StatusField::ScheduleField, TextOf(TextKey::StatusExamining));
        examiningShown_ = true;
    }
    RefreshCommands();
}

// A login and a logout with the controls as they are, in the run's slot; nothing is saved.
void Shell::OnCheckConnection() {
    if (!RunSlotFree() || FirstInvalidInput(true)) {
        RefreshCommands();
        return;
    }
    StartRun(RunKind::kConnectionCheck);
    RefreshCommands();
}

void Shell::OnMinimised() {
    if (serviceMode_ != 0) return;
    // Without a notification area a hidden window could never be brought back: it stays minimised instead.
    if (!main_.HasNotificationArea()) return;
    main_.HideWindow();
    main_.ShowTrayIcon(TextOf(TextKey::TipTrayRestore));
}

void Shell::OnTrayDoubleClick() {
    if (serviceMode_ != 0) return;
    BringForward();
}

void Shell::BringForward() {
    main_.HideTrayIcon();
    main_.ShowWindow();
    main_.RestoreWindow();
}

void Shell::OnAdvancedButton() {
    main_.SetWindowEnabled(false);
    advanced_.Show();
}

void Shell::OnAdvancedClosed() {
    main_.SetWindowEnabled(true);
    advanced_.Hide();
}

void Shell::OnBrowseButton() {
    std::string folder = main_.ChooseFolder(TextOf(TextKey::TitleChooseFolder), main_.Text(MainControl::SaveDirEdit));
    if (folder.empty()) return;
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (folder.back() != separator && folder.back() != '/') folder += separator;
    main_.SetText(MainControl::SaveDirEdit, folder);
    SetInputsLocked(false);
}

void Shell::OnDonateButton() { main_.OpenWebAddress(std::string(kDonationAddress)); }

void Shell::OnClearLogButton() { main_.ClearLog(); }

void Shell::OnInputChanged() { SetInputsLocked(false); }

// Only the usual port of the other kind of connection follows the choice: a port of the user's own choosing stays.
void Shell::OnSecurityChanged() {
    const bool tls = main_.ComboSelection(MainControl::SecurityCombo) == kSecurityTls;
    const std::string port = main_.Text(MainControl::PortEdit);
    if (tls && port == kPlainPort) main_.SetText(MainControl::PortEdit, std::string(kTlsPort));
    if (!tls && port == kTlsPort) main_.SetText(MainControl::PortEdit, std::string(kPlainPort));
}

void Shell::OnStartStopButton() {
    // The button's role is its caption: after a change of language the caption is rewritten in its role.
    if (main_.Text(MainControl::StartStopButton) == texts_.Text(TextKey::ButtonStart)) {
        StartRole();
    } else {
        StopRole();
    }
}

void Shell::StartRole() {
    nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
    SetStartStopCaption(TextKey::ButtonStop);
    SetInputsLocked(true);
    // Elevated, the window may narrow a data folder left readable to every user, as the service does.
    if (!parts_.places.dataFolder.empty() && system_.RunsElevated()) {
        system_.ProtectDataFolder(parts_.places.dataFolder);
    }

    if (services_.Available() && main_.Checked(MainControl::ServiceCheck)) {
        if (serviceInstalled_ == kServiceNotInstalled) {
            InstallService();
        } else if (services_.Start(kServiceName) != 0) {
            Log(TextKey::MsgServiceInstalled);
            Log(TextKey::MsgRunningInBackground);
            Log(TextKey::MsgHowToReconfigure);
            serviceInstalled_ = kServiceRunning;
        }
    }
    if (shortcuts_.Available()) {
        const bool wanted = main_.Checked(MainControl::ShortcutCheck);
        if (wanted && startupShortcutPath_.empty()) {
            const std::string link = system_.GetSpecialFolderPath(SpecialFolder::kCommonStartup) + kStartupShortcutName;
            if (shortcuts_.CreateShortcut(system_.ProgramPath(), link, "", TextOf(TextKey::ProductDescription), "") ==
                1) {
                startupShortcutPath_ = link;
            }
        } else if (!wanted && !startupShortcutPath_.empty()) {
            shortcuts_.DeleteShortcut(startupShortcutPath_);
            startupShortcutPath_.clear();
        }
    }
    if (!parts_.places.dataFolder.empty()) SaveSettings(parts_.places.dataFolder, ReadControls());
}

void Shell::InstallService() {
    if (services_.Install(kServiceName, kServiceDisplayName, system_.ProgramPath(),
                          TextOf(TextKey::ProductDescription), kServiceAutoStart) == 0) {
        LogSystemError(TextKey::ErrInstallService, TextKey::ErrInstallRights, system_.LastSystemError());
        return;
    }
    // The service and the autostart shortcut exclude each other; the service wins.
    if (!startupShortcutPath_.empty()) {
        shortcuts_.DeleteShortcut(startupShortcutPath_);
        startupShortcutPath_.clear();
        main_.SetChecked(MainControl::ShortcutCheck, false);
    }
    const std::string user = system_.CurrentUserName();
    if (services_.GrantAccess(kServiceName, user, kServiceUserRights) == 0) {
        Log(system_.SystemErrorText(system_.LastSystemError()));
    }
    // The service's files in the data folder stay writable for the user who installed it, and for nobody else.
    if (!parts_.places.dataFolder.empty() && !system_.GrantFolderModify(parts_.places.dataFolder, user)) {
        Log(system_.SystemErrorText(system_.LastSystemError()));
    }
    Log(TextKey::MsgServiceInstalled);
    Log(TextKey::MsgRunningInBackground);
    Log(TextKey::MsgHowToReconfigure);
    serviceInstalled_ = kServiceRunning;
}

void Shell::StopRole() {
    // Not ended in time: the run goes on to its end by itself and the schedule starts no other before that.
    run_.Stop(parts_.stopWait);
    nextStart_ = 0;
    main_.SetStatusText(StatusField::ScheduleField, "");
    examiningShown_ = false;
    SetStartStopCaption(TextKey::ButtonStart);
    if (services_.QueryState(kServiceName) > kServiceNotInstalled && services_.Stop(kServiceName) != 0) {
        Log(TextKey::MsgServiceHalted);
    }
    SetInputsLocked(false);
}

void Shell::UninstallService(MainControl askingBox) {
    if (!main_.AskYesNo(TextOf(TextKey::TitleUninstall), TextOf(TextKey::AskUninstall))) {
        main_.SetChecked(askingBox, askingBox == MainControl::ServiceCheck);
        return;
    }
    if (services_.Uninstall(kServiceName) == 0) {
        LogSystemError(TextKey::ErrUninstallService, TextKey::ErrUninstallRights, system_.LastSystemError());
        main_.SetChecked(askingBox, askingBox == MainControl::ServiceCheck);
        return;
    }
    Log(TextKey::MsgServiceUninstalled);
    main_.SetChecked(MainControl::ServiceCheck, false);
    serviceInstalled_ = kServiceNotInstalled;
}

void Shell::OnServiceCheckChanged() {
    if (!services_.Available()) {
        main_.SetChecked(MainControl::ServiceCheck, false);
        return;
    }
    if (!main_.Checked(MainControl::ServiceCheck) && lastServiceState_ > kServiceNotInstalled) {
        UninstallService(MainControl::ServiceCheck);
    }
    if (main_.Checked(MainControl::ServiceCheck)) main_.SetChecked(MainControl::ShortcutCheck, false);
}

void Shell::OnShortcutCheckChanged() {
    if (!shortcuts_.Available()) {
        main_.SetChecked(MainControl::ShortcutCheck, false);
        return;
    }
    if (main_.Checked(MainControl::ShortcutCheck) && lastServiceState_ > kServiceNotInstalled) {
        UninstallService(MainControl::ShortcutCheck);
    }
}

void Shell::OnSenderListClicked(SenderListKind kind) {
    const SenderListControls controls = ControlsOf(kind);
    advanced_.SetEnabled(controls.deleteButton, advanced_.ListSelection(controls.list).has_value());
}

void Shell::OnSenderAddButton(SenderListKind kind) {
    const SenderListControls controls = ControlsOf(kind);
    const std::string address = main_.AskText(TextOf(TextKey::TitleAddEmail), TextOf(TextKey::PromptEmail), "");
    if (address.empty()) return;
    for (int i = 0; i < advanced_.ListCount(controls.list); ++i) {
        if (EqualsNoCase(advanced_.ListEntry(controls.list, i), address)) return;
    }
    advanced_.AppendListEntry(controls.list, address);
    advanced_.SetEnabled(controls.deleteButton, false);
}

void Shell::OnSenderDeleteButton(SenderListKind kind) {
    const SenderListControls controls = ControlsOf(kind);
    const std::optional<int> selected = advanced_.ListSelection(controls.list);
    if (!selected) return;
    advanced_.RemoveListEntry(controls.list, *selected);
    advanced_.SetEnabled(controls.deleteButton, false);
}

void Shell::OnScheduleTimer() {
    if (windowClaim_ && windowClaim_->TakeForwardRequest()) BringForward();
    // The service's state is read before the due start is decided: a service that the start button has just
    // installed or started must not find this window running the same mailbox beside it.
    const int state = services_.QueryState(kServiceName);
    if (state != lastServiceState_) {
        main_.SetStatusText(StatusField::ServiceField, std::string(texts_.ServiceStateText(state)));
        lastServiceState_ = state;
    }
    const LocalSeconds now = parts_.now();
    const TickDecision decision = ScheduleTick(now, nextStart_, run_.Active(), ScheduleControlsNow().intervalSeconds,
                                               serviceMode_, lastServiceState_);
    switch (decision.action) {
        case TickAction::ShowCountdown:
            main_.SetStatusText(StatusField::ScheduleField,
                                FillPlaceholder(texts_.Text(TextKey::StatusNextStart), "{START}", decision.countdown));
            examiningShown_ = false;
            break;
        case TickAction::StartRun:
            // While paused the due times pass without runs, so a resume does not bring a burst of missed ones.
            if (!paused_ && !(parts_.schedulePaused && parts_.schedulePaused())) {
                StartRun(RunKind::kMailbox);
                main_.SetStatusText(StatusField::ScheduleField, TextOf(TextKey::StatusExamining));
            }
            break;
        case TickAction::LeaveToService:
        case TickAction::WaitForRun:
            break;
        case TickAction::None:
            // A run started outside an idle schedule has ended: nothing is counted down, so its text goes.
            if (examiningShown_ && nextStart_ == 0 && !run_.Active()) {
                main_.SetStatusText(StatusField::ScheduleField, "");
                examiningShown_ = false;
            }
            break;
    }
    nextStart_ = decision.nextStart;
    RefreshCommands();
}

bool Shell::StartRun(RunKind kind) {
    RunRequest request;
    // One run at a time per data folder, whoever starts it: this window, the service or --run-once.
    if (parts_.locks != nullptr && !parts_.places.dataFolder.empty()) {
        RunLockResult lock = parts_.locks->LockRun(parts_.places.dataFolder);
        if (lock.state == RunLockState::kHeld) {
            log_->WriteLog(texts_.Text(TextKey::MsgRunSkipped),
                           serviceMode_ != 0 ? LogDestination::kViewAndSharedFile : LogDestination::kView);
            return false;
        }
        request.heldWhileRunning = std::move(lock.lock);
    }
    request.kind = kind;
    request.dataFolder = parts_.places.dataFolder;
    request.controls = ReadControls();
    request.serviceMode = serviceMode_;
    request.loggingFlag = loggingFlag_;
    request.log = log_;
    return run_.Start(request);
}

void Shell::OnLogPollTimer() {
    if (serviceMode_ == 0) log_->TakeOverSharedLog(true);
}

}  // namespace zendrel
