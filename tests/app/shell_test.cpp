// The shell's decisions, headless: start-up by service state, the window's events, the schedule tick and the quit
// path, against a recording view, a fake service manager and shortcuts, a fake clock and a fake or real run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "app/mailbox_shell_run.h"
#include "app/main_procedure.h"
#include "app/shell.h"
#include "job/placeholders.h"
#include "fake_mail_session.h"
#include "platform/locked_log_files.h"
#include "shell_fakes.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

constexpr LocalSeconds kDay = 86400;
constexpr LocalSeconds kMidnight = 20000 * kDay;
constexpr LocalSeconds kTenOClock = kMidnight + 10 * 3600;

std::string English(TextKey key) { return std::string(TextOf(Language::kEnglish, key)); }
std::string German(TextKey key) { return std::string(TextOf(Language::kGerman, key)); }

class ShellTest : public ::testing::Test {
protected:
    ShellTest() {
        settings_.language = "english";
        settings_.server = "pop.example.org";
        settings_.portText = "110";
        settings_.userName = "bob";
        settings_.saveDir = save_.string() + "/";
        settings_.intervalPosition = 1;  // 600 s
        settings_.startHour = 0;
        settings_.startMinute = 0;
    }

    ShellParts Parts() {
        if (writeSettings_) {
            EXPECT_TRUE(SaveSettings(data_, settings_));
        }
        ShellParts parts;
        parts.mainView = &view_;
        parts.advancedView = &advanced_;
        parts.oauthView = &oauth_;
        parts.signIn = &signIn_;
        parts.serviceController = &controller_;
        parts.shortcuts = &shortcuts_;
        parts.system = &system_;
        parts.run = run_;
        parts.locks = &locks_;
        parts.texts = texts_;
        parts.handledMessageIds = handledMessageIds_;
        parts.logFiles = &files_;
        parts.places.dataFolder = data_;
        parts.now = [this] { return now_; };
        parts.logTime = [] { return testsupport::TimeOfDay(10, 0, 0); };
        parts.serviceProgram = [](bool) {};
        return parts;
    }

    Shell& StartShell(bool serviceMode = false, std::function<void(ShellParts&)> change = {}) {
        ShellParts parts = Parts();
        if (change) change(parts);
        shell_ = std::make_unique<Shell>(parts, serviceMode);
        startUp_ = shell_->StartUp();
        return *shell_;
    }

    std::vector<std::string> LogTexts() { return view_.Rows().Texts(); }
    bool Enabled(MainControl control) const { return view_.Enabled(control); }

    TemporaryFolder work_{"zendrel-shell"};
    fs::path data_ = work_.MakeFolder("data");
    fs::path save_ = work_.MakeFolder("save");
    bool writeSettings_ = true;
    SettingsRecord settings_;
    LocalSeconds now_ = kTenOClock;
    RecordingMainView view_;
    MemoryAdvancedView advanced_;
    MemoryOAuthSettingsView oauth_;
    FakeWindowSignIn signIn_;
    FakeSystemInfo system_;
    FakeServiceController controller_{system_};
    FakeShortcuts shortcuts_;
    FakeLocks locks_;  // outlives the run requests that hold its locks
    FakeRun fakeRun_;
    ShellRun* run_ = &fakeRun_;
    std::shared_ptr<InterfaceTexts> texts_ = std::make_shared<InterfaceTexts>();
    std::shared_ptr<HandledMessageIds> handledMessageIds_ = std::make_shared<HandledMessageIds>();
    LockedLogFiles files_;
    std::unique_ptr<Shell> shell_;
    StartUpResult startUp_ = StartUpResult::kContinue;
};

TEST_F(ShellTest, StartStopButtonIsEnabledOnlyForCompleteInputsAndOtherwiseNamesTheFirstProblem) {
    Shell& shell = StartShell();
    struct Case {
        const char* name;
        std::function<void()> change;
        std::optional<TextKey> reason;  // none: the button is enabled
        MainControl marked;
    };
    const auto noInterval = [&] { view_.SelectComboItem(MainControl::kIntervalCombo, std::nullopt); };
    const Case cases[] = {
        {"all valid", [] {}, std::nullopt, MainControl::kPortEdit},
        {"empty password", [&] { view_.SetText(MainControl::kPasswordEdit, ""); }, std::nullopt,
         MainControl::kPortEdit},
        {"port 65535", [&] { view_.SetText(MainControl::kPortEdit, "65535"); }, std::nullopt, MainControl::kPortEdit},
        {"port 0", [&] { view_.SetText(MainControl::kPortEdit, "0"); }, TextKey::kTipBadPort, MainControl::kPortEdit},
        {"empty port", [&] { view_.SetText(MainControl::kPortEdit, ""); }, TextKey::kTipBadPort,
         MainControl::kPortEdit},
        {"port 99999", [&] { view_.SetText(MainControl::kPortEdit, "99999"); }, TextKey::kTipBadPort,
         MainControl::kPortEdit},
        {"missing folder", [&] { view_.SetText(MainControl::kSaveDirEdit, (save_ / "gone").string()); },
         TextKey::kTipSaveDirMissing, MainControl::kSaveDirEdit},
        {"empty folder", [&] { view_.SetText(MainControl::kSaveDirEdit, ""); }, TextKey::kTipNoSaveDir,
         MainControl::kSaveDirEdit},
        {"empty user", [&] { view_.SetText(MainControl::kUserNameEdit, ""); }, TextKey::kTipNoUserName,
         MainControl::kUserNameEdit},
        {"empty server", [&] { view_.SetText(MainControl::kServerEdit, ""); }, TextKey::kTipNoServer,
         MainControl::kServerEdit},
        {"no interval", noInterval, TextKey::kTipNoInterval, MainControl::kIntervalCombo},
        // After the port's range, the advanced window's subfolders: its button is marked.
        {"subfolders that climb out", [&] { advanced_.SetText(AdvancedControl::kSubFolderEdit, "../{year}"); },
         TextKey::kTipSubFolderRefused, MainControl::kAdvancedButton},
        {"port 99999, subfolders that climb out", [&] {
             view_.SetText(MainControl::kPortEdit, "99999");
             advanced_.SetText(AdvancedControl::kSubFolderEdit, "../{year}");
         }, TextKey::kTipBadPort, MainControl::kPortEdit},
        {"subfolders by date", [&] { advanced_.SetText(AdvancedControl::kSubFolderEdit, "{year}/{month}"); },
         std::nullopt, MainControl::kPortEdit},
        // The window's own checks first, in their order, then the port's range.
        {"empty user and server", [&] {
             view_.SetText(MainControl::kUserNameEdit, "");
             view_.SetText(MainControl::kServerEdit, "");
         }, TextKey::kTipNoUserName, MainControl::kUserNameEdit},
        {"port 99999, no interval", [&] {
             view_.SetText(MainControl::kPortEdit, "99999");
             noInterval();
         }, TextKey::kTipNoInterval, MainControl::kIntervalCombo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.SetText(MainControl::kPortEdit, "110");
        view_.SetText(MainControl::kSaveDirEdit, save_.string());
        view_.SetText(MainControl::kUserNameEdit, "bob");
        view_.SetText(MainControl::kServerEdit, "pop.example.org");
        view_.SelectComboItem(MainControl::kIntervalCombo, 1);
        advanced_.SetText(AdvancedControl::kSubFolderEdit, "");
        c.change();
        shell.OnInputChanged();
        EXPECT_EQ(Enabled(MainControl::kStartStopButton), !c.reason);
        const std::string reason = c.reason ? English(*c.reason) : "";
        EXPECT_EQ(view_.Tooltip(MainControl::kStartStopButton), reason);
        EXPECT_EQ(view_.StatusTip(MainControl::kStartStopButton), reason);
        for (const MainControl input : {MainControl::kPortEdit, MainControl::kSaveDirEdit, MainControl::kUserNameEdit,
                                        MainControl::kServerEdit, MainControl::kIntervalCombo,
                                        MainControl::kAdvancedButton}) {
            EXPECT_EQ(view_.Marked(input), c.reason && input == c.marked) << static_cast<int>(input);
        }
        EXPECT_TRUE(Enabled(MainControl::kServerEdit));
    }
    // A template that is refused says why where it is typed.
    advanced_.SetText(AdvancedControl::kSubFolderEdit, "C:{year}");
    shell.OnInputChanged();
    EXPECT_THAT(advanced_.Tooltip(AdvancedControl::kSubFolderEdit), HasSubstr(English(TextKey::kTipSubFolderRefused)));
    advanced_.SetText(AdvancedControl::kSubFolderEdit, "");
    shell.OnInputChanged();
    EXPECT_EQ(advanced_.Tooltip(AdvancedControl::kSubFolderEdit), English(TextKey::kTipSubFolder));
    shell.OnLanguageChosen(MenuItem::kGerman);
    EXPECT_EQ(view_.Tooltip(MainControl::kStartStopButton), German(TextKey::kTipNoInterval));
    shell.SetInputsLocked(true);
    EXPECT_FALSE(Enabled(MainControl::kIntervalCombo));
    EXPECT_FALSE(Enabled(MainControl::kSecurityCombo));
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::kExtensionsEdit));
    EXPECT_FALSE(Enabled(MainControl::kServiceCheck));
    EXPECT_TRUE(Enabled(MainControl::kStartStopButton));
    EXPECT_EQ(view_.Tooltip(MainControl::kStartStopButton), "");
    EXPECT_FALSE(view_.Marked(MainControl::kIntervalCombo));
}

TEST_F(ShellTest, TheSecurityChoiceTakesTheUsualPortAlongAndIsWhatIsSavedAndRun) {
    settings_.security = ConnectionSecurity::kStartTls;
    Shell& shell = StartShell();
    EXPECT_EQ(view_.ComboSelection(MainControl::kSecurityCombo), 1);
    struct Case {
        const char* port;
        int chosen;
        const char* portAfter;
    };
    const Case cases[] = {
        {"110", 2, "995"}, {"995", 0, "110"}, {"995", 1, "110"},  {"110", 1, "110"},
        {"995", 2, "995"}, {"8110", 2, "8110"}, {"8110", 0, "8110"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.port) + " with " + std::to_string(c.chosen));
        view_.SetText(MainControl::kPortEdit, c.port);
        view_.SelectComboItem(MainControl::kSecurityCombo, c.chosen);
        shell.OnSecurityChanged();
        EXPECT_EQ(view_.Text(MainControl::kPortEdit), c.portAfter);
    }

    view_.SetText(MainControl::kPortEdit, "110");
    view_.SelectComboItem(MainControl::kSecurityCombo, 2);
    shell.OnSecurityChanged();
    shell.OnStartStopButton();
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("Port = 995\r\nSecurity = 2\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.security, ConnectionSecurity::kTls);
}

TEST_F(ShellTest, WhereTheFilesGoIsLoadedLockedSavedAndRun) {
    settings_.existingFiles = ExistingFiles::kReplace;
    settings_.subFolder = "{sender}";
    Shell& shell = StartShell();
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::kReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::kKeepBothRadio));
    EXPECT_EQ(advanced_.Text(AdvancedControl::kSubFolderEdit), "{sender}");
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::kSaveInlineCheck));
    EXPECT_EQ(advanced_.Text(AdvancedControl::kExistingFilesLabel), "If a file of that name exists:");

    advanced_.SetChecked(AdvancedControl::kKeepBothRadio, true);
    advanced_.SetText(AdvancedControl::kSubFolderEdit, "{domain}/{year}-{month}");
    advanced_.SetChecked(AdvancedControl::kSaveInlineCheck, true);
    shell.OnStartStopButton();
    for (AdvancedControl control : {AdvancedControl::kKeepBothRadio, AdvancedControl::kReplaceRadio,
                                    AdvancedControl::kSubFolderEdit, AdvancedControl::kSaveInlineCheck}) {
        EXPECT_FALSE(advanced_.Enabled(control)) << static_cast<int>(control);
    }
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName),
                HasSubstr("ExistingFiles = 0\r\nSubFolder = {domain}/{year}-{month}\r\nSaveInline = 1\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.existingFiles, ExistingFiles::kKeepBoth);
    EXPECT_EQ(fakeRun_.requests[0].controls.subFolder, "{domain}/{year}-{month}");
    EXPECT_TRUE(fakeRun_.requests[0].controls.saveInline);
}

TEST_F(ShellTest, TheSignInSettingsAreChosenInTheWindowCheckedSavedAndReachTheRun) {
    settings_.signIn.tenant = "organizations";
    signIn_.storedName = "bob@example.org";
    Shell& shell = StartShell();
    EXPECT_EQ(view_.ComboSelection(MainControl::kAuthenticationCombo), 0);
    view_.SelectComboItem(MainControl::kAuthenticationCombo, 3);  // Other...
    shell.OnAuthenticationChanged();
    shell.OnOAuthSettingsButton();
    EXPECT_TRUE(oauth_.Shown());
    EXPECT_FALSE(view_.WindowEnabled());
    EXPECT_EQ(oauth_.Text(OAuthControl::kTenantEdit), "organizations");
    EXPECT_FALSE(oauth_.Enabled(OAuthControl::kTenantEdit)) << "Microsoft's alone";
    EXPECT_TRUE(oauth_.Enabled(OAuthControl::kTokenUrlEdit));

    struct Case {
        const char* name;
        OAuthControl box;
        const char* value;
        const char* refusal;  // "": accepted, the window closes
    };
    const Case cases[] = {
        {"plain http", OAuthControl::kAuthorizeUrlEdit, "http://id.example.org/authorize",
         "OAuth settings|Authorization URL: the address must begin with https:// and name a host."},
        {"no host", OAuthControl::kAuthorizeUrlEdit, "https:///authorize",
         "OAuth settings|Authorization URL: the address must begin with https:// and name a host."},
        {"a custom provider's empty token URL", OAuthControl::kTokenUrlEdit, "",
         "OAuth settings|Token URL: the address must begin with https:// and name a host."},
        {"a space", OAuthControl::kDeviceUrlEdit, "https://id.example.org/de vice",
         "OAuth settings|Device URL (may be empty): the address must begin with https:// and name a host."},
        {"a tenant with a slash", OAuthControl::kTenantEdit, "a/b",
         "OAuth settings|The tenant must be consumers, organizations, common or a tenant id."},
        {"all fine, no device flow", OAuthControl::kDeviceUrlEdit, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.messages.clear();
        oauth_.SetText(OAuthControl::kClientIdEdit, "zendrel-app");
        oauth_.SetText(OAuthControl::kClientSecretEdit, "published");
        oauth_.SetText(OAuthControl::kTenantEdit, "organizations");
        oauth_.SetText(OAuthControl::kAuthorizeUrlEdit, "https://id.example.org/authorize");
        oauth_.SetText(OAuthControl::kTokenUrlEdit, "https://id.example.org/token");
        oauth_.SetText(OAuthControl::kDeviceUrlEdit, "https://id.example.org/device");
        oauth_.SetText(OAuthControl::kScopeEdit, "pop offline_access");
        oauth_.SetText(c.box, c.value);
        shell.OnOAuthSettingsClosed(true);
        const bool refused = *c.refusal != '\0';
        EXPECT_EQ(oauth_.Shown(), refused);
        if (refused) {
            EXPECT_THAT(view_.messages, ElementsAre(c.refusal));
        } else {
            EXPECT_THAT(view_.messages, IsEmpty());
        }
    }
    EXPECT_TRUE(view_.WindowEnabled());
    // Cancel leaves the settings as OK made them.
    shell.OnOAuthSettingsButton();
    oauth_.SetText(OAuthControl::kClientIdEdit, "typed, then cancelled");
    shell.OnOAuthSettingsClosed(false);
    EXPECT_FALSE(oauth_.Shown());

    shell.OnStartStopButton();
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName),
                HasSubstr("\r\nAuthentication = 1\r\nOAuthProvider = custom\r\nOAuthClientId = zendrel-app\r\n"
                          "OAuthTenant = organizations\r\nOAuthAuthorizeUrl = https://id.example.org/authorize\r\n"
                          "OAuthTokenUrl = https://id.example.org/token\r\nOAuthDeviceUrl = \r\n"
                          "OAuthScope = pop offline_access\r\n"));
    for (MainControl control :
         {MainControl::kAuthenticationCombo, MainControl::kOAuthSettingsButton, MainControl::kSignInButton}) {
        EXPECT_FALSE(Enabled(control)) << static_cast<int>(control);
    }
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.signIn.authentication, Authentication::kOAuth);
    EXPECT_EQ(fakeRun_.requests[0].controls.signIn.clientSecret, "published");
}

TEST_F(ShellTest, AProviderFillsOnlyTheConnectionBoxesNobodyChose) {
    Shell& shell = StartShell();
    struct Case {
        const char* server;
        const char* port;
        ConnectionSecurity security;
        int choice;  // Password, Microsoft, Google, Other...
        const char* serverAfter;
        const char* portAfter;
        ConnectionSecurity securityAfter;
    };
    constexpr auto kNone = ConnectionSecurity::kNone;
    constexpr auto kTls = ConnectionSecurity::kTls;
    constexpr auto kStartTls = ConnectionSecurity::kStartTls;
    const Case cases[] = {
        {"pop.gmx.net", "110", kNone, 1, "outlook.office365.com", "995", kTls},
        {"", "", kNone, 2, "pop.gmail.com", "995", kTls},
        {"outlook.office365.com", "995", kTls, 2, "pop.gmail.com", "995", kTls},
        {"mail.example.org", "110", kNone, 1, "mail.example.org", "995", kTls},
        {"pop.gmx.net", "1995", kStartTls, 2, "pop.gmail.com", "1995", kStartTls},
        {"pop.gmx.net", "110", kNone, 3, "pop.gmx.net", "110", kNone},
        {"pop.gmx.net", "110", kNone, 0, "pop.gmx.net", "110", kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server) + ":" + c.port + " choice " + std::to_string(c.choice));
        view_.SetText(MainControl::kServerEdit, c.server);
        view_.SetText(MainControl::kPortEdit, c.port);
        view_.SelectComboItem(MainControl::kSecurityCombo, NumberOf(c.security));
        view_.SelectComboItem(MainControl::kAuthenticationCombo, c.choice);
        shell.OnAuthenticationChanged();
        EXPECT_EQ(view_.Text(MainControl::kServerEdit), c.serverAfter);
        EXPECT_EQ(view_.Text(MainControl::kPortEdit), c.portAfter);
        EXPECT_EQ(view_.ComboSelection(MainControl::kSecurityCombo), NumberOf(c.securityAfter));
    }
}

TEST_F(ShellTest, WithASignInThePasswordGivesWayToTheSignInWhichTheStartButtonNeeds) {
    struct Case {
        int choice;
        std::optional<std::string> stored;
        const char* status;  // "" with the password
        bool startEnabled;
    };
    const Case cases[] = {
        {0, std::nullopt, "", true},
        {1, std::nullopt, "Not signed in", false},
        {2, "ann@example.org", "Signed in as ann@example.org", true},
        {3, "", "Signed in", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        signIn_.storedName = c.stored;
        StartShell();  // the stored sign-in is read with the settings
        view_.SelectComboItem(MainControl::kAuthenticationCombo, c.choice);
        shell_->OnAuthenticationChanged();
        const bool oauth = c.choice != 0;
        EXPECT_EQ(view_.Visible(MainControl::kPasswordEdit), !oauth);
        EXPECT_EQ(view_.Visible(MainControl::kPasswordLabel), !oauth);
        EXPECT_EQ(view_.Visible(MainControl::kSignInButton), oauth);
        EXPECT_EQ(view_.Visible(MainControl::kSignInStatus), oauth);
        EXPECT_EQ(view_.Visible(MainControl::kOAuthSettingsButton), oauth);
        if (oauth) {
            EXPECT_EQ(view_.Text(MainControl::kSignInStatus), c.status);
        }
        EXPECT_EQ(Enabled(MainControl::kStartStopButton), c.startEnabled);
        EXPECT_EQ(view_.Tooltip(MainControl::kStartStopButton), c.startEnabled ? "" : English(TextKey::kTipNoSignIn));
        EXPECT_EQ(view_.Marked(MainControl::kSignInButton), !c.startEnabled);
    }
    shell_->OnLanguageChosen(MenuItem::kGerman);
    EXPECT_EQ(view_.Text(MainControl::kSignInStatus), "Angemeldet");
    EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Anmelden\x85");
    EXPECT_EQ(view_.ComboItemText(MainControl::kAuthenticationCombo, 3), "Andere\x85");
}

TEST_F(ShellTest, SignInSavesOpensTheBrowserAndEndsAtATickAsTheSignInEnded) {
    settings_.signIn.authentication = Authentication::kOAuth;
    settings_.signIn.clientId = "zendrel-app";
    struct Case {
        const char* name;
        WindowSignInEnd end;
        std::vector<std::string> lastLines;
        const char* status;
    };
    const Case cases[] = {
        {"signed in", {SignInOutcome::kSignedIn, "ann@example.org", ""}, {"Signed in as ann@example.org"},
         "Signed in as ann@example.org"},
        {"cancelled", {SignInOutcome::kCancelled, "", ""}, {"The sign-in was cancelled."}, "Not signed in"},
        {"timed out", {SignInOutcome::kExpired, "", ""},
         {"The sign-in timed out: the browser did not come back within 5 minutes."}, "Not signed in"},
        {"refused", {SignInOutcome::kRefused, "", "access_denied"},
         {"ERROR!! (The sign-in was refused: access_denied)"}, "Not signed in"},
        {"unreachable", {SignInOutcome::kUnreachable, "", "HTTP 503"},
         {"ERROR!! (The sign-in provider could not be reached)", "HTTP 503"}, "Not signed in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        signIn_.startedWith.clear();
        Shell& shell = StartShell();
        view_.openedAddresses.clear();
        view_.SetText(MainControl::kUserNameEdit, "ann@example.org");
        shell.OnSignInButton();
        EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("Username = ann@example.org\r\n"));
        ASSERT_EQ(signIn_.startedWith.size(), 1u);
        EXPECT_EQ(signIn_.startedWith[0].clientId, "zendrel-app");
        EXPECT_THAT(view_.openedAddresses, ElementsAre(signIn_.address));
        EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Cancel sign-in");
        EXPECT_EQ(LogTexts().back(), "Waiting for the sign-in in the browser...");
        shell.OnScheduleTimer();  // still waiting
        EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Cancel sign-in");
        signIn_.end = c.end;
        shell.OnScheduleTimer();
        const std::vector<std::string> rows = LogTexts();
        ASSERT_GE(rows.size(), c.lastLines.size());
        EXPECT_EQ(std::vector<std::string>(rows.end() - static_cast<std::ptrdiff_t>(c.lastLines.size()), rows.end()),
                  c.lastLines);
        EXPECT_EQ(view_.Text(MainControl::kSignInStatus), c.status);
        EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Sign in\x85");
        EXPECT_EQ(Enabled(MainControl::kStartStopButton), c.end.outcome == SignInOutcome::kSignedIn);
    }
}

TEST_F(ShellTest, AWaitingSignInIsCancelledByItsButtonAndByQuitAndOneThatCannotStartSaysWhy) {
    settings_.signIn.authentication = Authentication::kOAuth;
    Shell& shell = StartShell();
    signIn_.startRefusal = "no client id";
    shell.OnSignInButton();
    EXPECT_EQ(LogTexts().back(), "ERROR!! (The sign-in could not start: no client id)");
    EXPECT_THAT(view_.openedAddresses, IsEmpty());
    EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Sign in\x85");

    signIn_.startRefusal.clear();
    shell.OnSignInButton();
    shell.OnSignInButton();  // Cancel sign-in
    EXPECT_EQ(signIn_.cancels, 1);
    shell.OnScheduleTimer();
    EXPECT_EQ(LogTexts().back(), "The sign-in was cancelled.");

    shell.OnSignInButton();
    shell.OnQuit();
    EXPECT_EQ(signIn_.cancels, 2);
    EXPECT_TRUE(view_.loopEnded);
}

TEST_F(ShellTest, ASignInThatEndsUnderARunningScheduleIsLockedAgainWithTheOtherInputs) {
    settings_.signIn.authentication = Authentication::kOAuth;
    signIn_.storedName = "ann@example.org";
    Shell& shell = StartShell();
    shell.OnSignInButton();
    shell.OnStartStopButton();
    EXPECT_TRUE(Enabled(MainControl::kSignInButton)) << "a waiting sign-in can be cancelled";
    signIn_.end = WindowSignInEnd{SignInOutcome::kSignedIn, "ann@example.org", ""};
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.Text(MainControl::kSignInButton), "Sign in\x85");
    EXPECT_FALSE(Enabled(MainControl::kSignInButton));
    EXPECT_TRUE(Enabled(MainControl::kStartStopButton)) << "the schedule can still be stopped";
}

TEST_F(ShellTest, ASignInOrSignOutBesideTheWindowShowsAtTheNextLogPoll) {
    settings_.signIn.authentication = Authentication::kOAuth;
    Shell& shell = StartShell();
    EXPECT_FALSE(Enabled(MainControl::kStartStopButton));
    signIn_.storedName = "ann@example.org";  // zendrel --sign-in
    shell.OnLogPollTimer();
    EXPECT_EQ(view_.Text(MainControl::kSignInStatus), "Signed in as ann@example.org");
    EXPECT_TRUE(Enabled(MainControl::kStartStopButton));
    signIn_.storedName.reset();  // zendrel --sign-out
    shell.OnLogPollTimer();
    EXPECT_EQ(view_.Text(MainControl::kSignInStatus), "Not signed in");
    EXPECT_FALSE(Enabled(MainControl::kStartStopButton));
}
TEST_F(ShellTest, RememberingExaminedMailsIsLoadedLockedSavedAndRunWithTheDataFolder) {
    settings_.rememberMails = true;
    Shell& shell = StartShell();
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::kRememberMailsCheck));
    EXPECT_EQ(advanced_.Text(AdvancedControl::kRememberMailsCheck), "Remember examined mails across restarts");

    advanced_.SetChecked(AdvancedControl::kRememberMailsCheck, false);
    shell.OnStartStopButton();
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::kRememberMailsCheck));
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("SaveInline = 0\r\nRememberMails = 0\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_FALSE(fakeRun_.requests[0].controls.rememberMails);
    EXPECT_EQ(fakeRun_.requests[0].dataFolder, data_);
}

TEST_F(ShellTest, AChosenFolderCompletesTheInputs) {
    settings_.saveDir = (save_ / "gone").string();
    Shell& shell = StartShell();
    EXPECT_FALSE(Enabled(MainControl::kStartStopButton));
    view_.folderAnswer = save_.string();
    shell.OnBrowseButton();
    // The chosen folder ends in the system's separator.
    EXPECT_EQ(view_.Text(MainControl::kSaveDirEdit), (save_ / "").string());
    EXPECT_TRUE(Enabled(MainControl::kStartStopButton));
}

struct ServiceStartCase {
    const char* name;
    ServiceState state;  // at start-up
    std::vector<std::string> failing;
    std::uint32_t error;
    std::vector<std::string> log;
    ServiceState installedAfter;
};

TEST_F(ShellTest, StartRoleWithTheServiceBox) {
    const std::vector<std::string> installedLines = {English(TextKey::kMsgServiceInstalled),
                                                     English(TextKey::kMsgRunningInBackground),
                                                     English(TextKey::kMsgHowToReconfigure)};
    std::vector<std::string> grantFailed = {"system text 1332"};
    grantFailed.insert(grantFailed.end(), installedLines.begin(), installedLines.end());
    const ServiceStartCase cases[] = {
        {"install, grant fails", ServiceState::kNotInstalled, {"GrantAccess"}, 1332, grantFailed,
         ServiceState::kRunning},
        {"install denied", ServiceState::kNotInstalled, {"Install"}, 5,
         {English(TextKey::kErrInstallService), English(TextKey::kErrInstallRights)}, ServiceState::kNotInstalled},
        {"install fails", ServiceState::kNotInstalled, {"Install"}, 1073,
         {English(TextKey::kErrInstallService), "system text 1073"}, ServiceState::kNotInstalled},
        {"installed, starts", ServiceState::kPaused, {}, 0, installedLines, ServiceState::kRunning},
        {"installed, start fails", ServiceState::kPaused, {"Start"}, 1056, {}, ServiceState::kPaused},
    };
    for (const ServiceStartCase& c : cases) {
        SCOPED_TRACE(c.name);
        view_.Rows().Clear();
        controller_.state = c.state;
        controller_.failing = c.failing;
        controller_.failureError = c.error;
        Shell& shell = StartShell();
        view_.SetChecked(MainControl::kServiceCheck, true);
        shell.OnStartStopButton();
        EXPECT_EQ(LogTexts(), c.log);
        EXPECT_EQ(shell.ServiceInstalled(), c.installedAfter);
        EXPECT_EQ(view_.Text(MainControl::kStartStopButton), "Stop");
        EXPECT_EQ(shell.NextStart(), kTenOClock);
    }
    EXPECT_EQ(controller_.installed, "Zendrel_Service|Zendrel|/opt/zendrel/zendrel|" +
                                         English(TextKey::kProductDescription) + "|2");
    EXPECT_EQ(controller_.granted, "alice|112");
}

TEST_F(ShellTest, InstallingTheServiceLetsTheInstallingUserKeepTheDataFolderWritable) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::kServiceCheck, true);
    system_.folderGrantFails = true;
    shell.OnStartStopButton();
    EXPECT_EQ(system_.folderGrant, data_.string() + "|alice");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"system text 1332", English(TextKey::kMsgServiceInstalled),
                                                    English(TextKey::kMsgRunningInBackground),
                                                    English(TextKey::kMsgHowToReconfigure)}));
}

TEST_F(ShellTest, TheDataFolderGetsItsOwnRightsWhenMadeWhenTheServiceStartsAndInAnElevatedStartRole) {
    struct ProtectionCase {
        const char* name;
        bool folderMissing;
        bool serviceMode;
        bool elevated;
        std::size_t protections;  // of the data folder, after the start and a press of the start button
    };
    const ProtectionCase cases[] = {
        {"the window makes the folder", true, false, false, 1},
        {"the window on a folder it finds", false, false, false, 0},
        {"the elevated window's start role", false, false, true, 1},
        {"the service's start", false, true, false, 1},
    };
    for (const ProtectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        system_.protectedFolders.clear();
        system_.elevated = c.elevated;
        const fs::path folder = c.folderMissing ? data_ / "new" / "" : data_;
        Shell& shell = StartShell(c.serviceMode, [&](ShellParts& parts) { parts.places.dataFolder = folder; });
        if (!c.serviceMode) shell.OnStartStopButton();
        EXPECT_EQ(system_.protectedFolders, std::vector<fs::path>(c.protections, folder));
    }
}

TEST_F(ShellTest, AWindowRefusedTheDataFolderSaysWhoseItIsAndTheServiceSaysNothing) {
    system_.folderRefused = true;
    StartShell();
    const std::u8string folder = data_.u8string();
    EXPECT_THAT(LogTexts(), testing::ElementsAre(FillPlaceholder(English(TextKey::kErrDataFolderDenied), "{FOLDER}",
                                                                 std::string(folder.begin(), folder.end()))));
    view_.Rows().Clear();
    StartShell(true);
    EXPECT_THAT(LogTexts(), testing::IsEmpty());
}

TEST_F(ShellTest, AServiceJustInstalledDoesTheFirstDueRunAlone) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::kServiceCheck, true);
    shell.OnStartStopButton();
    controller_.state = ServiceState::kRunning;  // the install started it
    shell.OnScheduleTimer();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_EQ(shell.NextStart(), kTenOClock + 600);
}

TEST_F(ShellTest, ShortcutIsMadeRemovedAndGivesWayToTheService) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::kShortcutCheck, true);
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), std::string("/startup/") + kStartupShortcutName);
    EXPECT_EQ(shortcuts_.links[std::string("/startup/") + kStartupShortcutName],
              "/opt/zendrel/zendrel|" + English(TextKey::kProductDescription));
    shell.OnStartStopButton();
    view_.SetChecked(MainControl::kShortcutCheck, false);
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), "");
    EXPECT_THAT(shortcuts_.links, IsEmpty());

    shortcuts_.links["/home/bob/autostart/z.lnk"] = "/opt/zendrel/zendrel";
    Shell& second = StartShell();
    EXPECT_TRUE(view_.Checked(MainControl::kShortcutCheck));
    view_.SetChecked(MainControl::kServiceCheck, true);
    second.OnServiceCheckChanged();
    EXPECT_FALSE(view_.Checked(MainControl::kShortcutCheck));
    second.OnStartStopButton();
    EXPECT_THAT(shortcuts_.links, IsEmpty());
    EXPECT_EQ(second.StartupShortcutPath(), "");
}

TEST_F(ShellTest, AShortcutThatCannotBeMadeIsTriedAgainAtTheNextStart) {
    shortcuts_.creates = false;
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::kShortcutCheck, true);
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), "");
    EXPECT_THAT(LogTexts(), IsEmpty());
    shell.OnStartStopButton();
    shortcuts_.creates = true;
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), std::string("/startup/") + kStartupShortcutName);
}

struct QuestionCase {
    const char* name;
    MainControl box;  // the box the user changes: unchecks the service box or checks the shortcut box
    bool yes;
    bool uninstallFails;
    std::uint32_t error;
    std::vector<std::string> log;
    bool serviceChecked;
    bool shortcutChecked;
    ServiceState installedAfter;
};

TEST_F(ShellTest, TheUninstallQuestionAndItsAnswers) {
    const std::string uninstalled = English(TextKey::kMsgServiceUninstalled);
    const std::string failed = English(TextKey::kErrUninstallService);
    const QuestionCase cases[] = {
        {"service box, no", MainControl::kServiceCheck, false, false, 0, {}, true, false, ServiceState::kStopped},
        {"service box, yes", MainControl::kServiceCheck, true, false, 0, {uninstalled}, false, false,
         ServiceState::kNotInstalled},
        {"service box, denied", MainControl::kServiceCheck, true, true, 5,
         {failed, English(TextKey::kErrUninstallRights)}, true, false, ServiceState::kStopped},
        {"shortcut box, no", MainControl::kShortcutCheck, false, false, 0, {}, true, false, ServiceState::kStopped},
        {"shortcut box, yes", MainControl::kShortcutCheck, true, false, 0, {uninstalled}, false, true,
         ServiceState::kNotInstalled},
        {"shortcut box, fails", MainControl::kShortcutCheck, true, true, 1060, {failed, "system text 1060"}, true,
         false, ServiceState::kStopped},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.name);
        view_.Rows().Clear();
        controller_.state = ServiceState::kStopped;
        controller_.failing = c.uninstallFails ? std::vector<std::string>{"Uninstall"} : std::vector<std::string>{};
        controller_.failureError = c.error;
        controller_.calls.clear();
        Shell& shell = StartShell();
        view_.yesNoAnswers = {c.yes};
        view_.questions.clear();
        if (c.box == MainControl::kServiceCheck) {
            view_.SetChecked(MainControl::kServiceCheck, false);
            shell.OnServiceCheckChanged();
        } else {
            view_.SetChecked(MainControl::kShortcutCheck, true);
            shell.OnShortcutCheckChanged();
        }
        EXPECT_THAT(view_.questions,
                    ElementsAre(English(TextKey::kTitleUninstall) + "|" + English(TextKey::kAskUninstall)));
        EXPECT_EQ(LogTexts(), c.log);
        EXPECT_EQ(view_.Checked(MainControl::kServiceCheck), c.serviceChecked);
        EXPECT_EQ(view_.Checked(MainControl::kShortcutCheck), c.shortcutChecked);
        EXPECT_EQ(shell.ServiceInstalled(), c.installedAfter);
        EXPECT_EQ(std::count(controller_.calls.begin(), controller_.calls.end(), "Uninstall"), c.yes ? 1 : 0);
    }
}

TEST_F(ShellTest, AServiceManagerThatSaysWhyItFailedIsQuotedInsteadOfTheSystemText) {
    controller_.failing = {"Install"};
    controller_.failureError = 31;
    controller_.errorText = "Failed to enable unit: Unit file zendrel.service is masked.";
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::kServiceCheck, true);
    shell.OnStartStopButton();
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{English(TextKey::kErrInstallService), controller_.errorText}));
    EXPECT_TRUE(view_.Checked(MainControl::kServiceCheck));
}

TEST_F(ShellTest, WithoutTheFacilitiesTheBoxesStayUncheckedAndDisabled) {
    FakeServiceController none(system_);
    none.available = false;
    FakeShortcuts noShortcuts;
    noShortcuts.available = false;
    Shell& shell = StartShell(false, [&](ShellParts& parts) {
        parts.serviceController = &none;
        parts.shortcuts = &noShortcuts;
    });
    view_.SetChecked(MainControl::kServiceCheck, true);
    shell.OnServiceCheckChanged();
    view_.SetChecked(MainControl::kShortcutCheck, true);
    shell.OnShortcutCheckChanged();
    shell.OnStartStopButton();
    shell.OnStartStopButton();
    for (MainControl box : {MainControl::kServiceCheck, MainControl::kShortcutCheck}) {
        EXPECT_FALSE(view_.Checked(box));
        EXPECT_FALSE(view_.Enabled(box));
    }
    EXPECT_THAT(LogTexts(), IsEmpty());
    EXPECT_EQ(view_.Tooltip(MainControl::kServiceCheck), English(TextKey::kTipNoServiceManager));
    shell.OnLanguageChosen(MenuItem::kGerman);
    EXPECT_EQ(view_.Tooltip(MainControl::kServiceCheck), German(TextKey::kTipNoServiceManager));
}

TEST_F(ShellTest, LanguageSwitchWhileRunningKeepsTheStopRoleAndTheStatusFields) {
    settings_.security = ConnectionSecurity::kTls;
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    now_ = kTenOClock - 5;
    shell.OnScheduleTimer();
    const std::string countdown = view_.StatusText(StatusField::kScheduleField);
    EXPECT_EQ(countdown, "Next start in 00:00:05");
    shell.OnLanguageChosen(MenuItem::kGerman);
    EXPECT_EQ(view_.Text(MainControl::kStartStopButton), "Anhalten");
    EXPECT_TRUE(view_.MenuChecked(MenuItem::kGerman));
    EXPECT_FALSE(view_.MenuChecked(MenuItem::kEnglish));
    EXPECT_EQ(view_.ComboSelection(MainControl::kIntervalCombo), 1);
    EXPECT_EQ(view_.ComboItemText(MainControl::kIntervalCombo, 1), German(TextKey::kInterval10Minutes));
    EXPECT_EQ(view_.Text(MainControl::kServerLabel), German(TextKey::kLabelServer) + ":");
    EXPECT_EQ(view_.Text(MainControl::kSecurityLabel), German(TextKey::kLabelSecurity) + ":");
    EXPECT_EQ(view_.ComboItemText(MainControl::kSecurityCombo, 0), German(TextKey::kSecurityNone));
    EXPECT_EQ(view_.ComboSelection(MainControl::kSecurityCombo), 2);
    EXPECT_EQ(advanced_.Title(), German(TextKey::kTitleAdvanced));
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), countdown);
    EXPECT_EQ(view_.StatusText(StatusField::kServiceField), English(TextKey::kServiceNotInstalled));
    shell.OnStartStopButton();
    EXPECT_EQ(view_.Text(MainControl::kStartStopButton), German(TextKey::kButtonStart));
    EXPECT_EQ(shell.NextStart(), 0);
}

TEST_F(ShellTest, WithoutSettingsItComesUpInTheSystemsLanguageWithTheServiceStateInEnglish) {
    struct Case {
        bool settingsFile;
        std::string saved;
        std::string system;
        bool german;
    };
    const Case cases[] = {
        {false, "", "english", false},
        {false, "", "german", true},
        {true, "german", "english", true},  // a saved language is the user's choice
        {true, "english", "german", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saved + " on " + c.system);
        fs::remove(data_ / kSettingsFileName);
        writeSettings_ = c.settingsFile;
        settings_.language = c.saved;
        system_.language = c.system;
        StartShell();
        EXPECT_EQ(view_.Text(MainControl::kStartStopButton), (c.german ? German : English)(TextKey::kButtonStart));
        EXPECT_EQ(view_.MenuChecked(MenuItem::kGerman), c.german);
        EXPECT_EQ(view_.MenuChecked(MenuItem::kEnglish), !c.german);
        EXPECT_EQ(view_.StatusText(StatusField::kServiceField), English(TextKey::kServiceNotInstalled));
    }
    EXPECT_TRUE(fs::exists(data_ / "log.txt"));
    EXPECT_EQ(view_.WindowTitle(), "Zendrel V" ZENDREL_PROJECT_VERSION);
}

TEST_F(ShellTest, StartUpWithTheServiceStoppedStartsItAndSchedules) {
    controller_.state = ServiceState::kStopped;
    Shell& shell = StartShell();
    EXPECT_THAT(controller_.calls, ElementsAre("Start"));
    EXPECT_TRUE(view_.Checked(MainControl::kServiceCheck));
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    EXPECT_TRUE(Enabled(MainControl::kServerEdit));
    EXPECT_TRUE(view_.WindowShown());
}

TEST_F(ShellTest, StartUpWithTheServiceRunningTakesOverTheWholeLog) {
    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 same\r\n09:00:00 same\r\n"));
    controller_.state = ServiceState::kRunning;
    Shell& shell = StartShell();
    EXPECT_THAT(view_.Rows().Rows(), ElementsAre("09:00:00 same", "09:00:00 same"));
    EXPECT_EQ(ReadBytes(data_ / "log.txt"), "");
    EXPECT_EQ(view_.Text(MainControl::kStartStopButton), "Stop");
    EXPECT_FALSE(Enabled(MainControl::kServerEdit));
    EXPECT_EQ(shell.NextStart(), kTenOClock);

    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 same\r\n10:00:00 new\r\n"));
    shell.OnLogPollTimer();
    EXPECT_THAT(view_.Rows().Rows(), ElementsAre("09:00:00 same", "09:00:00 same", "10:00:00 new"));
}

TEST_F(ShellTest, StartPendingGoesToTheDispatcherAndComesUpAsAWindowWhenRefused) {
    controller_.state = ServiceState::kStartPending;
    controller_.failing = {"RunAsService"};
    StartShell();
    EXPECT_EQ(startUp_, StartUpResult::kContinue);
    EXPECT_THAT(controller_.calls, ElementsAre("RunAsService"));
    EXPECT_TRUE(view_.WindowShown());

    controller_.failing.clear();
    view_.HideWindow();
    StartShell();
    EXPECT_EQ(startUp_, StartUpResult::kRanAsService);
    EXPECT_FALSE(view_.WindowShown());
}

TEST_F(ShellTest, TheTickCatchesUpAfterALongRunOneRunAfterAnother) {
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), English(TextKey::kStatusExamining));
    EXPECT_EQ(fakeRun_.requests[0].controls.server, "pop.example.org");
    now_ = kTenOClock + 1900;  // the run takes more than three intervals
    shell.OnScheduleTimer();
    EXPECT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(shell.NextStart(), kTenOClock + 600);
    for (int run = 2; run <= 4; ++run) {
        fakeRun_.active = false;
        shell.OnScheduleTimer();
        EXPECT_EQ(fakeRun_.requests.size(), static_cast<std::size_t>(run));
        EXPECT_EQ(shell.NextStart(), kTenOClock + 600 * run);
    }
    fakeRun_.active = false;
    shell.OnScheduleTimer();
    EXPECT_EQ(fakeRun_.requests.size(), 4u);
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), "Next start in 00:08:20");
}

TEST_F(ShellTest, WhileTheServiceRunsTheWindowOnlyMovesItsCountdown) {
    controller_.state = ServiceState::kRunning;
    Shell& shell = StartShell();
    now_ = kTenOClock + 1300;
    for (LocalSeconds expected : {600, 1200, 1800}) {
        shell.OnScheduleTimer();
        EXPECT_EQ(shell.NextStart(), kTenOClock + expected);
    }
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    view_.SetStatusText(StatusField::kServiceField, "unchanged");
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::kServiceField), "unchanged");
    controller_.state = ServiceState::kStopped;
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::kServiceField), English(TextKey::kServiceStopped));
    EXPECT_EQ(shell.LastServiceState(), ServiceState::kStopped);
}

TEST_F(ShellTest, APausedScheduleLetsDueTimesPass) {
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    shell.PauseSchedule();
    shell.OnScheduleTimer();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_EQ(shell.NextStart(), kTenOClock + 600);
    shell.ResumeSchedule();
    now_ = kTenOClock + 600;
    shell.OnScheduleTimer();
    EXPECT_EQ(fakeRun_.requests.size(), 1u);
}

TEST_F(ShellTest, AStoppedRunThatGoesOnDelaysTheNextUntilItEnds) {
    fakeRun_.endsOnStop = false;
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    shell.OnScheduleTimer();
    shell.OnStartStopButton();  // stop role: the run does not end
    EXPECT_EQ(fakeRun_.stops, 1);
    shell.OnStartStopButton();
    now_ = kTenOClock + 600;
    shell.OnScheduleTimer();
    EXPECT_EQ(fakeRun_.requests.size(), 1u);
    fakeRun_.active = false;
    shell.OnScheduleTimer();
    EXPECT_EQ(fakeRun_.requests.size(), 2u);
}

TEST_F(ShellTest, QuitWhileARunHangsEndsSoonAndLeavesTheThreadToEndByItself) {
    FakeMailSession mailbox({FakeMessage{"a@example.org", "s", "<1@x>", {}}});
    mailbox.hangInLoadHeader = true;
    mailbox.ignoreCancel = true;
    MailboxShellRun run(texts_, handledMessageIds_, [&mailbox] { return Borrow(mailbox); });
    run_ = &run;
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    shell.OnScheduleTimer();
    mailbox.AwaitHang();

    const auto begin = std::chrono::steady_clock::now();
    shell.OnQuit();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_TRUE(view_.loopEnded);
    EXPECT_TRUE(shell.RunLeftBehind());
    EXPECT_TRUE(run.Active());

    mailbox.Release();
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (run.Active() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_FALSE(run.Active()) << "the run's thread did not go on to its end";
}

TEST_F(ShellTest, RunNowRunsAtOnceWithTheInputsSavingOnlyTheSettingsAndLeavesTheScheduleAlone) {
    Shell& shell = StartShell();
    EXPECT_EQ(view_.MenuText(MenuItem::kRunNow), "Run now");
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayRunNow), "Run now");
    EXPECT_EQ(view_.MenuText(MenuItem::kCheckConnection), "Check connection");
    view_.SetChecked(MainControl::kServiceCheck, true);
    view_.SetChecked(MainControl::kShortcutCheck, true);
    view_.SetText(MainControl::kServerEdit, "other.example.org");
    shell.OnInputChanged();
    shell.OnRunNow();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].kind, RunKind::kMailbox);
    EXPECT_EQ(fakeRun_.requests[0].controls.server, "other.example.org");
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("Server = other.example.org\r\n"));
    EXPECT_THAT(controller_.calls, IsEmpty()) << "no service step";
    EXPECT_THAT(shortcuts_.links, IsEmpty()) << "no shortcut step";
    EXPECT_EQ(shell.NextStart(), 0);
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), English(TextKey::kStatusExamining));
    // One run at a time: both commands wait for it.
    for (MenuItem item : {MenuItem::kRunNow, MenuItem::kTrayRunNow, MenuItem::kCheckConnection}) {
        EXPECT_FALSE(view_.MenuEnabled(item)) << static_cast<int>(item);
    }
    shell.OnRunNow();
    EXPECT_EQ(fakeRun_.requests.size(), 1u);
    fakeRun_.active = false;
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), "") << "the idle schedule has nothing to count down";
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::kRunNow));

    // Beside a running schedule the next start stays where it was.
    shell.OnStartStopButton();
    now_ = kTenOClock - 100;
    shell.OnScheduleTimer();
    shell.OnRunNow();
    EXPECT_EQ(fakeRun_.requests.size(), 2u);
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    fakeRun_.active = false;

    // Not while the service does the work.
    controller_.state = ServiceState::kRunning;
    shell.OnScheduleTimer();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kRunNow));
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kCheckConnection));
    shell.OnRunNow();
    shell.OnCheckConnection();
    EXPECT_EQ(fakeRun_.requests.size(), 2u);
}

TEST_F(ShellTest, RunNowNeedsWhatTheStartButtonNeedsACheckOnlyTheConnectionAndTheCheckSavesNothing) {
    settings_.saveDir = (save_ / "gone").string();
    Shell& shell = StartShell();
    const std::string saved = ReadBytes(data_ / kSettingsFileName);
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kRunNow));
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kTrayRunNow));
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::kCheckConnection)) << "the folder is no part of the connection";
    shell.OnRunNow();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    view_.SetText(MainControl::kPortEdit, "99999");
    view_.SetText(MainControl::kUserNameEdit, "someone");
    shell.OnInputChanged();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kCheckConnection));
    view_.SetText(MainControl::kPortEdit, "995");
    shell.OnInputChanged();
    shell.OnCheckConnection();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].kind, RunKind::kConnectionCheck);
    EXPECT_EQ(fakeRun_.requests[0].controls.userName, "someone");
    EXPECT_EQ(fakeRun_.requests[0].controls.portText, "995");
    EXPECT_EQ(ReadBytes(data_ / kSettingsFileName), saved);
    EXPECT_EQ(view_.StatusText(StatusField::kScheduleField), "");
}

TEST_F(ShellTest, TheTrayMenuNamesTheStartButtonsRoleInTheWindowsLanguageAndFollowsItsState) {
    Shell& shell = StartShell();
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayShow), "Show");
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayQuit), "Quit");
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayStartStop), English(TextKey::kButtonStart));
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::kTrayStartStop));
    shell.OnStartStopButton();
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayStartStop), English(TextKey::kButtonStop));
    shell.OnLanguageChosen(MenuItem::kGerman);
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayStartStop), German(TextKey::kButtonStop));
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayShow), "Anzeigen");
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayQuit), "Beenden");
    EXPECT_EQ(view_.MenuText(MenuItem::kRunNow), "Jetzt abrufen");
    shell.OnStartStopButton();
    EXPECT_EQ(view_.MenuText(MenuItem::kTrayStartStop), German(TextKey::kButtonStart));
    view_.SetText(MainControl::kServerEdit, "");
    shell.OnInputChanged();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::kTrayStartStop)) << "as the button it stands for";
}

TEST_F(ShellTest, ASecondWindowOnTheDataFolderOnlyBringsTheFirstForward) {
    Shell& first = StartShell();
    EXPECT_EQ(locks_.claimedFolder, data_);
    first.OnMinimised();
    ASSERT_FALSE(view_.WindowShown());
    locks_.forwardRequested = true;  // what the second start does
    first.OnScheduleTimer();
    EXPECT_TRUE(view_.WindowShown());
    EXPECT_FALSE(view_.TrayTooltip()) << "out of the tray";

    RecordingMainView secondView;
    locks_.windowHeld = true;
    StartShell(false, [&](ShellParts& parts) { parts.mainView = &secondView; });
    EXPECT_EQ(startUp_, StartUpResult::kAlreadyOpen);
    EXPECT_FALSE(secondView.WindowShown());

    // The service runs beside the one window, as it always did.
    locks_.claimedFolder.clear();
    StartShell(true);
    EXPECT_EQ(startUp_, StartUpResult::kContinue);
    EXPECT_TRUE(locks_.claimedFolder.empty());
}

TEST_F(ShellTest, ARunThatFindsTheDataFoldersRunLockHeldIsSkippedWithOneLine) {
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    locks_.runHeld = true;
    shell.OnScheduleTimer();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_THAT(LogTexts(), ElementsAre(English(TextKey::kMsgRunSkipped)));
    EXPECT_EQ(shell.NextStart(), kTenOClock + 600) << "the due time has passed all the same";
    shell.OnRunNow();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_EQ(LogTexts().size(), 2u);

    // The run holds the lock until it ends.
    locks_.runHeld = false;
    shell.OnRunNow();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_TRUE(locks_.runLocked);
    fakeRun_.requests.clear();
    fakeRun_.active = false;
    EXPECT_FALSE(locks_.runLocked);

    // The service's skipped run tells the window through log.txt.
    locks_.runHeld = true;
    Shell& service = StartShell(true);
    service.OnScheduleTimer();
    EXPECT_THAT(testsupport::TextsOfLogFile(ReadBytes(data_ / "log.txt")),
                ElementsAre(English(TextKey::kMsgRunSkipped)));
}

TEST_F(ShellTest, MinimisingHidesIntoTheTrayOnlyWhereThereIsOne) {
    Shell& shell = StartShell();
    shell.OnMinimised();
    EXPECT_FALSE(view_.WindowShown());
    EXPECT_EQ(view_.TrayTooltip(), English(TextKey::kTipTrayRestore));
    shell.OnTrayDoubleClick();
    EXPECT_TRUE(view_.WindowShown());
    EXPECT_FALSE(view_.TrayTooltip());

    view_.notificationArea = false;
    shell.OnMinimised();
    EXPECT_TRUE(view_.WindowShown());
    EXPECT_FALSE(view_.TrayTooltip());
}

TEST_F(ShellTest, SenderListsDropDuplicatesIgnoringCase) {
    settings_.blockedSenders = {"spam@example.org"};
    Shell& shell = StartShell();
    view_.textAnswer = "SPAM@example.org";
    shell.OnSenderAddButton(SenderListKind::kBlocked);
    view_.textAnswer = "";
    shell.OnSenderAddButton(SenderListKind::kBlocked);
    view_.textAnswer = "ham@example.org";
    shell.OnSenderAddButton(SenderListKind::kBlocked);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::kBlockedList), 2);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::kAllowedList), 0);

    advanced_.SelectListEntry(AdvancedControl::kBlockedList, 0);
    shell.OnSenderListClicked(SenderListKind::kBlocked);
    EXPECT_TRUE(advanced_.Enabled(AdvancedControl::kBlockedDeleteButton));
    shell.OnSenderDeleteButton(SenderListKind::kBlocked);
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::kBlockedDeleteButton));
    EXPECT_EQ(advanced_.ListEntry(AdvancedControl::kBlockedList, 0), "ham@example.org");
}

TEST_F(ShellTest, TheServiceProcessSchedulesAtOnceWithoutAWindow) {
    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 left\r\n"));
    Shell& shell = StartShell(true);
    EXPECT_EQ(startUp_, StartUpResult::kContinue);
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    EXPECT_FALSE(view_.WindowShown());
    EXPECT_EQ(view_.TrayTooltip(), English(TextKey::kTipTrayService));
    shell.OnLogPollTimer();
    EXPECT_EQ(ReadBytes(data_ / "log.txt"), "09:00:00 left\r\n");
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_TRUE(fakeRun_.requests[0].serviceMode);

    // A stored interval that is none of the list's leaves the drop-down without a selection.
    settings_.intervalPosition.reset();
    std::string prefs = FormatSettingsFile(settings_);
    prefs.insert(prefs.find("\r\n") + 2, "TimeOUT=123\r\n");
    ASSERT_TRUE(WriteBytes(data_ / kSettingsFileName, prefs));
    writeSettings_ = false;
    StartShell(true);
    EXPECT_EQ(startUp_, StartUpResult::kNothingToSchedule);
}

TEST_F(ShellTest, TheWindowlessServiceRunsItsScheduleUntilAStopSignalAndLeavesAHangingRunBehind) {
    fakeRun_.endsOnStop = false;
    testsupport::CollectingView rows;
    HeadlessMainView headless(rows, [this] { return !fakeRun_.requests.empty(); });
    ShellParts parts = Parts();
    parts.mainView = &headless;
    const ShellOutcome outcome = MainProcedure(true, parts);
    EXPECT_EQ(outcome.startUp, StartUpResult::kContinue);
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_TRUE(fakeRun_.requests[0].serviceMode);
    EXPECT_EQ(fakeRun_.stops, 1);
    EXPECT_TRUE(outcome.runLeftBehind);
}

}  // namespace
}  // namespace zendrel::testsupport
