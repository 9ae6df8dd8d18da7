#include "app/shell.h"

#include <algorithm>
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

// The inputs that a running schedule freezes: the settings a run reads, the sign-in and the two system boxes.
constexpr std::array<MainControl, 17> kLockedMainControls = {
    MainControl::kPasswordEdit,   MainControl::kSaveDirEdit,      MainControl::kServerEdit,
    MainControl::kSecurityCombo,  MainControl::kPortEdit,         MainControl::kUserNameEdit,
    MainControl::kDeleteMailsCheck, MainControl::kBrowseButton,   MainControl::kIntervalCombo,
    MainControl::kStartHourCombo, MainControl::kStartMinuteCombo, MainControl::kAdvancedButton,
    MainControl::kServiceCheck,   MainControl::kShortcutCheck,    MainControl::kAuthenticationCombo,
    MainControl::kOAuthSettingsButton, MainControl::kSignInButton};
constexpr std::array<AdvancedControl, 7> kLockedAdvancedControls = {
    AdvancedControl::kSearchStringEdit, AdvancedControl::kExtensionsEdit, AdvancedControl::kKeepBothRadio,
    AdvancedControl::kReplaceRadio,     AdvancedControl::kSubFolderEdit,  AdvancedControl::kSaveInlineCheck,
    AdvancedControl::kRememberMailsCheck};

struct LabelText {
    MainControl label;
    TextKey key;
};
constexpr std::array<LabelText, 9> kMainLabels = {{
    {MainControl::kServerLabel, TextKey::kLabelServer},
    {MainControl::kAuthenticationLabel, TextKey::kLabelAuthentication},
    {MainControl::kSecurityLabel, TextKey::kLabelSecurity},
    {MainControl::kPortLabel, TextKey::kLabelPort},
    {MainControl::kUserNameLabel, TextKey::kLabelUserName},
    {MainControl::kPasswordLabel, TextKey::kLabelPassword},
    {MainControl::kIntervalLabel, TextKey::kLabelInterval},
    {MainControl::kStartTimeLabel, TextKey::kLabelStartTime},
    {MainControl::kSaveDirLabel, TextKey::kLabelSaveDir},
}};

// The security drop-down's items: an item's index is the stored value (0 plain, 1 STARTTLS, 2 TLS).
constexpr std::array<TextKey, 3> kSecurityItems = {TextKey::kSecurityNone, TextKey::kSecurityStartTls,
                                                   TextKey::kSecurityTls};
// The usual ports of POP3 and of POP3 over TLS from the first byte; STARTTLS begins plain on the first.
constexpr std::string_view kPlainPort = "110";
constexpr std::string_view kTlsPort = "995";
constexpr std::int32_t kHighestPort = 65535;

// The authentication drop-down's items: an item's index is its value. The password, then each provider by the name
// the settings file stores.
struct AuthenticationItem {
    TextKey text;
    Authentication authentication;
    std::string_view provider;  // with OAuth
};
constexpr std::array<AuthenticationItem, 4> kAuthenticationItems = {{
    {TextKey::kAuthPassword, Authentication::kPassword, ""},
    {TextKey::kAuthMicrosoft, Authentication::kOAuth, "microsoft"},
    {TextKey::kAuthGoogle, Authentication::kOAuth, "google"},
    {TextKey::kAuthOther, Authentication::kOAuth, "custom"},
}};

// Where a provider's mailbox is; a custom provider has none of its own.
struct ProviderPreset {
    std::string_view provider;
    std::string_view server;
};
constexpr std::array<ProviderPreset, 2> kProviderPresets = {{
    {"microsoft", "outlook.office365.com"},
    {"google", "pop.gmail.com"},
}};

// A server nobody chose: none, the program's default, or what a provider's choice filled in.
bool IsPresetServer(const std::string& server) {
    if (server.empty() || server == kDefaultServer) return true;
    return std::any_of(kProviderPresets.begin(), kProviderPresets.end(),
                       [&](const ProviderPreset& preset) { return server == preset.server; });
}

// The OAuth settings window's boxes, their labels and the sign-in setting each holds.
struct OAuthBox {
    OAuthControl label;
    OAuthControl edit;
    TextKey text;
    std::string SignInSettings::*field;
};
constexpr std::array<OAuthBox, 7> kOAuthBoxes = {{
    {OAuthControl::kClientIdLabel, OAuthControl::kClientIdEdit, TextKey::kLabelClientId, &SignInSettings::clientId},
    {OAuthControl::kClientSecretLabel, OAuthControl::kClientSecretEdit, TextKey::kLabelClientSecret,
     &SignInSettings::clientSecret},
    {OAuthControl::kTenantLabel, OAuthControl::kTenantEdit, TextKey::kLabelTenant, &SignInSettings::tenant},
    {OAuthControl::kAuthorizeUrlLabel, OAuthControl::kAuthorizeUrlEdit, TextKey::kLabelAuthorizeUrl,
     &SignInSettings::authorizeUrl},
    {OAuthControl::kTokenUrlLabel, OAuthControl::kTokenUrlEdit, TextKey::kLabelTokenUrl, &SignInSettings::tokenUrl},
    {OAuthControl::kDeviceUrlLabel, OAuthControl::kDeviceUrlEdit, TextKey::kLabelDeviceUrl,
     &SignInSettings::deviceUrl},
    {OAuthControl::kScopeLabel, OAuthControl::kScopeEdit, TextKey::kLabelScope, &SignInSettings::scope},
}};
// Whether a box of the OAuth settings window counts for `provider`: the client's always, the tenant for Microsoft, the
// addresses and the scope for a custom provider, whose endpoints are not built in.
bool BoxUsedBy(OAuthControl edit, std::string_view provider) {
    if (edit == OAuthControl::kTenantEdit) return provider == "microsoft";
    if (edit == OAuthControl::kClientIdEdit || edit == OAuthControl::kClientSecretEdit) return true;
    return provider == "custom";
}

struct SenderListControls {
    AdvancedControl list;
    AdvancedControl addButton;
    AdvancedControl deleteButton;
};

SenderListControls ControlsOf(SenderListKind kind) {
    if (kind == SenderListKind::kAllowed) {
        return {AdvancedControl::kAllowedList, AdvancedControl::kAllowedAddButton,
                AdvancedControl::kAllowedDeleteButton};
    }
    return {AdvancedControl::kBlockedList, AdvancedControl::kBlockedAddButton, AdvancedControl::kBlockedDeleteButton};
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

Shell::Shell(ShellParts parts, bool serviceMode)
    : parts_(std::move(parts)),
      main_(*parts_.mainView),
      advanced_(*parts_.advancedView),
      oauth_(*parts_.oauthView),
      signIn_(*parts_.signIn),
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

    if (!serviceMode_ && lastServiceState_ == ServiceState::kStartPending && parts_.serviceProgram &&
        services_.RunAsService(kServiceName, parts_.serviceProgram, nullptr) != 0) {
        return StartUpResult::kRanAsService;
    }

    BuildMainWindow();
    main_.SetStatusText(StatusField::kServiceField, std::string(texts_.ServiceStateText(lastServiceState_)));
    FillCombos();

    if (shortcuts_.Available()) startupShortcutPath_ = shortcuts_.FindStartupShortcut();
    if (!startupShortcutPath_.empty()) main_.SetChecked(MainControl::kShortcutCheck, true);

    if (!parts_.places.dataFolder.empty()) {
        PrepareDataFolder(parts_.places,
                          [this](const std::filesystem::path& folder) { system_.ProtectDataFolder(folder); });
        // An older version left the folder with the rights of the all-users folder above it, readable to every user;
        // the service runs as the local system account, which may narrow it.
        if (serviceMode_) system_.ProtectDataFolder(parts_.places.dataFolder);
    }
    // Two windows on one data folder would both run its schedule against the same mailbox; the second one only
    // brings the first forward.
    if (!serviceMode_ && parts_.locks != nullptr && !parts_.places.dataFolder.empty()) {
        windowClaim_ = parts_.locks->ClaimWindow(parts_.places.dataFolder);
        if (!windowClaim_) return StartUpResult::kAlreadyOpen;
    }
    BuildAdvancedWindow();
    LoadSettingsIntoControls();
    // The settings shown are then the defaults; the user must hear why, and whose folder it is.
    if (!serviceMode_ && !parts_.places.dataFolder.empty() && system_.FolderRefused(parts_.places.dataFolder)) {
        const std::u8string folder = parts_.places.dataFolder.u8string();
        Log(FillPlaceholder(TextOf(TextKey::kErrDataFolderDenied), "{FOLDER}",
                            Utf8ToWindows1252Lossy(std::string(folder.begin(), folder.end()))));
    }
    StartUpByServiceState();

    main_.StartTimers();
    if (serviceMode_) {
        nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
        // A service that can never start a run would only idle; its manager should hear so at once.
        if (nextStart_ == 0) return StartUpResult::kNothingToSchedule;
        main_.ShowTrayIcon(TextOf(TextKey::kTipTrayService));
    } else {
        main_.ShowWindow();
    }
    return StartUpResult::kContinue;
}

void Shell::BuildMainWindow() {
    main_.Create();
    main_.SetWindowTitle(std::string(kVersionText));
    mainBuilt_ = true;
    WriteMainTexts(false);
    // Where the platform has no service manager or no shortcuts, their boxes can never mean anything.
    if (!services_.Available()) main_.SetEnabled(MainControl::kServiceCheck, false);
    if (!shortcuts_.Available()) main_.SetEnabled(MainControl::kShortcutCheck, false);
}

void Shell::BuildAdvancedWindow() {
    advanced_.Create();
    advancedBuilt_ = true;
    WriteAdvancedTexts();
    oauth_.Create();
    oauthBuilt_ = true;
    WriteOAuthTexts();
}

void Shell::FillCombos() {
    for (int position = 0; position < kReadIntervalCount; ++position) {
        main_.AddComboItem(MainControl::kIntervalCombo, std::string(texts_.IntervalText(position)),
                           kReadIntervalSeconds[static_cast<std::size_t>(position)]);
    }
    for (int hour = 0; hour < 24; ++hour) main_.AddComboItem(MainControl::kStartHourCombo, TwoDigits(hour), hour);
    for (int minute = 0; minute < 60; ++minute) {
        main_.AddComboItem(MainControl::kStartMinuteCombo, TwoDigits(minute), minute);
    }
    for (std::size_t value = 0; value < kSecurityItems.size(); ++value) {
        main_.AddComboItem(MainControl::kSecurityCombo, TextOf(kSecurityItems[value]),
                           static_cast<std::int32_t>(value));
    }
    for (std::size_t value = 0; value < kAuthenticationItems.size(); ++value) {
        main_.AddComboItem(MainControl::kAuthenticationCombo, TextOf(kAuthenticationItems[value].text),
                           static_cast<std::int32_t>(value));
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
    if (lastServiceState_ != ServiceState::kNotInstalled) {
        main_.SetChecked(MainControl::kServiceCheck, true);
        if (lastServiceState_ == ServiceState::kStopped) {
            services_.Start(kServiceName);
            nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
        } else if (lastServiceState_ == ServiceState::kRunning && !serviceMode_) {
            SetStartStopCaption(TextKey::kButtonStop);
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
        mainBuilt_ && main_.Text(MainControl::kStartStopButton) == texts_.Text(TextKey::kButtonStop);
    texts_.ApplyLanguage(language);
    if (advancedBuilt_) WriteAdvancedTexts();
    if (oauthBuilt_) WriteOAuthTexts();
    if (mainBuilt_) WriteMainTexts(stopRole);
}

// The status fields, the tray tooltip and the log rows keep their texts: they change with the next tick, the next
// service state or never.
void Shell::WriteMainTexts(bool stopRole) {
    const bool german = texts_.CurrentLanguage() == Language::kGerman;
    main_.SetMenuChecked(MenuItem::kGerman, german);
    main_.SetMenuChecked(MenuItem::kEnglish, !german);
    // The menus' later items follow the language; the first ones keep their fixed English words.
    main_.SetMenuText(MenuItem::kRunNow, TextOf(TextKey::kMenuRunNow));
    main_.SetMenuText(MenuItem::kCheckConnection, TextOf(TextKey::kMenuCheckConnection));
    main_.SetMenuText(MenuItem::kTrayShow, TextOf(TextKey::kMenuShow));
    main_.SetMenuText(MenuItem::kTrayRunNow, TextOf(TextKey::kMenuRunNow));
    main_.SetMenuText(MenuItem::kTrayQuit, TextOf(TextKey::kMenuQuit));
    main_.SetText(MainControl::kPreferencesFrame, TextOf(TextKey::kFramePreferences));
    for (const LabelText& label : kMainLabels) main_.SetText(label.label, TextOf(label.key) + ":");
    main_.SetText(MainControl::kAdvancedButton, TextOf(TextKey::kButtonAdvanced));
    main_.SetText(MainControl::kOAuthSettingsButton, TextOf(TextKey::kButtonOAuthSettings));
    ShowSignInState();
    main_.SetText(MainControl::kShortcutCheck, TextOf(TextKey::kCheckShortcut));
    main_.SetText(MainControl::kServiceCheck, TextOf(TextKey::kCheckService));
    main_.SetText(MainControl::kDeleteMailsCheck, TextOf(TextKey::kCheckDeleteMails));
    SetStartStopCaption(stopRole ? TextKey::kButtonStop : TextKey::kButtonStart);
    main_.SetText(MainControl::kLogFrame, TextOf(TextKey::kFrameLog) + ":");
    main_.SetTooltip(MainControl::kDonateButton, TextOf(TextKey::kTipDonate));
    main_.SetTooltip(MainControl::kClearLogButton, TextOf(TextKey::kTipClearLog));
    main_.SetInputRefusalText(TextOf(TextKey::kTipRefusedCharacter));
    // A box that stays disabled says why.
    if (!services_.Available()) main_.SetTooltip(MainControl::kServiceCheck, TextOf(TextKey::kTipNoServiceManager));
    for (int item = 0; item < main_.ComboItemCount(MainControl::kIntervalCombo); ++item) {
        const std::optional<int> position =
            ReadIntervalPosition(main_.ComboItemData(MainControl::kIntervalCombo, item));
        if (position) {
            main_.SetComboItemText(MainControl::kIntervalCombo, item, std::string(texts_.IntervalText(*position)));
        }
    }
    // The start button's tips in the new language; none before the first validation.
    if (inputProblem_) {
        startHint_.clear();
        ShowInputProblem();
    }
    // Before the drop-downs are filled there is nothing to rewrite.
    if (main_.ComboItemCount(MainControl::kSecurityCombo) == static_cast<int>(kSecurityItems.size())) {
        for (std::size_t item = 0; item < kSecurityItems.size(); ++item) {
            main_.SetComboItemText(MainControl::kSecurityCombo, static_cast<int>(item), TextOf(kSecurityItems[item]));
        }
    }
    if (main_.ComboItemCount(MainControl::kAuthenticationCombo) == static_cast<int>(kAuthenticationItems.size())) {
        for (std::size_t item = 0; item < kAuthenticationItems.size(); ++item) {
            main_.SetComboItemText(MainControl::kAuthenticationCombo, static_cast<int>(item),
                                   TextOf(kAuthenticationItems[item].text));
        }
    }
}

void Shell::WriteOAuthTexts() {
    oauth_.SetTitle(TextOf(TextKey::kTitleOAuthSettings));
    for (const OAuthBox& box : kOAuthBoxes) oauth_.SetText(box.label, TextOf(box.text) + ":");
    oauth_.SetText(OAuthControl::kOkButton, TextOf(TextKey::kButtonOk));
    oauth_.SetText(OAuthControl::kCancelButton, TextOf(TextKey::kButtonCancel));
}

void Shell::ShowAuthentication() {
    const bool oauth = signInSettings_.authentication == Authentication::kOAuth;
    std::size_t item = 0;
    for (std::size_t index = 0; index < kAuthenticationItems.size(); ++index) {
        const AuthenticationItem& candidate = kAuthenticationItems[index];
        if (candidate.authentication == signInSettings_.authentication &&
            (!oauth || candidate.provider == signInSettings_.provider)) {
            item = index;
        }
    }
    main_.SelectComboItem(MainControl::kAuthenticationCombo, static_cast<int>(item));
    main_.SetVisible(MainControl::kPasswordLabel, !oauth);
    main_.SetVisible(MainControl::kPasswordEdit, !oauth);
    main_.SetVisible(MainControl::kSignInButton, oauth);
    main_.SetVisible(MainControl::kSignInStatus, oauth);
    main_.SetVisible(MainControl::kOAuthSettingsButton, oauth);
}

void Shell::ShowSignInState() {
    main_.SetText(MainControl::kSignInButton,
                  TextOf(signInWaiting_ ? TextKey::kButtonCancelSignIn : TextKey::kButtonSignIn));
    std::string status = TextOf(TextKey::kStatusNotSignedIn);
    if (signedInName_) {
        status = signedInName_->empty() ? TextOf(TextKey::kStatusSignedIn)
                                        : FillPlaceholder(TextOf(TextKey::kStatusSignedInAs), "{NAME}",
                                                          Utf8ToWindows1252Lossy(*signedInName_));
    }
    main_.SetText(MainControl::kSignInStatus, status);
}

void Shell::WriteAdvancedTexts() {
    advanced_.SetTitle(TextOf(TextKey::kTitleAdvanced));
    advanced_.SetText(AdvancedControl::kSearchStringLabel, TextOf(TextKey::kLabelSearchString) + ":");
    advanced_.SetText(AdvancedControl::kExtensionsLabel, TextOf(TextKey::kLabelExtensions) + ":");
    advanced_.SetText(AdvancedControl::kAllowedLabel, TextOf(TextKey::kLabelAllowedSenders) + ":");
    advanced_.SetText(AdvancedControl::kBlockedLabel, TextOf(TextKey::kLabelBlockedSenders) + ":");
    advanced_.SetText(AdvancedControl::kAllowedAddButton, TextOf(TextKey::kButtonAdd));
    advanced_.SetText(AdvancedControl::kBlockedAddButton, TextOf(TextKey::kButtonAdd));
    advanced_.SetText(AdvancedControl::kAllowedDeleteButton, TextOf(TextKey::kButtonDelete));
    advanced_.SetText(AdvancedControl::kBlockedDeleteButton, TextOf(TextKey::kButtonDelete));
    advanced_.SetText(AdvancedControl::kCloseButton, TextOf(TextKey::kButtonClose));
    advanced_.SetText(AdvancedControl::kExistingFilesLabel, TextOf(TextKey::kLabelExistingFiles) + ":");
    advanced_.SetText(AdvancedControl::kKeepBothRadio, TextOf(TextKey::kRadioKeepBoth));
    advanced_.SetText(AdvancedControl::kReplaceRadio, TextOf(TextKey::kRadioReplace));
    advanced_.SetText(AdvancedControl::kSubFolderLabel, TextOf(TextKey::kLabelSubFolder) + ":");
    advanced_.SetText(AdvancedControl::kSaveInlineCheck, TextOf(TextKey::kCheckSaveInline));
    advanced_.SetText(AdvancedControl::kRememberMailsCheck, TextOf(TextKey::kCheckRememberMails));
    ShowSubFolderHelp();
}

// The box's tooltip lists the placeholders, or, while the box holds a template that is refused (the start button
// then stays disabled), says what is wrong with it.
void Shell::ShowSubFolderHelp() {
    const bool valid = IsValidSubFolderTemplate(advanced_.Text(AdvancedControl::kSubFolderEdit));
    std::string tip = valid ? TextOf(TextKey::kTipSubFolder)
                            : TextOf(TextKey::kTipSubFolderRefused) + ". " + TextOf(TextKey::kTipSubFolder);
    advanced_.SetTooltip(AdvancedControl::kSubFolderEdit, tip);
}

void Shell::SetInputsLocked(bool locked) {
    for (MainControl control : kLockedMainControls) main_.SetEnabled(control, !locked);
    for (AdvancedControl control : kLockedAdvancedControls) advanced_.SetEnabled(control, !locked);
    // A waiting sign-in can always be cancelled.
    if (signInWaiting_) main_.SetEnabled(MainControl::kSignInButton, true);
    if (!services_.Available()) main_.SetEnabled(MainControl::kServiceCheck, false);
    if (!shortcuts_.Available()) main_.SetEnabled(MainControl::kShortcutCheck, false);
    inputsLocked_ = locked;
    inputProblem_ = locked ? std::nullopt : FirstInvalidInput(false);
    main_.SetEnabled(MainControl::kStartStopButton, locked || !inputProblem_);
    ShowInputProblem();
    RefreshCommands();
    if (advancedBuilt_) ShowSubFolderHelp();
}

std::optional<Shell::InputProblem> Shell::FirstInvalidInput(bool connectionOnly) const {
    const std::string saveDir = main_.Text(MainControl::kSaveDirEdit);
    if (!connectionOnly && saveDir.empty()) return InputProblem{MainControl::kSaveDirEdit, TextKey::kTipNoSaveDir};
    if (!connectionOnly && !IsFolder(saveDir)) {
        return InputProblem{MainControl::kSaveDirEdit, TextKey::kTipSaveDirMissing};
    }
    if (main_.Text(MainControl::kUserNameEdit).empty()) {
        return InputProblem{MainControl::kUserNameEdit, TextKey::kTipNoUserName};
    }
    if (main_.Text(MainControl::kServerEdit).empty()) {
        return InputProblem{MainControl::kServerEdit, TextKey::kTipNoServer};
    }
    const std::int32_t port = LeadingInteger(main_.Text(MainControl::kPortEdit));
    if (port <= 0) return InputProblem{MainControl::kPortEdit, TextKey::kTipBadPort};
    if (!connectionOnly && !main_.ComboSelection(MainControl::kIntervalCombo)) {
        return InputProblem{MainControl::kIntervalCombo, TextKey::kTipNoInterval};
    }
    // After the window's own checks: a port above the range could never connect, and --set refuses it too.
    if (port > kHighestPort) return InputProblem{MainControl::kPortEdit, TextKey::kTipBadPort};
    // With OAuth the password is not asked for; a sign-in is.
    if (signInSettings_.authentication == Authentication::kOAuth && !signedInName_) {
        return InputProblem{MainControl::kSignInButton, TextKey::kTipNoSignIn};
    }
    // Last, the subfolder template of the advanced window, whose button leads to it.
    if (!connectionOnly && !IsValidSubFolderTemplate(advanced_.Text(AdvancedControl::kSubFolderEdit))) {
        return InputProblem{MainControl::kAdvancedButton, TextKey::kTipSubFolderRefused};
    }
    return std::nullopt;
}

void Shell::ShowInputProblem() {
    const std::string hint = inputProblem_ ? TextOf(inputProblem_->reason) : std::string();
    if (hint != startHint_) {
        main_.SetTooltip(MainControl::kStartStopButton, hint);
        main_.SetStatusTip(MainControl::kStartStopButton, hint);
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
    record.language = main_.MenuChecked(MenuItem::kEnglish) ? "english" : "german";
    record.portText = main_.Text(MainControl::kPortEdit);
    record.security = ConnectionSecurityOf(main_.ComboSelection(MainControl::kSecurityCombo).value_or(0))
                          .value_or(ConnectionSecurity::kNone);
    record.server = main_.Text(MainControl::kServerEdit);
    record.userName = main_.Text(MainControl::kUserNameEdit);
    record.password = main_.Text(MainControl::kPasswordEdit);
    if (const std::optional<int> item = main_.ComboSelection(MainControl::kIntervalCombo)) {
        record.intervalPosition = ReadIntervalPosition(main_.ComboItemData(MainControl::kIntervalCombo, *item));
    }
    record.searchString = advanced_.Text(AdvancedControl::kSearchStringEdit);
    record.saveDir = main_.Text(MainControl::kSaveDirEdit);
    record.startHour = main_.ComboSelection(MainControl::kStartHourCombo);
    record.startMinute = main_.ComboSelection(MainControl::kStartMinuteCombo);
    record.deleteMails = main_.Checked(MainControl::kDeleteMailsCheck);
    record.extensionsText = advanced_.Text(AdvancedControl::kExtensionsEdit);
    record.existingFiles =
        advanced_.Checked(AdvancedControl::kReplaceRadio) ? ExistingFiles::kReplace : ExistingFiles::kKeepBoth;
    record.subFolder = advanced_.Text(AdvancedControl::kSubFolderEdit);
    record.saveInline = advanced_.Checked(AdvancedControl::kSaveInlineCheck);
    record.rememberMails = advanced_.Checked(AdvancedControl::kRememberMailsCheck);
    record.signIn = signInSettings_;
    for (int i = 0; i < advanced_.ListCount(AdvancedControl::kAllowedList); ++i) {
        record.allowedSenders.push_back(advanced_.ListEntry(AdvancedControl::kAllowedList, i));
    }
    for (int i = 0; i < advanced_.ListCount(AdvancedControl::kBlockedList); ++i) {
        record.blockedSenders.push_back(advanced_.ListEntry(AdvancedControl::kBlockedList, i));
    }
    return record;
}

void Shell::WriteControls(const SettingsRecord& record) {
    main_.SetText(MainControl::kPortEdit, record.portText);
    main_.SetText(MainControl::kServerEdit, record.server);
    main_.SelectComboItem(MainControl::kSecurityCombo, NumberOf(record.security));
    main_.SetText(MainControl::kUserNameEdit, record.userName);
    main_.SetText(MainControl::kPasswordEdit, record.password);
    // The items are in table order, so a table position is an item index.
    main_.SelectComboItem(MainControl::kIntervalCombo, record.intervalPosition);
    advanced_.SetText(AdvancedControl::kSearchStringEdit, record.searchString);
    main_.SetText(MainControl::kSaveDirEdit, record.saveDir);
    main_.SelectComboItem(MainControl::kStartHourCombo, record.startHour);
    main_.SelectComboItem(MainControl::kStartMinuteCombo, record.startMinute);
    main_.SetChecked(MainControl::kDeleteMailsCheck, record.deleteMails);
    advanced_.SetText(AdvancedControl::kExtensionsEdit, record.extensionsText);
    advanced_.SetChecked(AdvancedControl::kKeepBothRadio, record.existingFiles == ExistingFiles::kKeepBoth);
    advanced_.SetChecked(AdvancedControl::kReplaceRadio, record.existingFiles == ExistingFiles::kReplace);
    advanced_.SetText(AdvancedControl::kSubFolderEdit, record.subFolder);
    advanced_.SetChecked(AdvancedControl::kSaveInlineCheck, record.saveInline);
    advanced_.SetChecked(AdvancedControl::kRememberMailsCheck, record.rememberMails);
    signInSettings_ = record.signIn;
    signedInName_ = signIn_.SignedInName();
    ShowAuthentication();
    ShowSignInState();
    advanced_.ClearList(AdvancedControl::kAllowedList);
    for (const std::string& entry : record.allowedSenders) {
        advanced_.AppendListEntry(AdvancedControl::kAllowedList, entry);
    }
    advanced_.ClearList(AdvancedControl::kBlockedList);
    for (const std::string& entry : record.blockedSenders) {
        advanced_.AppendListEntry(AdvancedControl::kBlockedList, entry);
    }
}

void Shell::SetStartStopCaption(TextKey caption) {
    main_.SetText(MainControl::kStartStopButton, TextOf(caption));
    main_.SetMenuText(MenuItem::kTrayStartStop, TextOf(caption));
}

bool Shell::RunSlotFree() const {
    const bool serviceDoesTheWork = !serviceMode_ && (lastServiceState_ == ServiceState::kRunning ||
                                                      lastServiceState_ == ServiceState::kStartPending);
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
    show(runNowEnabled_, free && inputsValid, {MenuItem::kRunNow, MenuItem::kTrayRunNow});
    show(checkEnabled_, free && (inputsLocked_ || !FirstInvalidInput(true)), {MenuItem::kCheckConnection});
    show(trayStartStopEnabled_, inputsValid, {MenuItem::kTrayStartStop});
}

ScheduleControls Shell::ScheduleControlsNow() const {
    ScheduleControls controls;
    if (const std::optional<int> item = main_.ComboSelection(MainControl::kIntervalCombo)) {
        controls.intervalSeconds = main_.ComboItemData(MainControl::kIntervalCombo, *item);
    }
    controls.startHour = main_.ComboSelection(MainControl::kStartHourCombo).value_or(0);
    controls.startMinute = main_.ComboSelection(MainControl::kStartMinuteCombo).value_or(0);
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
    // The browser may still come back; nobody would be there to hear it.
    if (signInWaiting_) signIn_.Cancel();
    main_.EndEventLoop();
}

void Shell::OnAbout() { main_.ShowMessage(kAboutTitle, kAboutText); }

void Shell::OnLanguageChosen(MenuItem language) {
    const bool german = language == MenuItem::kGerman;
    main_.SetMenuChecked(MenuItem::kGerman, german);
    main_.SetMenuChecked(MenuItem::kEnglish, !german);
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
        main_.SetStatusText(StatusField::kScheduleField, TextOf(TextKey::kStatusExamining));
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
    if (serviceMode_) return;
    // Without a notification area a hidden window could never be brought back: it stays minimised instead.
    if (!main_.HasNotificationArea()) return;
    main_.HideWindow();
    main_.ShowTrayIcon(TextOf(TextKey::kTipTrayRestore));
}

void Shell::OnTrayDoubleClick() {
    if (serviceMode_) return;
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
    std::string folder = main_.ChooseFolder(TextOf(TextKey::kTitleChooseFolder), main_.Text(MainControl::kSaveDirEdit));
    if (folder.empty()) return;
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (folder.back() != separator && folder.back() != '/') folder += separator;
    main_.SetText(MainControl::kSaveDirEdit, folder);
    SetInputsLocked(false);
}

void Shell::OnDonateButton() { main_.OpenWebAddress(std::string(kDonationAddress)); }

void Shell::OnClearLogButton() { main_.ClearLog(); }

void Shell::OnInputChanged() { SetInputsLocked(false); }

// Only the usual port of the other kind of connection follows the choice: a port of the user's own choosing stays.
void Shell::OnSecurityChanged() {
    const bool tls = main_.ComboSelection(MainControl::kSecurityCombo) == NumberOf(ConnectionSecurity::kTls);
    const std::string port = main_.Text(MainControl::kPortEdit);
    if (tls && port == kPlainPort) main_.SetText(MainControl::kPortEdit, std::string(kTlsPort));
    if (!tls && port == kTlsPort) main_.SetText(MainControl::kPortEdit, std::string(kPlainPort));
}

void Shell::OnAuthenticationChanged() {
    const std::optional<int> item = main_.ComboSelection(MainControl::kAuthenticationCombo);
    if (!item || *item < 0 || *item >= static_cast<int>(kAuthenticationItems.size())) return;
    const AuthenticationItem& chosen = kAuthenticationItems[static_cast<std::size_t>(*item)];
    signInSettings_.authentication = chosen.authentication;
    if (chosen.authentication == Authentication::kOAuth) {
        signInSettings_.provider = std::string(chosen.provider);
        FillProviderPreset(chosen.provider);
    }
    ShowAuthentication();
    SetInputsLocked(false);
}

void Shell::FillProviderPreset(std::string_view provider) {
    const auto preset = std::find_if(kProviderPresets.begin(), kProviderPresets.end(),
                                     [&](const ProviderPreset& candidate) { return candidate.provider == provider; });
    if (preset == kProviderPresets.end()) return;
    if (IsPresetServer(main_.Text(MainControl::kServerEdit))) {
        main_.SetText(MainControl::kServerEdit, std::string(preset->server));
    }
    const std::string port = main_.Text(MainControl::kPortEdit);
    if (port.empty() || port == kPlainPort) main_.SetText(MainControl::kPortEdit, std::string(kTlsPort));
    const std::optional<int> security = main_.ComboSelection(MainControl::kSecurityCombo);
    if (!security || *security == NumberOf(ConnectionSecurity::kNone)) {
        main_.SelectComboItem(MainControl::kSecurityCombo, NumberOf(ConnectionSecurity::kTls));
    }
}

void Shell::OnOAuthSettingsButton() {
    for (const OAuthBox& box : kOAuthBoxes) {
        oauth_.SetText(box.edit, signInSettings_.*box.field);
        const bool used = BoxUsedBy(box.edit, signInSettings_.provider);
        oauth_.SetEnabled(box.label, used);
        oauth_.SetEnabled(box.edit, used);
    }
    main_.SetWindowEnabled(false);
    oauth_.Show();
}

void Shell::OnOAuthSettingsClosed(bool accepted) {
    // A refused box keeps the window open, with the user's text in it.
    if (accepted && !AcceptOAuthSettings()) return;
    main_.SetWindowEnabled(true);
    oauth_.Hide();
}

bool Shell::AcceptOAuthSettings() {
    SignInSettings changed = signInSettings_;
    for (const OAuthBox& box : kOAuthBoxes) changed.*box.field = oauth_.Text(box.edit);
    const bool custom = changed.provider == "custom";
    for (const OAuthBox& box : kOAuthBoxes) {
        const bool url = box.edit == OAuthControl::kAuthorizeUrlEdit || box.edit == OAuthControl::kTokenUrlEdit ||
                         box.edit == OAuthControl::kDeviceUrlEdit;
        const std::string& value = changed.*box.field;
        // The tokens travel only to https addresses; a custom provider needs both endpoints, its device flow may be
        // absent. Where another provider is chosen, an empty address waits for the day the custom one is.
        const bool mayBeEmpty = !custom || box.edit == OAuthControl::kDeviceUrlEdit;
        if (url && !(mayBeEmpty && value.empty()) && !IsHttpsUrl(value)) {
            main_.ShowMessage(TextOf(TextKey::kTitleOAuthSettings),
                              FillPlaceholder(TextOf(TextKey::kMsgBadHttpsUrl), "{FIELD}", TextOf(box.text)));
            return false;
        }
    }
    if (!IsTenantName(changed.tenant)) {
        main_.ShowMessage(TextOf(TextKey::kTitleOAuthSettings), TextOf(TextKey::kMsgBadTenant));
        return false;
    }
    signInSettings_ = std::move(changed);
    return true;
}

void Shell::OnSignInButton() {
    if (signInWaiting_) {
        // Its end, with the log line, comes at the next tick.
        signIn_.Cancel();
        return;
    }
    // The sign-in reads the settings as the window shows them, as the runs after it will.
    if (!parts_.places.dataFolder.empty()) SaveSettings(parts_.places.dataFolder, ReadControls());
    std::string detail;
    const std::optional<std::string> address = signIn_.Start(signInSettings_, detail);
    if (!address) {
        Log(FillPlaceholder(TextOf(TextKey::kErrSignInNotStarted), "{DETAIL}", Utf8ToWindows1252Lossy(detail)));
        return;
    }
    signInWaiting_ = true;
    ShowSignInState();
    Log(TextKey::kMsgSignInWaiting);
    main_.OpenWebAddress(*address);
}

void Shell::EndSignIn(const WindowSignInEnd& end) {
    signInWaiting_ = false;
    switch (end.outcome) {
        case SignInOutcome::kSignedIn:
            signedInName_ = end.signedInName;
            Log(end.signedInName.empty() ? TextOf(TextKey::kStatusSignedIn)
                                         : FillPlaceholder(TextOf(TextKey::kStatusSignedInAs), "{NAME}",
                                                           Utf8ToWindows1252Lossy(end.signedInName)));
            break;
        case SignInOutcome::kCancelled:
            Log(TextKey::kMsgSignInCancelled);
            break;
        case SignInOutcome::kExpired:
            Log(TextKey::kMsgSignInTimedOut);
            break;
        case SignInOutcome::kRefused:
            Log(FillPlaceholder(TextOf(TextKey::kErrSignInRefused), "{DETAIL}", Utf8ToWindows1252Lossy(end.detail)));
            break;
        case SignInOutcome::kUnreachable:
            Log(TextKey::kErrProviderUnreachable);
            if (!end.detail.empty()) Log(Utf8ToWindows1252Lossy(end.detail));
            break;
    }
    ShowSignInState();
    // A new sign-in may be what kept the start button disabled; under a running schedule the button that could
    // cancel the sign-in is locked again with the other inputs.
    SetInputsLocked(inputsLocked_);
}

void Shell::OnStartStopButton() {
    // The button's role is its caption: after a change of language the caption is rewritten in its role.
    if (main_.Text(MainControl::kStartStopButton) == texts_.Text(TextKey::kButtonStart)) {
        StartRole();
    } else {
        StopRole();
    }
}

void Shell::StartRole() {
    nextStart_ = ComputeNextStart(parts_.now(), ScheduleControlsNow());
    SetStartStopCaption(TextKey::kButtonStop);
    SetInputsLocked(true);
    // Elevated, the window may narrow a data folder left readable to every user, as the service does.
    if (!parts_.places.dataFolder.empty() && system_.RunsElevated()) {
        system_.ProtectDataFolder(parts_.places.dataFolder);
    }

    if (services_.Available() && main_.Checked(MainControl::kServiceCheck)) {
        if (serviceInstalled_ == ServiceState::kNotInstalled) {
            InstallService();
        } else if (services_.Start(kServiceName) != 0) {
            Log(TextKey::kMsgServiceInstalled);
            Log(TextKey::kMsgRunningInBackground);
            Log(TextKey::kMsgHowToReconfigure);
            serviceInstalled_ = ServiceState::kRunning;
        }
    }
    if (shortcuts_.Available()) {
        const bool wanted = main_.Checked(MainControl::kShortcutCheck);
        if (wanted && startupShortcutPath_.empty()) {
            const std::string link = system_.GetSpecialFolderPath(SpecialFolder::kCommonStartup) + kStartupShortcutName;
            if (shortcuts_.CreateShortcut(system_.ProgramPath(), link, "", TextOf(TextKey::kProductDescription), "") ==
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
                          TextOf(TextKey::kProductDescription), kServiceAutoStart) == 0) {
        LogSystemError(TextKey::kErrInstallService, TextKey::kErrInstallRights, system_.LastSystemError());
        return;
    }
    // The service and the autostart shortcut exclude each other; the service wins.
    if (!startupShortcutPath_.empty()) {
        shortcuts_.DeleteShortcut(startupShortcutPath_);
        startupShortcutPath_.clear();
        main_.SetChecked(MainControl::kShortcutCheck, false);
    }
    const std::string user = system_.CurrentUserName();
    if (services_.GrantAccess(kServiceName, user, kServiceUserRights) == 0) {
        Log(system_.SystemErrorText(system_.LastSystemError()));
    }
    // The service's files in the data folder stay writable for the user who installed it, and for nobody else.
    if (!parts_.places.dataFolder.empty() && !system_.GrantFolderModify(parts_.places.dataFolder, user)) {
        Log(system_.SystemErrorText(system_.LastSystemError()));
    }
    Log(TextKey::kMsgServiceInstalled);
    Log(TextKey::kMsgRunningInBackground);
    Log(TextKey::kMsgHowToReconfigure);
    serviceInstalled_ = ServiceState::kRunning;
}

void Shell::StopRole() {
    // Not ended in time: the run goes on to its end by itself and the schedule starts no other before that.
    run_.Stop(parts_.stopWait);
    nextStart_ = 0;
    main_.SetStatusText(StatusField::kScheduleField, "");
    examiningShown_ = false;
    SetStartStopCaption(TextKey::kButtonStart);
    if (services_.QueryState(kServiceName) != ServiceState::kNotInstalled && services_.Stop(kServiceName) != 0) {
        Log(TextKey::kMsgServiceHalted);
    }
    SetInputsLocked(false);
}

void Shell::UninstallService(MainControl askingBox) {
    if (!main_.AskYesNo(TextOf(TextKey::kTitleUninstall), TextOf(TextKey::kAskUninstall))) {
        main_.SetChecked(askingBox, askingBox == MainControl::kServiceCheck);
        return;
    }
    if (services_.Uninstall(kServiceName) == 0) {
        LogSystemError(TextKey::kErrUninstallService, TextKey::kErrUninstallRights, system_.LastSystemError());
        main_.SetChecked(askingBox, askingBox == MainControl::kServiceCheck);
        return;
    }
    Log(TextKey::kMsgServiceUninstalled);
    main_.SetChecked(MainControl::kServiceCheck, false);
    serviceInstalled_ = ServiceState::kNotInstalled;
}

void Shell::OnServiceCheckChanged() {
    if (!services_.Available()) {
        main_.SetChecked(MainControl::kServiceCheck, false);
        return;
    }
    if (!main_.Checked(MainControl::kServiceCheck) && lastServiceState_ != ServiceState::kNotInstalled) {
        UninstallService(MainControl::kServiceCheck);
    }
    if (main_.Checked(MainControl::kServiceCheck)) main_.SetChecked(MainControl::kShortcutCheck, false);
}

void Shell::OnShortcutCheckChanged() {
    if (!shortcuts_.Available()) {
        main_.SetChecked(MainControl::kShortcutCheck, false);
        return;
    }
    if (main_.Checked(MainControl::kShortcutCheck) && lastServiceState_ != ServiceState::kNotInstalled) {
        UninstallService(MainControl::kShortcutCheck);
    }
}

void Shell::OnSenderListClicked(SenderListKind kind) {
    const SenderListControls controls = ControlsOf(kind);
    advanced_.SetEnabled(controls.deleteButton, advanced_.ListSelection(controls.list).has_value());
}

void Shell::OnSenderAddButton(SenderListKind kind) {
    const SenderListControls controls = ControlsOf(kind);
    const std::string address = main_.AskText(TextOf(TextKey::kTitleAddEmail), TextOf(TextKey::kPromptEmail), "");
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
    if (signInWaiting_) {
        if (std::optional<WindowSignInEnd> end = signIn_.TakeEnd()) EndSignIn(*end);
    }
    // The service's state is read before the due start is decided: a service that the start button has just
    // installed or started must not find this window running the same mailbox beside it.
    const ServiceState state = services_.QueryState(kServiceName);
    if (state != lastServiceState_) {
        main_.SetStatusText(StatusField::kServiceField, std::string(texts_.ServiceStateText(state)));
        lastServiceState_ = state;
    }
    const LocalSeconds now = parts_.now();
    const TickDecision decision = ScheduleTick(now, nextStart_, run_.Active(), ScheduleControlsNow().intervalSeconds,
                                               serviceMode_, lastServiceState_);
    switch (decision.action) {
        case TickAction::kShowCountdown:
            main_.SetStatusText(StatusField::kScheduleField,
                                FillPlaceholder(texts_.Text(TextKey::kStatusNextStart), "{START}", decision.countdown));
            examiningShown_ = false;
            break;
        case TickAction::kStartRun:
            // While paused the due times pass without runs, so a resume does not bring a burst of missed ones.
            if (!paused_ && !(parts_.schedulePaused && parts_.schedulePaused())) {
                StartRun(RunKind::kMailbox);
                main_.SetStatusText(StatusField::kScheduleField, TextOf(TextKey::kStatusExamining));
            }
            break;
        case TickAction::kLeaveToService:
        case TickAction::kWaitForRun:
            break;
        case TickAction::kNone:
            // A run started outside an idle schedule has ended: nothing is counted down, so its text goes.
            if (examiningShown_ && nextStart_ == 0 && !run_.Active()) {
                main_.SetStatusText(StatusField::kScheduleField, "");
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
            log_->WriteLog(texts_.Text(TextKey::kMsgRunSkipped),
                           serviceMode_ ? LogDestination::kViewAndSharedFile : LogDestination::kView);
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
    if (serviceMode_) return;
    log_->TakeOverSharedLog(true);
    // `zendrel --sign-in` and `--sign-out` change the stored sign-in beside the window.
    if (signInSettings_.authentication == Authentication::kOAuth && !signInWaiting_) {
        std::optional<std::string> name = signIn_.SignedInName();
        if (name != signedInName_) {
            signedInName_ = std::move(name);
            ShowSignInState();
            if (!inputsLocked_) SetInputsLocked(false);
        }
    }
}

}  // namespace zendrel
