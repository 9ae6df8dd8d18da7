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
#include "../job/fake_mail_session.h"
#include "platform/locked_log_files.h"
#include "shell_fakes.h"
#include "test_files.h"

namespace zendrel::testing {
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

std::string English(TextKey key) { return std::string(TextOf(Language::English, key)); }
std::string German(TextKey key) { return std::string(TextOf(Language::German, key)); }

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
        parts.serviceProgram = [](std::int32_t) {};
        return parts;
    }

    Shell& StartShell(std::int32_t serviceMode = 0, std::function<void(ShellParts&)> change = {}) {
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
    StartUpResult startUp_ = StartUpResult::Continue;
};

TEST_F(ShellTest, StartStopButtonIsEnabledOnlyForCompleteInputsAndOtherwiseNamesTheFirstProblem) {
    Shell& shell = StartShell();
    struct Case {
        const char* name;
        std::function<void()> change;
        std::optional<TextKey> reason;  // none: the button is enabled
        MainControl marked;
    };
    const auto noInterval = [&] { view_.SelectComboItem(MainControl::IntervalCombo, std::nullopt); };
    const Case cases[] = {
        {"all valid", [] {}, std::nullopt, MainControl::PortEdit},
        {"empty password", [&] { view_.SetText(MainControl::PasswordEdit, ""); }, std::nullopt, MainControl::PortEdit},
        {"port 65535", [&] { view_.SetText(MainControl::PortEdit, "65535"); }, std::nullopt, MainControl::PortEdit},
        {"port 0", [&] { view_.SetText(MainControl::PortEdit, "0"); }, TextKey::TipBadPort, MainControl::PortEdit},
        {"empty port", [&] { view_.SetText(MainControl::PortEdit, ""); }, TextKey::TipBadPort, MainControl::PortEdit},
        {"port 99999", [&] { view_.SetText(MainControl::PortEdit, "99999"); }, TextKey::TipBadPort,
         MainControl::PortEdit},
        {"missing folder", [&] { view_.SetText(MainControl::SaveDirEdit, (save_ / "gone").string()); },
         TextKey::TipSaveDirMissing, MainControl::SaveDirEdit},
        {"empty folder", [&] { view_.SetText(MainControl::SaveDirEdit, ""); }, TextKey::TipNoSaveDir,
         MainControl::SaveDirEdit},
        {"empty user", [&] { view_.SetText(MainControl::UserNameEdit, ""); }, TextKey::TipNoUserName,
         MainControl::UserNameEdit},
        {"empty server", [&] { view_.SetText(MainControl::ServerEdit, ""); }, TextKey::TipNoServer,
         MainControl::ServerEdit},
        {"no interval", noInterval, TextKey::TipNoInterval, MainControl::IntervalCombo},
        // After the port's range, the advanced window's subfolders: its button is marked.
        {"subfolders that climb out", [&] { advanced_.SetText(AdvancedControl::SubFolderEdit, "../{year}"); },
         TextKey::TipSubFolderRefused, MainControl::AdvancedButton},
        {"port 99999, subfolders that climb out", [&] {
             view_.SetText(MainControl::PortEdit, "99999");
             advanced_.SetText(AdvancedControl::SubFolderEdit, "../{year}");
         }, TextKey::TipBadPort, MainControl::PortEdit},
        {"subfolders by date", [&] { advanced_.SetText(AdvancedControl::SubFolderEdit, "{year}/{month}"); },
         std::nullopt, MainControl::PortEdit},
        // The window's own checks first, in their order, then the port's range.
        {"empty user and server", [&] {
             view_.SetText(MainControl::UserNameEdit, "");
             view_.SetText(MainControl::ServerEdit, "");
         }, TextKey::TipNoUserName, MainControl::UserNameEdit},
        {"port 99999, no interval", [&] {
             view_.SetText(MainControl::PortEdit, "99999");
             noInterval();
         }, TextKey::TipNoInterval, MainControl::IntervalCombo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.SetText(MainControl::PortEdit, "110");
        view_.SetText(MainControl::SaveDirEdit, save_.string());
        view_.SetText(MainControl::UserNameEdit, "bob");
        view_.SetText(MainControl::ServerEdit, "pop.example.org");
        view_.SelectComboItem(MainControl::IntervalCombo, 1);
        advanced_.SetText(AdvancedControl::SubFolderEdit, "");
        c.change();
        shell.OnInputChanged();
        EXPECT_EQ(Enabled(MainControl::StartStopButton), !c.reason);
        const std::string reason = c.reason ? English(*c.reason) : "";
        EXPECT_EQ(view_.Tooltip(MainControl::StartStopButton), reason);
        EXPECT_EQ(view_.StatusTip(MainControl::StartStopButton), reason);
        for (const MainControl input : {MainControl::PortEdit, MainControl::SaveDirEdit, MainControl::UserNameEdit,
                                        MainControl::ServerEdit, MainControl::IntervalCombo,
                                        MainControl::AdvancedButton}) {
            EXPECT_EQ(view_.Marked(input), c.reason && input == c.marked) << static_cast<int>(input);
        }
        EXPECT_TRUE(Enabled(MainControl::ServerEdit));
    }
    // A template that is refused says why where it is typed.
    advanced_.SetText(AdvancedControl::SubFolderEdit, "C:{year}");
    shell.OnInputChanged();
    EXPECT_THAT(advanced_.Tooltip(AdvancedControl::SubFolderEdit), HasSubstr(English(TextKey::TipSubFolderRefused)));
    advanced_.SetText(AdvancedControl::SubFolderEdit, "");
    shell.OnInputChanged();
    EXPECT_EQ(advanced_.Tooltip(AdvancedControl::SubFolderEdit), English(TextKey::TipSubFolder));
    shell.OnLanguageChosen(MenuItem::German);
    EXPECT_EQ(view_.Tooltip(MainControl::StartStopButton), German(TextKey::TipNoInterval));
    shell.SetInputsLocked(true);
    EXPECT_FALSE(Enabled(MainControl::IntervalCombo));
    EXPECT_FALSE(Enabled(MainControl::SecurityCombo));
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::ExtensionsEdit));
    EXPECT_FALSE(Enabled(MainControl::ServiceCheck));
    EXPECT_TRUE(Enabled(MainControl::StartStopButton));
    EXPECT_EQ(view_.Tooltip(MainControl::StartStopButton), "");
    EXPECT_FALSE(view_.Marked(MainControl::IntervalCombo));
}

TEST_F(ShellTest, TheSecurityChoiceTakesTheUsualPortAlongAndIsWhatIsSavedAndRun) {
    settings_.security = 1;
    Shell& shell = StartShell();
    EXPECT_EQ(view_.ComboSelection(MainControl::SecurityCombo), 1);
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
        view_.SetText(MainControl::PortEdit, c.port);
        view_.SelectComboItem(MainControl::SecurityCombo, c.chosen);
        shell.OnSecurityChanged();
        EXPECT_EQ(view_.Text(MainControl::PortEdit), c.portAfter);
    }

    view_.SetText(MainControl::PortEdit, "110");
    view_.SelectComboItem(MainControl::SecurityCombo, 2);
    shell.OnSecurityChanged();
    shell.OnStartStopButton();
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("Port = 995\r\nSecurity = 2\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.security, 2);
}

TEST_F(ShellTest, WhereTheFilesGoIsLoadedLockedSavedAndRun) {
    settings_.existingFiles = 1;
    settings_.subFolder = "{sender}";
    Shell& shell = StartShell();
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::ReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::KeepBothRadio));
    EXPECT_EQ(advanced_.Text(AdvancedControl::SubFolderEdit), "{sender}");
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::SaveInlineCheck));
    EXPECT_EQ(advanced_.Text(AdvancedControl::ExistingFilesLabel), "If a file of that name exists:");

    advanced_.SetChecked(AdvancedControl::KeepBothRadio, true);
    advanced_.SetText(AdvancedControl::SubFolderEdit, "{domain}/{year}-{month}");
    advanced_.SetChecked(AdvancedControl::SaveInlineCheck, true);
    shell.OnStartStopButton();
    for (AdvancedControl control : {AdvancedControl::KeepBothRadio, AdvancedControl::ReplaceRadio,
                                    AdvancedControl::SubFolderEdit, AdvancedControl::SaveInlineCheck}) {
        EXPECT_FALSE(advanced_.Enabled(control)) << static_cast<int>(control);
    }
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName),
                HasSubstr("ExistingFiles = 0\r\nSubFolder = {domain}/{year}-{month}\r\nSaveInline = 1\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.existingFiles, 0);
    EXPECT_EQ(fakeRun_.requests[0].controls.subFolder, "{domain}/{year}-{month}");
    EXPECT_TRUE(fakeRun_.requests[0].controls.saveInline);
}

TEST_F(ShellTest, TheSignInSettingsOutliveTheWindowsSaveAndReachTheRun) {
    settings_.signIn.authentication = 1;
    settings_.signIn.provider = "google";
    settings_.signIn.clientId = "123.apps";
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName),
                HasSubstr("\r\nAuthentication = 1\r\nOAuthProvider = google\r\nOAuthClientId = 123.apps\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].controls.signIn.authentication, 1);
}

TEST_F(ShellTest, RememberingExaminedMailsIsLoadedLockedSavedAndRunWithTheDataFolder) {
    settings_.rememberMails = true;
    Shell& shell = StartShell();
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::RememberMailsCheck));
    EXPECT_EQ(advanced_.Text(AdvancedControl::RememberMailsCheck), "Remember examined mails across restarts");

    advanced_.SetChecked(AdvancedControl::RememberMailsCheck, false);
    shell.OnStartStopButton();
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::RememberMailsCheck));
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("SaveInline = 0\r\nRememberMails = 0\r\n"));
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_FALSE(fakeRun_.requests[0].controls.rememberMails);
    EXPECT_EQ(fakeRun_.requests[0].dataFolder, data_);
}

TEST_F(ShellTest, AChosenFolderCompletesTheInputs) {
    settings_.saveDir = (save_ / "gone").string();
    Shell& shell = StartShell();
    EXPECT_FALSE(Enabled(MainControl::StartStopButton));
    view_.folderAnswer = save_.string();
    shell.OnBrowseButton();
    // The chosen folder ends in the system's separator.
    EXPECT_EQ(view_.Text(MainControl::SaveDirEdit), (save_ / "").string());
    EXPECT_TRUE(Enabled(MainControl::StartStopButton));
}

struct ServiceStartCase {
    const char* name;
    int state;  // at start-up
    std::vector<std::string> failing;
    std::uint32_t error;
    std::vector<std::string> log;
    int installedAfter;
};

TEST_F(ShellTest, StartRoleWithTheServiceBox) {
    const std::vector<std::string> installedLines = {English(TextKey::MsgServiceInstalled),
                                                     English(TextKey::MsgRunningInBackground),
                                                     English(TextKey::MsgHowToReconfigure)};
    std::vector<std::string> grantFailed = {"system text 1332"};
    grantFailed.insert(grantFailed.end(), installedLines.begin(), installedLines.end());
    const ServiceStartCase cases[] = {
        {"install, grant fails", kServiceNotInstalled, {"GrantAccess"}, 1332, grantFailed, kServiceRunning},
        {"install denied", kServiceNotInstalled, {"Install"}, 5,
         {English(TextKey::ErrInstallService), English(TextKey::ErrInstallRights)}, kServiceNotInstalled},
        {"install fails", kServiceNotInstalled, {"Install"}, 1073,
         {English(TextKey::ErrInstallService), "system text 1073"}, kServiceNotInstalled},
        {"installed, starts", kServicePaused, {}, 0, installedLines, kServiceRunning},
        {"installed, start fails", kServicePaused, {"Start"}, 1056, {}, kServicePaused},
    };
    for (const ServiceStartCase& c : cases) {
        SCOPED_TRACE(c.name);
        view_.Rows().Clear();
        controller_.state = c.state;
        controller_.failing = c.failing;
        controller_.failureError = c.error;
        Shell& shell = StartShell();
        view_.SetChecked(MainControl::ServiceCheck, true);
        shell.OnStartStopButton();
        EXPECT_EQ(LogTexts(), c.log);
        EXPECT_EQ(shell.ServiceInstalled(), c.installedAfter);
        EXPECT_EQ(view_.Text(MainControl::StartStopButton), "Stop");
        EXPECT_EQ(shell.NextStart(), kTenOClock);
    }
    EXPECT_EQ(controller_.installed, "Zendrel_Service|Zendrel|/opt/zendrel/zendrel|" +
                                         English(TextKey::ProductDescription) + "|2");
    EXPECT_EQ(controller_.granted, "alice|112");
}

TEST_F(ShellTest, InstallingTheServiceLetsTheInstallingUserKeepTheDataFolderWritable) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::ServiceCheck, true);
    system_.folderGrantFails = true;
    shell.OnStartStopButton();
    EXPECT_EQ(system_.folderGrant, data_.string() + "|alice");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"system text 1332", English(TextKey::MsgServiceInstalled),
                                                    English(TextKey::MsgRunningInBackground),
                                                    English(TextKey::MsgHowToReconfigure)}));
}

TEST_F(ShellTest, TheDataFolderGetsItsOwnRightsWhenMadeWhenTheServiceStartsAndInAnElevatedStartRole) {
    struct ProtectionCase {
        const char* name;
        bool folderMissing;
        std::int32_t serviceMode;
        bool elevated;
        std::size_t protections;  // of the data folder, after the start and a press of the start button
    };
    const ProtectionCase cases[] = {
        {"the window makes the folder", true, 0, false, 1},
        {"the window on a folder it finds", false, 0, false, 0},
        {"the elevated window's start role", false, 0, true, 1},
        {"the service's start", false, 1, false, 1},
    };
    for (const ProtectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        system_.protectedFolders.clear();
        system_.elevated = c.elevated;
        const fs::path folder = c.folderMissing ? data_ / "new" / "" : data_;
        Shell& shell = StartShell(c.serviceMode, [&](ShellParts& parts) { parts.places.dataFolder = folder; });
        if (c.serviceMode == 0) shell.OnStartStopButton();
        EXPECT_EQ(system_.protectedFolders, std::vector<fs::path>(c.protections, folder));
    }
}

TEST_F(ShellTest, AWindowRefusedTheDataFolderSaysWhoseItIsAndTheServiceSaysNothing) {
    system_.folderRefused = true;
    StartShell();
    const std::u8string folder = data_.u8string();
    EXPECT_THAT(LogTexts(), testing::ElementsAre(FillPlaceholder(English(TextKey::ErrDataFolderDenied), "{FOLDER}",
                                                                 std::string(folder.begin(), folder.end()))));
    view_.Rows().Clear();
    StartShell(1);
    EXPECT_THAT(LogTexts(), testing::IsEmpty());
}

TEST_F(ShellTest, AServiceJustInstalledDoesTheFirstDueRunAlone) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::ServiceCheck, true);
    shell.OnStartStopButton();
    controller_.state = kServiceRunning;  // the install started it
    shell.OnScheduleTimer();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_EQ(shell.NextStart(), kTenOClock + 600);
}

TEST_F(ShellTest, ShortcutIsMadeRemovedAndGivesWayToTheService) {
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::ShortcutCheck, true);
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), std::string("/startup/") + kStartupShortcutName);
    EXPECT_EQ(shortcuts_.links[std::string("/startup/") + kStartupShortcutName],
              "/opt/zendrel/zendrel|" + English(TextKey::ProductDescription));
    shell.OnStartStopButton();
    view_.SetChecked(MainControl::ShortcutCheck, false);
    shell.OnStartStopButton();
    EXPECT_EQ(shell.StartupShortcutPath(), "");
    EXPECT_THAT(shortcuts_.links, IsEmpty());

    shortcuts_.links["/home/bob/autostart/z.lnk"] = "/opt/zendrel/zendrel";
    Shell& second = StartShell();
    EXPECT_TRUE(view_.Checked(MainControl::ShortcutCheck));
    view_.SetChecked(MainControl::ServiceCheck, true);
    second.OnServiceCheckChanged();
    EXPECT_FALSE(view_.Checked(MainControl::ShortcutCheck));
    second.OnStartStopButton();
    EXPECT_THAT(shortcuts_.links, IsEmpty());
    EXPECT_EQ(second.StartupShortcutPath(), "");
}

TEST_F(ShellTest, AShortcutThatCannotBeMadeIsTriedAgainAtTheNextStart) {
    shortcuts_.creates = false;
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::ShortcutCheck, true);
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
    int installedAfter;
};

TEST_F(ShellTest, TheUninstallQuestionAndItsAnswers) {
    const std::string uninstalled = English(TextKey::MsgServiceUninstalled);
    const std::string failed = English(TextKey::ErrUninstallService);
    const QuestionCase cases[] = {
        {"service box, no", MainControl::ServiceCheck, false, false, 0, {}, true, false, kServiceStopped},
        {"service box, yes", MainControl::ServiceCheck, true, false, 0, {uninstalled}, false, false, 0},
        {"service box, denied", MainControl::ServiceCheck, true, true, 5,
         {failed, English(TextKey::ErrUninstallRights)}, true, false, kServiceStopped},
        {"shortcut box, no", MainControl::ShortcutCheck, false, false, 0, {}, true, false, kServiceStopped},
        {"shortcut box, yes", MainControl::ShortcutCheck, true, false, 0, {uninstalled}, false, true, 0},
        {"shortcut box, fails", MainControl::ShortcutCheck, true, true, 1060, {failed, "system text 1060"}, true,
         false, kServiceStopped},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.name);
        view_.Rows().Clear();
        controller_.state = kServiceStopped;
        controller_.failing = c.uninstallFails ? std::vector<std::string>{"Uninstall"} : std::vector<std::string>{};
        controller_.failureError = c.error;
        controller_.calls.clear();
        Shell& shell = StartShell();
        view_.yesNoAnswers = {c.yes};
        view_.questions.clear();
        if (c.box == MainControl::ServiceCheck) {
            view_.SetChecked(MainControl::ServiceCheck, false);
            shell.OnServiceCheckChanged();
        } else {
            view_.SetChecked(MainControl::ShortcutCheck, true);
            shell.OnShortcutCheckChanged();
        }
        EXPECT_THAT(view_.questions,
                    ElementsAre(English(TextKey::TitleUninstall) + "|" + English(TextKey::AskUninstall)));
        EXPECT_EQ(LogTexts(), c.log);
        EXPECT_EQ(view_.Checked(MainControl::ServiceCheck), c.serviceChecked);
        EXPECT_EQ(view_.Checked(MainControl::ShortcutCheck), c.shortcutChecked);
        EXPECT_EQ(shell.ServiceInstalled(), c.installedAfter);
        EXPECT_EQ(std::count(controller_.calls.begin(), controller_.calls.end(), "Uninstall"), c.yes ? 1 : 0);
    }
}

TEST_F(ShellTest, AServiceManagerThatSaysWhyItFailedIsQuotedInsteadOfTheSystemText) {
    controller_.failing = {"Install"};
    controller_.failureError = 31;
    controller_.errorText = "Failed to enable unit: Unit file zendrel.service is masked.";
    Shell& shell = StartShell();
    view_.SetChecked(MainControl::ServiceCheck, true);
    shell.OnStartStopButton();
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{English(TextKey::ErrInstallService), controller_.errorText}));
    EXPECT_TRUE(view_.Checked(MainControl::ServiceCheck));
}

TEST_F(ShellTest, WithoutTheFacilitiesTheBoxesStayUncheckedAndDisabled) {
    FakeServiceController none(system_);
    none.available = false;
    FakeShortcuts noShortcuts;
    noShortcuts.available = false;
    Shell& shell = StartShell(0, [&](ShellParts& parts) {
        parts.serviceController = &none;
        parts.shortcuts = &noShortcuts;
    });
    view_.SetChecked(MainControl::ServiceCheck, true);
    shell.OnServiceCheckChanged();
    view_.SetChecked(MainControl::ShortcutCheck, true);
    shell.OnShortcutCheckChanged();
    shell.OnStartStopButton();
    shell.OnStartStopButton();
    for (MainControl box : {MainControl::ServiceCheck, MainControl::ShortcutCheck}) {
        EXPECT_FALSE(view_.Checked(box));
        EXPECT_FALSE(view_.Enabled(box));
    }
    EXPECT_THAT(LogTexts(), IsEmpty());
    EXPECT_EQ(view_.Tooltip(MainControl::ServiceCheck), English(TextKey::TipNoServiceManager));
    shell.OnLanguageChosen(MenuItem::German);
    EXPECT_EQ(view_.Tooltip(MainControl::ServiceCheck), German(TextKey::TipNoServiceManager));
}

TEST_F(ShellTest, LanguageSwitchWhileRunningKeepsTheStopRoleAndTheStatusFields) {
    settings_.security = 2;
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    now_ = kTenOClock - 5;
    shell.OnScheduleTimer();
    const std::string countdown = view_.StatusText(StatusField::ScheduleField);
    EXPECT_EQ(countdown, "Next start in 00:00:05");
    shell.OnLanguageChosen(MenuItem::German);
    EXPECT_EQ(view_.Text(MainControl::StartStopButton), "Anhalten");
    EXPECT_TRUE(view_.MenuChecked(MenuItem::German));
    EXPECT_FALSE(view_.MenuChecked(MenuItem::English));
    EXPECT_EQ(view_.ComboSelection(MainControl::IntervalCombo), 1);
    EXPECT_EQ(view_.ComboItemText(MainControl::IntervalCombo, 1), German(TextKey::Interval10Minutes));
    EXPECT_EQ(view_.Text(MainControl::ServerLabel), German(TextKey::LabelServer) + ":");
    EXPECT_EQ(view_.Text(MainControl::SecurityLabel), German(TextKey::LabelSecurity) + ":");
    EXPECT_EQ(view_.ComboItemText(MainControl::SecurityCombo, 0), German(TextKey::SecurityNone));
    EXPECT_EQ(view_.ComboSelection(MainControl::SecurityCombo), 2);
    EXPECT_EQ(advanced_.Title(), German(TextKey::TitleAdvanced));
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), countdown);
    EXPECT_EQ(view_.StatusText(StatusField::ServiceField), English(TextKey::ServiceNotInstalled));
    shell.OnStartStopButton();
    EXPECT_EQ(view_.Text(MainControl::StartStopButton), German(TextKey::ButtonStart));
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
        EXPECT_EQ(view_.Text(MainControl::StartStopButton), (c.german ? German : English)(TextKey::ButtonStart));
        EXPECT_EQ(view_.MenuChecked(MenuItem::German), c.german);
        EXPECT_EQ(view_.MenuChecked(MenuItem::English), !c.german);
        EXPECT_EQ(view_.StatusText(StatusField::ServiceField), English(TextKey::ServiceNotInstalled));
    }
    EXPECT_TRUE(fs::exists(data_ / "log.txt"));
    EXPECT_EQ(view_.WindowTitle(), "Zendrel V" ZENDREL_PROJECT_VERSION);
}

TEST_F(ShellTest, StartUpWithTheServiceStoppedStartsItAndSchedules) {
    controller_.state = kServiceStopped;
    Shell& shell = StartShell();
    EXPECT_THAT(controller_.calls, ElementsAre("Start"));
    EXPECT_TRUE(view_.Checked(MainControl::ServiceCheck));
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    EXPECT_TRUE(Enabled(MainControl::ServerEdit));
    EXPECT_TRUE(view_.WindowShown());
}

TEST_F(ShellTest, StartUpWithTheServiceRunningTakesOverTheWholeLog) {
    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 same\r\n09:00:00 same\r\n"));
    controller_.state = kServiceRunning;
    Shell& shell = StartShell();
    EXPECT_THAT(view_.Rows().Rows(), ElementsAre("09:00:00 same", "09:00:00 same"));
    EXPECT_EQ(ReadBytes(data_ / "log.txt"), "");
    EXPECT_EQ(view_.Text(MainControl::StartStopButton), "Stop");
    EXPECT_FALSE(Enabled(MainControl::ServerEdit));
    EXPECT_EQ(shell.NextStart(), kTenOClock);

    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 same\r\n10:00:00 new\r\n"));
    shell.OnLogPollTimer();
    EXPECT_THAT(view_.Rows().Rows(), ElementsAre("09:00:00 same", "09:00:00 same", "10:00:00 new"));
}

TEST_F(ShellTest, StartPendingGoesToTheDispatcherAndComesUpAsAWindowWhenRefused) {
    controller_.state = kServiceStartPending;
    controller_.failing = {"RunAsService"};
    StartShell();
    EXPECT_EQ(startUp_, StartUpResult::Continue);
    EXPECT_THAT(controller_.calls, ElementsAre("RunAsService"));
    EXPECT_TRUE(view_.WindowShown());

    controller_.failing.clear();
    view_.HideWindow();
    StartShell();
    EXPECT_EQ(startUp_, StartUpResult::RanAsService);
    EXPECT_FALSE(view_.WindowShown());
}

TEST_F(ShellTest, TheTickCatchesUpAfterALongRunOneRunAfterAnother) {
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), English(TextKey::StatusExamining));
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
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), "Next start in 00:08:20");
}

TEST_F(ShellTest, WhileTheServiceRunsTheWindowOnlyMovesItsCountdown) {
    controller_.state = kServiceRunning;
    Shell& shell = StartShell();
    now_ = kTenOClock + 1300;
    for (LocalSeconds expected : {600, 1200, 1800}) {
        shell.OnScheduleTimer();
        EXPECT_EQ(shell.NextStart(), kTenOClock + expected);
    }
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    view_.SetStatusText(StatusField::ServiceField, "unchanged");
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::ServiceField), "unchanged");
    controller_.state = kServiceStopped;
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::ServiceField), English(TextKey::ServiceStopped));
    EXPECT_EQ(shell.LastServiceState(), kServiceStopped);
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
    EXPECT_EQ(view_.MenuText(MenuItem::RunNow), "Run now");
    EXPECT_EQ(view_.MenuText(MenuItem::TrayRunNow), "Run now");
    EXPECT_EQ(view_.MenuText(MenuItem::CheckConnection), "Check connection");
    view_.SetChecked(MainControl::ServiceCheck, true);
    view_.SetChecked(MainControl::ShortcutCheck, true);
    view_.SetText(MainControl::ServerEdit, "other.example.org");
    shell.OnInputChanged();
    shell.OnRunNow();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].kind, RunKind::kMailbox);
    EXPECT_EQ(fakeRun_.requests[0].controls.server, "other.example.org");
    EXPECT_THAT(ReadBytes(data_ / kSettingsFileName), HasSubstr("Server = other.example.org\r\n"));
    EXPECT_THAT(controller_.calls, IsEmpty()) << "no service step";
    EXPECT_THAT(shortcuts_.links, IsEmpty()) << "no shortcut step";
    EXPECT_EQ(shell.NextStart(), 0);
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), English(TextKey::StatusExamining));
    // One run at a time: both commands wait for it.
    for (MenuItem item : {MenuItem::RunNow, MenuItem::TrayRunNow, MenuItem::CheckConnection}) {
        EXPECT_FALSE(view_.MenuEnabled(item)) << static_cast<int>(item);
    }
    shell.OnRunNow();
    EXPECT_EQ(fakeRun_.requests.size(), 1u);
    fakeRun_.active = false;
    shell.OnScheduleTimer();
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), "") << "the idle schedule has nothing to count down";
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::RunNow));

    // Beside a running schedule the next start stays where it was.
    shell.OnStartStopButton();
    now_ = kTenOClock - 100;
    shell.OnScheduleTimer();
    shell.OnRunNow();
    EXPECT_EQ(fakeRun_.requests.size(), 2u);
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    fakeRun_.active = false;

    // Not while the service does the work.
    controller_.state = kServiceRunning;
    shell.OnScheduleTimer();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::RunNow));
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::CheckConnection));
    shell.OnRunNow();
    shell.OnCheckConnection();
    EXPECT_EQ(fakeRun_.requests.size(), 2u);
}

TEST_F(ShellTest, RunNowNeedsWhatTheStartButtonNeedsACheckOnlyTheConnectionAndTheCheckSavesNothing) {
    settings_.saveDir = (save_ / "gone").string();
    Shell& shell = StartShell();
    const std::string saved = ReadBytes(data_ / kSettingsFileName);
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::RunNow));
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::TrayRunNow));
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::CheckConnection)) << "the folder is no part of the connection";
    shell.OnRunNow();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    view_.SetText(MainControl::PortEdit, "99999");
    view_.SetText(MainControl::UserNameEdit, "someone");
    shell.OnInputChanged();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::CheckConnection));
    view_.SetText(MainControl::PortEdit, "995");
    shell.OnInputChanged();
    shell.OnCheckConnection();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].kind, RunKind::kConnectionCheck);
    EXPECT_EQ(fakeRun_.requests[0].controls.userName, "someone");
    EXPECT_EQ(fakeRun_.requests[0].controls.portText, "995");
    EXPECT_EQ(ReadBytes(data_ / kSettingsFileName), saved);
    EXPECT_EQ(view_.StatusText(StatusField::ScheduleField), "");
}

TEST_F(ShellTest, TheTrayMenuNamesTheStartButtonsRoleInTheWindowsLanguageAndFollowsItsState) {
    Shell& shell = StartShell();
    EXPECT_EQ(view_.MenuText(MenuItem::TrayShow), "Show");
    EXPECT_EQ(view_.MenuText(MenuItem::TrayQuit), "Quit");
    EXPECT_EQ(view_.MenuText(MenuItem::TrayStartStop), English(TextKey::ButtonStart));
    EXPECT_TRUE(view_.MenuEnabled(MenuItem::TrayStartStop));
    shell.OnStartStopButton();
    EXPECT_EQ(view_.MenuText(MenuItem::TrayStartStop), English(TextKey::ButtonStop));
    shell.OnLanguageChosen(MenuItem::German);
    EXPECT_EQ(view_.MenuText(MenuItem::TrayStartStop), German(TextKey::ButtonStop));
    EXPECT_EQ(view_.MenuText(MenuItem::TrayShow), "Anzeigen");
    EXPECT_EQ(view_.MenuText(MenuItem::TrayQuit), "Beenden");
    EXPECT_EQ(view_.MenuText(MenuItem::RunNow), "Jetzt abrufen");
    shell.OnStartStopButton();
    EXPECT_EQ(view_.MenuText(MenuItem::TrayStartStop), German(TextKey::ButtonStart));
    view_.SetText(MainControl::ServerEdit, "");
    shell.OnInputChanged();
    EXPECT_FALSE(view_.MenuEnabled(MenuItem::TrayStartStop)) << "as the button it stands for";
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
    StartShell(0, [&](ShellParts& parts) { parts.mainView = &secondView; });
    EXPECT_EQ(startUp_, StartUpResult::AlreadyOpen);
    EXPECT_FALSE(secondView.WindowShown());

    // The service runs beside the one window, as it always did.
    locks_.claimedFolder.clear();
    StartShell(1);
    EXPECT_EQ(startUp_, StartUpResult::Continue);
    EXPECT_TRUE(locks_.claimedFolder.empty());
}

TEST_F(ShellTest, ARunThatFindsTheDataFoldersRunLockHeldIsSkippedWithOneLine) {
    Shell& shell = StartShell();
    shell.OnStartStopButton();
    locks_.runHeld = true;
    shell.OnScheduleTimer();
    EXPECT_THAT(fakeRun_.requests, IsEmpty());
    EXPECT_THAT(LogTexts(), ElementsAre(English(TextKey::MsgRunSkipped)));
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
    Shell& service = StartShell(1);
    service.OnScheduleTimer();
    EXPECT_THAT(testsupport::TextsOfLogFile(ReadBytes(data_ / "log.txt")),
                ElementsAre(English(TextKey::MsgRunSkipped)));
}

TEST_F(ShellTest, MinimisingHidesIntoTheTrayOnlyWhereThereIsOne) {
    Shell& shell = StartShell();
    shell.OnMinimised();
    EXPECT_FALSE(view_.WindowShown());
    EXPECT_EQ(view_.TrayTooltip(), English(TextKey::TipTrayRestore));
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
    shell.OnSenderAddButton(SenderListKind::Blocked);
    view_.textAnswer = "";
    shell.OnSenderAddButton(SenderListKind::Blocked);
    view_.textAnswer = "ham@example.org";
    shell.OnSenderAddButton(SenderListKind::Blocked);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::BlockedList), 2);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::AllowedList), 0);

    advanced_.SelectListEntry(AdvancedControl::BlockedList, 0);
    shell.OnSenderListClicked(SenderListKind::Blocked);
    EXPECT_TRUE(advanced_.Enabled(AdvancedControl::BlockedDeleteButton));
    shell.OnSenderDeleteButton(SenderListKind::Blocked);
    EXPECT_FALSE(advanced_.Enabled(AdvancedControl::BlockedDeleteButton));
    EXPECT_EQ(advanced_.ListEntry(AdvancedControl::BlockedList, 0), "ham@example.org");
}

TEST_F(ShellTest, TheServiceProcessSchedulesAtOnceWithoutAWindow) {
    ASSERT_TRUE(WriteBytes(data_ / "log.txt", "09:00:00 left\r\n"));
    Shell& shell = StartShell(1);
    EXPECT_EQ(startUp_, StartUpResult::Continue);
    EXPECT_EQ(shell.NextStart(), kTenOClock);
    EXPECT_FALSE(view_.WindowShown());
    EXPECT_EQ(view_.TrayTooltip(), English(TextKey::TipTrayService));
    shell.OnLogPollTimer();
    EXPECT_EQ(ReadBytes(data_ / "log.txt"), "09:00:00 left\r\n");
    shell.OnScheduleTimer();
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].serviceMode, 1);

    // A stored interval that is none of the list's leaves the drop-down without a selection.
    settings_.intervalPosition.reset();
    std::string prefs = FormatSettingsFile(settings_);
    prefs.insert(prefs.find("\r\n") + 2, "TimeOUT=123\r\n");
    ASSERT_TRUE(WriteBytes(data_ / kSettingsFileName, prefs));
    writeSettings_ = false;
    StartShell(1);
    EXPECT_EQ(startUp_, StartUpResult::NothingToSchedule);
}

TEST_F(ShellTest, TheWindowlessServiceRunsItsScheduleUntilAStopSignalAndLeavesAHangingRunBehind) {
    fakeRun_.endsOnStop = false;
    testsupport::CollectingView rows;
    HeadlessMainView headless(rows, [this] { return !fakeRun_.requests.empty(); });
    ShellParts parts = Parts();
    parts.mainView = &headless;
    const ShellOutcome outcome = MainProcedure(1, parts);
    EXPECT_EQ(outcome.startUp, StartUpResult::Continue);
    ASSERT_EQ(fakeRun_.requests.size(), 1u);
    EXPECT_EQ(fakeRun_.requests[0].serviceMode, 1);
    EXPECT_EQ(fakeRun_.stops, 1);
    EXPECT_TRUE(outcome.runLeftBehind);
}

}  // namespace
}  // namespace zendrel::testing
