// The real Win32 windows, driven with the messages a user's actions send: what reaches the shell, and what the
// controls hold. The shell's logic itself is tested headless.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "app/ui/win32/win32_advanced_view.h"
#include "app/ui/win32/win32_main_view.h"

namespace zendrel {
namespace {

using win32::Win32AdvancedView;
using win32::Win32MainView;

// Records what arrives; on its first tick it plays the user's part, and the window's close ends the loop.
class RecordingEvents final : public MainEvents {
public:
    RecordingEvents(Win32MainView& main, std::function<void()> firstTick)
        : main_(main), firstTick_(std::move(firstTick)) {}
    void OnQuit() override {
        ++quits;
        main_.EndEventLoop();
    }
    void OnAbout() override {}
    void OnLanguageChosen(MenuItem) override {}
    void OnMinimised() override {}
    void OnTrayDoubleClick() override {}
    void OnAdvancedButton() override {}
    void OnAdvancedClosed() override { ++advancedClosed; }
    void OnBrowseButton() override {}
    void OnDonateButton() override {}
    void OnClearLogButton() override {}
    void OnInputChanged() override { ++inputChanges; }
    void OnSecurityChanged() override { ++securityChanges; }
    void OnStartStopButton() override { ++startStopClicks; }
    void OnServiceCheckChanged() override {
        ++serviceCheckChanges;
        serviceCheckedWhenTold = main_.Checked(MainControl::ServiceCheck);
    }
    void OnShortcutCheckChanged() override {}
    void OnSenderListClicked(SenderListKind) override {}
    void OnSenderAddButton(SenderListKind list) override {
        if (list == SenderListKind::Blocked) ++blockedAddClicks;
    }
    void OnSenderDeleteButton(SenderListKind) override {}
    void OnScheduleTimer() override {
        // A loop that never sees the close would otherwise wait for ever; the checks below then fail.
        if (++ticks == 1) firstTick_();
        if (ticks > 60) main_.EndEventLoop();
    }
    void OnLogPollTimer() override {}

    int quits = 0, advancedClosed = 0, inputChanges = 0, securityChanges = 0, startStopClicks = 0,
        serviceCheckChanges = 0;
    int blockedAddClicks = 0, ticks = 0;
    bool serviceCheckedWhenTold = false;

private:
    Win32MainView& main_;
    std::function<void()> firstTick_;
};

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override {
        main_.Create();
        if (main_.Window() == nullptr) GTEST_SKIP() << "no display for windows (run under Xvfb)";
        advanced_.Create();
        ASSERT_NE(advanced_.Window(), nullptr);
    }

    Win32MainView main_;
    Win32AdvancedView advanced_{main_};
};

TEST_F(Win32Window, IsLaidOutWithAFixedFrameTheStatusFieldsAndTheInputStyles) {
    RECT client{};
    GetClientRect(main_.Window(), &client);
    EXPECT_EQ(client.right, 522);
    EXPECT_EQ(client.bottom, 560);
    const LONG_PTR style = GetWindowLongPtrA(main_.Window(), GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::PortEdit), GWL_STYLE) & ES_NUMBER);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::PasswordEdit), GWL_STYLE) & ES_PASSWORD);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::StartStopButton), GWL_STYLE) & BS_DEFPUSHBUTTON);
    const LONG_PTR logStyle = GetWindowLongPtrA(main_.LogControl(), GWL_STYLE);
    EXPECT_TRUE(logStyle & ES_READONLY);
    EXPECT_FALSE(logStyle & (ES_AUTOHSCROLL | WS_HSCROLL));  // it wraps its lines
    int parts[2] = {};
    ASSERT_EQ(SendMessageA(main_.StatusBar(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_EQ(parts[0], 250);
    EXPECT_FALSE(IsWindowEnabled(advanced_.Control(AdvancedControl::AllowedDeleteButton)));
    EXPECT_FALSE(IsWindowEnabled(advanced_.Control(AdvancedControl::BlockedDeleteButton)));
}

TEST_F(Win32Window, ControlsHoldWhatTheShellWrites) {
    main_.SetWindowTitle("Zendrel V1.02");
    char title[64] = {};
    GetWindowTextA(main_.Window(), title, sizeof(title));
    EXPECT_STREQ(title, "Zendrel V1.02");

    main_.AddComboItem(MainControl::IntervalCombo, "any 5 minutes", 300);
    main_.AddComboItem(MainControl::IntervalCombo, "any 10 minutes", 600);
    main_.SelectComboItem(MainControl::IntervalCombo, 1);
    main_.SetComboItemText(MainControl::IntervalCombo, 1, "alle 10 Minuten");
    EXPECT_EQ(main_.ComboSelection(MainControl::IntervalCombo), 1);
    EXPECT_EQ(main_.ComboItemData(MainControl::IntervalCombo, 1), 600);
    main_.SelectComboItem(MainControl::IntervalCombo, std::nullopt);
    EXPECT_EQ(main_.ComboSelection(MainControl::IntervalCombo), std::nullopt);

    main_.SetMenuChecked(MenuItem::English, true);
    main_.SetMenuChecked(MenuItem::German, false);
    EXPECT_TRUE(main_.MenuChecked(MenuItem::English));
    EXPECT_FALSE(main_.MenuChecked(MenuItem::German));

    main_.SetStatusText(StatusField::ServiceField, "Service Running");
    char status[64] = {};
    SendMessageA(main_.StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, "Service Running");

    advanced_.AppendListEntry(AdvancedControl::AllowedList, "a@example.com");
    advanced_.AppendListEntry(AdvancedControl::AllowedList, "b@example.com");
    advanced_.RemoveListEntry(AdvancedControl::AllowedList, 0);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::AllowedList), 1);
    EXPECT_EQ(advanced_.ListEntry(AdvancedControl::AllowedList, 0), "b@example.com");
}

TEST_F(Win32Window, UserActionsReachTheShellTheShellsOwnChangesDoNotAndRowsComeFromAnyThread) {
    const std::string row(100, 'r');
    RecordingEvents events(main_, [&] {
        main_.ShowWindow();
        main_.SetEnabled(MainControl::StartStopButton, true);
        main_.SetText(MainControl::ServerEdit, "pop.example.com");  // the shell's change: no event
        PostMessageA(main_.Control(MainControl::ServerEdit), WM_CHAR, 'x', 1);
        for (const char* item : {"None", "STARTTLS", "SSL/TLS"}) {
            main_.AddComboItem(MainControl::SecurityCombo, item, 0);
        }
        main_.SelectComboItem(MainControl::SecurityCombo, 0);  // the shell's choice: no event
        PostMessageA(main_.Control(MainControl::SecurityCombo), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(main_.Control(MainControl::ServiceCheck), BM_CLICK, 0, 0);
        PostMessageA(main_.Control(MainControl::StartStopButton), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Control(AdvancedControl::BlockedAddButton), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Window(), WM_CLOSE, 0, 0);
        // More than an edit holds by default (32,767 characters), from the run's side.
        std::thread run([&] {
            for (int i = 0; i < 400; ++i) main_.Log().AppendRow(row);
        });
        run.join();
        PostMessageA(main_.Window(), WM_CLOSE, 0, 0);
    });
    main_.StartTimers();
    main_.RunEventLoop(events);

    EXPECT_EQ(events.inputChanges, 1);
    EXPECT_EQ(events.securityChanges, 1);
    EXPECT_EQ(main_.ComboSelection(MainControl::SecurityCombo), 1);
    EXPECT_EQ(events.serviceCheckChanges, 1);
    EXPECT_TRUE(events.serviceCheckedWhenTold);
    EXPECT_EQ(events.startStopClicks, 1);
    EXPECT_EQ(events.blockedAddClicks, 1);
    EXPECT_EQ(events.advancedClosed, 1);
    EXPECT_EQ(events.quits, 1);
    EXPECT_EQ(main_.Text(MainControl::ServerEdit).size(), std::string("pop.example.com").size() + 1);
    EXPECT_TRUE(main_.Log().HasRow(row));
    EXPECT_EQ(GetWindowTextLengthA(main_.LogControl()), 400 * 100 + 399 * 2);
}

// The tooltip window that `owner` owns, if there is one.
HWND TooltipOf(HWND owner) {
    std::pair<HWND, HWND> search{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            auto& [wantedOwner, tooltip] = *reinterpret_cast<std::pair<HWND, HWND>*>(found);
            char name[64] = {};
            GetClassNameA(window, name, sizeof(name));
            if (GetWindow(window, GW_OWNER) != wantedOwner || std::string(name) != TOOLTIPS_CLASSA) return TRUE;
            tooltip = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

TEST_F(Win32Window, TheChoicesOfWhereTheFilesGoHoldWhatTheUserAndTheShellSet) {
    RECT client{};
    GetClientRect(advanced_.Window(), &client);
    EXPECT_EQ(client.right, 600);
    advanced_.SetChecked(AdvancedControl::ReplaceRadio, true);
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::ReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::KeepBothRadio));
    advanced_.SetChecked(AdvancedControl::KeepBothRadio, true);
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::ReplaceRadio));

    const std::string tip = "Placeholders: {sender}, {domain}, {year}, {month}, {day}";
    advanced_.SetTooltip(AdvancedControl::SubFolderEdit, tip);
    const HWND tooltip = TooltipOf(advanced_.Window());
    ASSERT_NE(tooltip, nullptr);
    char text[128] = {};
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = advanced_.Window();
    tool.uId = reinterpret_cast<UINT_PTR>(advanced_.Control(AdvancedControl::SubFolderEdit));
    tool.lpszText = text;
    SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::string(text), tip);

    RecordingEvents events(main_, [&] {
        advanced_.Show();
        advanced_.SetText(AdvancedControl::SubFolderEdit, "{year}");  // the shell's change: no event
        PostMessageA(advanced_.Control(AdvancedControl::SubFolderEdit), WM_CHAR, '/', 1);
        PostMessageA(advanced_.Control(AdvancedControl::ReplaceRadio), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Control(AdvancedControl::SaveInlineCheck), BM_CLICK, 0, 0);
        PostMessageA(main_.Window(), WM_CLOSE, 0, 0);
    });
    main_.StartTimers();
    main_.RunEventLoop(events);
    EXPECT_EQ(events.inputChanges, 1);
    EXPECT_EQ(advanced_.Text(AdvancedControl::SubFolderEdit).size(), std::string("{year}/").size());
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::ReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::KeepBothRadio)) << "a click clears the other of the pair";
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::SaveInlineCheck));
}

}  // namespace
}  // namespace zendrel
