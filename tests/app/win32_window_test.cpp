// The real Win32 windows, driven with the messages a user's actions send: what reaches the shell, and what the
// controls hold. The shell's logic itself is tested headless.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/ui/win32/win32_advanced_view.h"
#include "app/ui/win32/win32_main_view.h"
#include "app/ui/win32/win32_oauth_settings_view.h"

namespace zendrel {
namespace {

using win32::Win32AdvancedView;
using win32::Win32MainView;
using win32::Win32OAuthSettingsView;

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
    void OnRunNow() override { ++runNows; }
    void OnCheckConnection() override { ++checks; }
    void OnMinimised() override {}
    void OnTrayDoubleClick() override { ++trayShows; }
    void OnAdvancedButton() override {}
    void OnAdvancedClosed() override { ++advancedClosed; }
    void OnBrowseButton() override {}
    void OnDonateButton() override {}
    void OnClearLogButton() override {}
    void OnInputChanged() override { ++inputChanges; }
    void OnSecurityChanged() override { ++securityChanges; }
    void OnAuthenticationChanged() override { ++authenticationChanges; }
    void OnOAuthSettingsButton() override { ++oauthSettingsClicks; }
    void OnOAuthSettingsClosed(bool accepted) override { (accepted ? oauthAccepted : oauthCancelled)++; }
    void OnSignInButton() override { ++signInClicks; }
    void OnStartStopButton() override { ++startStopClicks; }
    void OnServiceCheckChanged() override {
        ++serviceCheckChanges;
        serviceCheckedWhenTold = main_.Checked(MainControl::kServiceCheck);
    }
    void OnShortcutCheckChanged() override {}
    void OnSenderListClicked(SenderListKind) override {}
    void OnSenderAddButton(SenderListKind list) override {
        if (list == SenderListKind::kBlocked) ++blockedAddClicks;
    }
    void OnSenderDeleteButton(SenderListKind) override {}
    void OnScheduleTimer() override {
        // A loop that never sees the close would otherwise wait for ever; the checks below then fail.
        if (++ticks == 1) firstTick_();
        if (ticks > 1 && laterTick) laterTick();
        if (ticks > 60) main_.EndEventLoop();
    }
    void OnLogPollTimer() override {}

    int quits = 0, advancedClosed = 0, inputChanges = 0, securityChanges = 0, startStopClicks = 0,
        serviceCheckChanges = 0;
    int blockedAddClicks = 0, ticks = 0, runNows = 0, checks = 0, trayShows = 0;
    int authenticationChanges = 0, oauthSettingsClicks = 0, oauthAccepted = 0, oauthCancelled = 0, signInClicks = 0;
    bool serviceCheckedWhenTold = false;
    std::function<void()> laterTick;  // at every tick after the first, until the loop ends

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
        oauth_.Create();
        ASSERT_NE(oauth_.Window(), nullptr);
    }

    Win32MainView main_;
    Win32AdvancedView advanced_{main_};
    Win32OAuthSettingsView oauth_{main_};
};

TEST_F(Win32Window, IsLaidOutWithAFixedFrameTheStatusFieldsAndTheInputStyles) {
    RECT client{};
    GetClientRect(main_.Window(), &client);
    EXPECT_EQ(client.right, 522);
    EXPECT_EQ(client.bottom, 588);
    const LONG_PTR style = GetWindowLongPtrA(main_.Window(), GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::kPortEdit), GWL_STYLE) & ES_NUMBER);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::kPasswordEdit), GWL_STYLE) & ES_PASSWORD);
    EXPECT_TRUE(GetWindowLongPtrA(oauth_.Control(OAuthControl::kClientSecretEdit), GWL_STYLE) & ES_PASSWORD);
    // With a sign-in the password's place is the sign-in button's.
    main_.SetVisible(MainControl::kPasswordEdit, false);
    EXPECT_FALSE(GetWindowLongPtrA(main_.Control(MainControl::kPasswordEdit), GWL_STYLE) & WS_VISIBLE);
    main_.SetVisible(MainControl::kPasswordEdit, true);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::kPasswordEdit), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongPtrA(main_.Control(MainControl::kStartStopButton), GWL_STYLE) & BS_DEFPUSHBUTTON);
    const LONG_PTR logStyle = GetWindowLongPtrA(main_.LogControl(), GWL_STYLE);
    EXPECT_TRUE(logStyle & ES_READONLY);
    EXPECT_FALSE(logStyle & (ES_AUTOHSCROLL | WS_HSCROLL));  // it wraps its lines
    int parts[2] = {};
    ASSERT_EQ(SendMessageA(main_.StatusBar(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_EQ(parts[0], 250);
    EXPECT_FALSE(IsWindowEnabled(advanced_.Control(AdvancedControl::kAllowedDeleteButton)));
    EXPECT_FALSE(IsWindowEnabled(advanced_.Control(AdvancedControl::kBlockedDeleteButton)));
}

TEST_F(Win32Window, ControlsHoldWhatTheShellWrites) {
    main_.SetWindowTitle("Zendrel V" ZENDREL_PROJECT_VERSION);
    char title[64] = {};
    GetWindowTextA(main_.Window(), title, sizeof(title));
    EXPECT_STREQ(title, "Zendrel V" ZENDREL_PROJECT_VERSION);

    main_.AddComboItem(MainControl::kIntervalCombo, "any 5 minutes", 300);
    main_.AddComboItem(MainControl::kIntervalCombo, "any 10 minutes", 600);
    main_.SelectComboItem(MainControl::kIntervalCombo, 1);
    main_.SetComboItemText(MainControl::kIntervalCombo, 1, "alle 10 Minuten");
    EXPECT_EQ(main_.ComboSelection(MainControl::kIntervalCombo), 1);
    EXPECT_EQ(main_.ComboItemData(MainControl::kIntervalCombo, 1), 600);
    main_.SelectComboItem(MainControl::kIntervalCombo, std::nullopt);
    EXPECT_EQ(main_.ComboSelection(MainControl::kIntervalCombo), std::nullopt);

    main_.SetMenuChecked(MenuItem::kEnglish, true);
    main_.SetMenuChecked(MenuItem::kGerman, false);
    EXPECT_TRUE(main_.MenuChecked(MenuItem::kEnglish));
    EXPECT_FALSE(main_.MenuChecked(MenuItem::kGerman));

    main_.SetStatusText(StatusField::kServiceField, "Service Running");
    char status[64] = {};
    SendMessageA(main_.StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, "Service Running");

    advanced_.AppendListEntry(AdvancedControl::kAllowedList, "a@example.com");
    advanced_.AppendListEntry(AdvancedControl::kAllowedList, "b@example.com");
    advanced_.RemoveListEntry(AdvancedControl::kAllowedList, 0);
    EXPECT_EQ(advanced_.ListCount(AdvancedControl::kAllowedList), 1);
    EXPECT_EQ(advanced_.ListEntry(AdvancedControl::kAllowedList, 0), "b@example.com");
}

// The suite runs under a Russian system's code page (1251), in which the bytes of "ä", "ü", "€" and "„" are Cyrillic
// letters: the windows must show the program's Windows-1252 text as what it is all the same.
TEST_F(Win32Window, ShowTheProgramsTextWhateverTheSystemsCodePage) {
    ASSERT_NE(GetACP(), 1252u) << "run with LANG=ru_RU.UTF-8, that locale generated (scripts/setup.sh windows)";
    const auto wideText = [](HWND window) {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
        return text;
    };
    main_.SetText(MainControl::kSaveDirLabel, "Speicherpfad f\xFCr Anh\xE4nge");
    main_.SetText(MainControl::kSaveDirEdit, "C:\\Anh\xE4nge \x84\x80\x93\\");
    main_.Log().AppendRow("Gr\xFC\xDF" "e.pdf gespeichert");
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(wideText(main_.Control(MainControl::kSaveDirLabel)), L"Speicherpfad f\u00FCr Anh\u00E4nge");
    EXPECT_EQ(wideText(main_.Control(MainControl::kSaveDirEdit)), L"C:\\Anh\u00E4nge \u201E\u20AC\u201C\\");
    EXPECT_EQ(wideText(main_.LogControl()), L"Gr\u00FC\u00DF" L"e.pdf gespeichert");

    // What the user types comes back as the program's text; a letter Windows-1252 lacks as "?".
    main_.SetText(MainControl::kUserNameEdit, "");
    for (const wchar_t typed : {L'J', L'\u00FC', L'\u20AC', L'\u0416'}) {
        SendMessageW(main_.Control(MainControl::kUserNameEdit), WM_CHAR, typed, 1);
    }
    EXPECT_EQ(main_.Text(MainControl::kUserNameEdit), "J\xFC\x80?");
}

// The height of the font a control draws with, in pixels.
LONG FontHeight(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

SIZE SizeOf(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    return {place.right - place.left, place.bottom - place.top};
}

// Wine sends no WM_DPICHANGED; the system sends it when a window goes to a screen of another density. Both windows
// then lay themselves out anew at twice the size, with a larger font.
TEST_F(Win32Window, TwiceTheDensityDoublesBothWindowsAndTheirControlsAndEnlargesTheFont) {
    for (const auto& [window, control] :
         {std::pair{main_.Window(), main_.Control(MainControl::kSaveDirEdit)},
          std::pair{advanced_.Window(), advanced_.Control(AdvancedControl::kCloseButton)},
          std::pair{oauth_.Window(), oauth_.Control(OAuthControl::kScopeEdit)}}) {
        const SIZE controlBefore = SizeOf(control);
        RECT clientBefore{};
        GetClientRect(window, &clientBefore);
        const LONG fontBefore = FontHeight(control);
        RECT suggested{};
        GetWindowRect(window, &suggested);
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));

        const SIZE controlAfter = SizeOf(control);
        EXPECT_EQ(controlAfter.cx, 2 * controlBefore.cx);
        EXPECT_EQ(controlAfter.cy, 2 * controlBefore.cy);
        RECT clientAfter{};
        GetClientRect(window, &clientAfter);
        // The height is the test screen's at most.
        EXPECT_EQ(clientAfter.right, 2 * clientBefore.right);
        EXPECT_GT(FontHeight(control), fontBefore * 3 / 2);
    }
}

// The controls the Tab key visits from `first`, in its order, once round.
std::vector<HWND> TabOrder(HWND window, HWND first) {
    std::vector<HWND> order{first};
    for (HWND next = GetNextDlgTabItem(window, first, FALSE); next != nullptr && next != first && order.size() < 64;
         next = GetNextDlgTabItem(window, next, FALSE)) {
        order.push_back(next);
    }
    return order;
}

// Tab goes through the controls as the eye reads them, row by row, each row from left to right; the Shift key's way
// back is the same. A disabled button is passed over.
TEST_F(Win32Window, TabVisitsTheControlsInTheOrderTheyAreRead) {
    std::vector<HWND> mainOrder;
    for (const MainControl control :
         {MainControl::kServerEdit, MainControl::kSecurityCombo, MainControl::kPortEdit,
          MainControl::kAuthenticationCombo, MainControl::kUserNameEdit, MainControl::kPasswordEdit,
          MainControl::kSignInButton, MainControl::kIntervalCombo, MainControl::kStartHourCombo,
          MainControl::kStartMinuteCombo, MainControl::kSaveDirEdit, MainControl::kBrowseButton,
          MainControl::kAdvancedButton, MainControl::kOAuthSettingsButton, MainControl::kShortcutCheck,
          MainControl::kServiceCheck, MainControl::kDeleteMailsCheck, MainControl::kStartStopButton,
          MainControl::kDonateButton, MainControl::kClearLogButton}) {
        mainOrder.push_back(main_.Control(control));
    }
    mainOrder.push_back(main_.LogControl());
    EXPECT_EQ(TabOrder(main_.Window(), mainOrder.front()), mainOrder);
    EXPECT_EQ(GetNextDlgTabItem(main_.Window(), mainOrder.front(), TRUE), mainOrder.back());

    std::vector<HWND> advancedOrder;
    for (const AdvancedControl control :
         {AdvancedControl::kSearchStringEdit, AdvancedControl::kExtensionsEdit, AdvancedControl::kKeepBothRadio,
          AdvancedControl::kSubFolderEdit, AdvancedControl::kSaveInlineCheck, AdvancedControl::kRememberMailsCheck,
          AdvancedControl::kAllowedList, AdvancedControl::kAllowedAddButton, AdvancedControl::kBlockedList,
          AdvancedControl::kBlockedAddButton, AdvancedControl::kCloseButton}) {
        advancedOrder.push_back(advanced_.Control(control));
    }
    EXPECT_EQ(TabOrder(advanced_.Window(), advancedOrder.front()), advancedOrder);

    std::vector<HWND> oauthOrder;
    for (const OAuthControl control :
         {OAuthControl::kClientIdEdit, OAuthControl::kClientSecretEdit, OAuthControl::kTenantEdit,
          OAuthControl::kAuthorizeUrlEdit, OAuthControl::kTokenUrlEdit, OAuthControl::kDeviceUrlEdit,
          OAuthControl::kScopeEdit, OAuthControl::kOkButton, OAuthControl::kCancelButton}) {
        oauthOrder.push_back(oauth_.Control(control));
    }
    EXPECT_EQ(TabOrder(oauth_.Window(), oauthOrder.front()), oauthOrder);
}

TEST_F(Win32Window, UserActionsReachTheShellTheShellsOwnChangesDoNotAndRowsComeFromAnyThread) {
    const std::string row(100, 'r');
    RecordingEvents events(main_, [&] {
        main_.ShowWindow();
        main_.SetEnabled(MainControl::kStartStopButton, true);
        main_.SetText(MainControl::kServerEdit, "pop.example.com");  // the shell's change: no event
        PostMessageA(main_.Control(MainControl::kServerEdit), WM_CHAR, 'x', 1);
        for (const char* item : {"None", "STARTTLS", "SSL/TLS"}) {
            main_.AddComboItem(MainControl::kSecurityCombo, item, 0);
        }
        main_.SelectComboItem(MainControl::kSecurityCombo, 0);  // the shell's choice: no event
        PostMessageA(main_.Control(MainControl::kSecurityCombo), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(main_.Control(MainControl::kServiceCheck), BM_CLICK, 0, 0);
        PostMessageA(main_.Control(MainControl::kStartStopButton), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Control(AdvancedControl::kBlockedAddButton), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Window(), WM_CLOSE, 0, 0);
        PostMessageA(advanced_.Control(AdvancedControl::kCloseButton), BM_CLICK, 0, 0);
        for (const char* item : {"Password", "Microsoft"}) {
            main_.AddComboItem(MainControl::kAuthenticationCombo, item, 0);
        }
        main_.SelectComboItem(MainControl::kAuthenticationCombo, 0);
        PostMessageA(main_.Control(MainControl::kAuthenticationCombo), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(main_.Control(MainControl::kOAuthSettingsButton), BM_CLICK, 0, 0);
        PostMessageA(main_.Control(MainControl::kSignInButton), BM_CLICK, 0, 0);
        PostMessageA(oauth_.Control(OAuthControl::kOkButton), BM_CLICK, 0, 0);
        PostMessageA(oauth_.Control(OAuthControl::kCancelButton), BM_CLICK, 0, 0);
        PostMessageA(oauth_.Window(), WM_CLOSE, 0, 0);
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
    EXPECT_EQ(main_.ComboSelection(MainControl::kSecurityCombo), 1);
    EXPECT_EQ(events.serviceCheckChanges, 1);
    EXPECT_TRUE(events.serviceCheckedWhenTold);
    EXPECT_EQ(events.startStopClicks, 1);
    EXPECT_EQ(events.blockedAddClicks, 1);
    EXPECT_EQ(events.advancedClosed, 2);  // its close box and its Close button
    EXPECT_EQ(events.authenticationChanges, 1);
    EXPECT_EQ(events.oauthSettingsClicks, 1);
    EXPECT_EQ(events.signInClicks, 1);
    EXPECT_EQ(events.oauthAccepted, 1);
    EXPECT_EQ(events.oauthCancelled, 2);  // its Cancel button and its close box
    EXPECT_EQ(events.quits, 1);
    EXPECT_EQ(main_.Text(MainControl::kServerEdit).size(), std::string("pop.example.com").size() + 1);
    EXPECT_TRUE(main_.Log().HasRow(row));
    EXPECT_EQ(GetWindowTextLengthA(main_.LogControl()), 400 * 100 + 399 * 2);
}

// What a menu holds, by position: its items' texts, "-" for a separator, and "(grey)" after an item disabled.
std::vector<std::string> MenuItems(HMENU menu) {
    std::vector<std::string> items;
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
        items.push_back((state & MF_SEPARATOR) != 0 ? "-" : std::string(text) + ((state & MF_GRAYED) ? " (grey)" : ""));
    }
    return items;
}

TEST_F(Win32Window, ARightClickOnTheTrayIconBringsUpItsMenuWhoseItemsReachTheShell) {
    constexpr UINT kTrayMessage = WM_APP + 1;  // the icon's callback message
    int menuTicks = 0;
    RecordingEvents events(main_, [&] {
        main_.ShowWindow();
        for (const auto& [item, text] : {std::pair{MenuItem::kTrayShow, "Show"}, {MenuItem::kTrayRunNow, "Run now"},
                                         {MenuItem::kTrayStartStop, "Lets go"}, {MenuItem::kTrayQuit, "Quit"},
                                         {MenuItem::kRunNow, "Run now"}, {MenuItem::kCheckConnection, "Check"}}) {
            main_.SetMenuText(item, text);
        }
        main_.SetMenuEnabled(MenuItem::kTrayStartStop, false);
        main_.SetMenuEnabled(MenuItem::kCheckConnection, false);
        PostMessageA(main_.Window(), kTrayMessage, 0, WM_RBUTTONUP);
    });
    // The menu's own loop goes on delivering the timer: there the user picks the second item with the keyboard.
    events.laterTick = [&] {
        if (++menuTicks == 1) {
            for (const WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(main_.Window(), WM_KEYDOWN, key, 1);
        } else if (events.runNows > 0) {
            main_.EndEventLoop();
        }
    };
    main_.StartTimers();
    main_.RunEventLoop(events);

    EXPECT_EQ(MenuItems(main_.TrayMenu()),
              (std::vector<std::string>{"Show", "Run now", "Lets go (grey)", "-", "Quit"}));
    EXPECT_EQ(MenuItems(GetSubMenu(main_.Menu(), 0)),
              (std::vector<std::string>{"Run now", "Check (grey)", "-", "Quit", "About"}));
    EXPECT_EQ(events.runNows, 1) << "the item picked from the tray's menu";
}

TEST_F(Win32Window, ADisabledButtonsTipShowsInTheStatusBarWhileThePointerRestsOnIt) {
    const std::string why = "Enter the POP3 server.";
    std::string statusText;
    RecordingEvents events(main_, [&] {
        main_.ShowWindow();
        const HWND start = main_.Control(MainControl::kStartStopButton);
        main_.SetEnabled(MainControl::kStartStopButton, false);
        main_.SetTooltip(MainControl::kStartStopButton, why);
        main_.SetStatusTip(MainControl::kStartStopButton, why);
        RECT place{};
        GetWindowRect(start, &place);
        POINT centre{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
        SetCursorPos(centre.x, centre.y);
        // The mouse message a disabled control never gets goes to the window under it.
        ScreenToClient(main_.Window(), &centre);
        PostMessageA(main_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
    });
    events.laterTick = [&] {
        if (SendMessageA(main_.StatusBar(), SB_ISSIMPLE, 0, 0) == 0) return;
        // The simple mode's text, which some versions of the status bar give as part 0.
        for (const WPARAM part : {WPARAM{SB_SIMPLEID}, WPARAM{0}}) {
            char text[128] = {};
            SendMessageA(main_.StatusBar(), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
            if (statusText.empty()) statusText = text;
        }
        main_.EndEventLoop();
    };
    main_.StartTimers();
    main_.RunEventLoop(events);
    EXPECT_EQ(statusText, why);
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
    advanced_.SetChecked(AdvancedControl::kReplaceRadio, true);
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::kReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::kKeepBothRadio));
    advanced_.SetChecked(AdvancedControl::kKeepBothRadio, true);
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::kReplaceRadio));

    const std::string tip = "Placeholders: {sender}, {domain}, {year}, {month}, {day}";
    advanced_.SetTooltip(AdvancedControl::kSubFolderEdit, tip);
    const HWND tooltip = TooltipOf(advanced_.Window());
    ASSERT_NE(tooltip, nullptr);
    char text[128] = {};
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = advanced_.Window();
    tool.uId = reinterpret_cast<UINT_PTR>(advanced_.Control(AdvancedControl::kSubFolderEdit));
    tool.lpszText = text;
    SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::string(text), tip);

    RecordingEvents events(main_, [&] {
        advanced_.Show();
        advanced_.SetText(AdvancedControl::kSubFolderEdit, "{year}");  // the shell's change: no event
        PostMessageA(advanced_.Control(AdvancedControl::kSubFolderEdit), WM_CHAR, '/', 1);
        PostMessageA(advanced_.Control(AdvancedControl::kReplaceRadio), BM_CLICK, 0, 0);
        PostMessageA(advanced_.Control(AdvancedControl::kSaveInlineCheck), BM_CLICK, 0, 0);
        PostMessageA(main_.Window(), WM_CLOSE, 0, 0);
    });
    main_.StartTimers();
    main_.RunEventLoop(events);
    EXPECT_EQ(events.inputChanges, 1);
    EXPECT_EQ(advanced_.Text(AdvancedControl::kSubFolderEdit).size(), std::string("{year}/").size());
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::kReplaceRadio));
    EXPECT_FALSE(advanced_.Checked(AdvancedControl::kKeepBothRadio)) << "a click clears the other of the pair";
    EXPECT_TRUE(advanced_.Checked(AdvancedControl::kSaveInlineCheck));
}

}  // namespace
}  // namespace zendrel
