#pragma once
// The two windows as the shell sees them: passive views addressed by control name. A view creates its controls,
// forwards each user action and timer tick to MainEvents and does what the shell tells it; it decides nothing.
// Changes the shell makes to a control raise no event: only the user's own actions are forwarded.

#include <cstdint>
#include <optional>
#include <string>

#include "job/activity_log.h"

namespace zendrel {

enum class MainControl {
    kPreferencesFrame,
    kServerLabel,
    kServerEdit,
    kPortLabel,
    kPortEdit,
    kUserNameLabel,
    kUserNameEdit,
    kPasswordLabel,
    kPasswordEdit,
    kIntervalLabel,
    kIntervalCombo,
    kStartTimeLabel,
    kStartHourCombo,
    kStartMinuteCombo,
    kSaveDirLabel,
    kSaveDirEdit,
    kBrowseButton,
    kAdvancedButton,
    kShortcutCheck,
    kServiceCheck,
    kDeleteMailsCheck,
    kStartStopButton,
    kDonateButton,
    kLogFrame,
    kClearLogButton,
    // Later additions go at the end, so the numbers of the controls above stay as they are.
    kSecurityLabel,
    kSecurityCombo,
    // How the login is made: a password, or an OAuth 2.0 sign-in with a provider, whose button and status stand where
    // the password box stands with a password.
    kAuthenticationLabel,
    kAuthenticationCombo,
    kOAuthSettingsButton,
    kSignInButton,
    kSignInStatus,
};
inline constexpr int kMainControlCount = static_cast<int>(MainControl::kSignInStatus) + 1;

enum class AdvancedControl {
    kSearchStringLabel,
    kSearchStringEdit,
    kExtensionsLabel,
    kExtensionsEdit,
    kAllowedLabel,
    kAllowedList,
    kAllowedAddButton,
    kAllowedDeleteButton,
    kBlockedLabel,
    kBlockedList,
    kBlockedAddButton,
    kBlockedDeleteButton,
    kCloseButton,  // at the bottom right: closes the window as its close box and Escape do
    // Later additions go at the end. Where the files go: what a name that exists gets, the folders below the save
    // folder, the inline files; then whether examined mails are remembered across restarts.
    kExistingFilesLabel,
    kKeepBothRadio,
    kReplaceRadio,
    kSubFolderLabel,
    kSubFolderEdit,
    kSaveInlineCheck,
    kRememberMailsCheck,
};
inline constexpr int kAdvancedControlCount = static_cast<int>(AdvancedControl::kRememberMailsCheck) + 1;

// The small modal window of the OAuth 2.0 sign-in's settings, each box under or beside its label.
enum class OAuthControl {
    kClientIdLabel,
    kClientIdEdit,
    kClientSecretLabel,
    kClientSecretEdit,  // shows no characters, as the password box
    kTenantLabel,
    kTenantEdit,
    kAuthorizeUrlLabel,
    kAuthorizeUrlEdit,
    kTokenUrlLabel,
    kTokenUrlEdit,
    kDeviceUrlLabel,
    kDeviceUrlEdit,
    kScopeLabel,
    kScopeEdit,
    kOkButton,
    kCancelButton,  // as its close box and Escape
};
inline constexpr int kOAuthControlCount = static_cast<int>(OAuthControl::kCancelButton) + 1;

enum class StatusField { kScheduleField, kServiceField };
// The items of the window's menu and of the tray icon's menu. The first four keep their fixed English words; the
// others take theirs from the shell, in the window's language.
enum class MenuItem {
    kQuit,
    kAbout,
    kGerman,
    kEnglish,
    kRunNow,           // File menu
    kCheckConnection,  // File menu
    kTrayShow,         // the tray's menu, brought up by a right click on the icon
    kTrayRunNow,
    kTrayStartStop,    // the start button's role and caption
    kTrayQuit,
};
inline constexpr int kMenuItemCount = static_cast<int>(MenuItem::kTrayQuit) + 1;
// The two sender lists: the white list and the black list.
enum class SenderListKind { kAllowed, kBlocked };

// What the user and the timers do, delivered by a view to the shell on the window's thread.
class MainEvents {
public:
    virtual ~MainEvents() = default;
    virtual void OnQuit() = 0;  // the menu item "Quit" (or the tray's), or the main window closed
    virtual void OnAbout() = 0;
    virtual void OnLanguageChosen(MenuItem language) = 0;  // German or English
    virtual void OnRunNow() = 0;                           // from the File menu or the tray's menu
    virtual void OnCheckConnection() = 0;
    virtual void OnMinimised() = 0;
    virtual void OnTrayDoubleClick() = 0;  // also the tray menu's "Show"
    virtual void OnAdvancedButton() = 0;
    virtual void OnAdvancedClosed() = 0;  // its close box, its Close button or Escape
    virtual void OnBrowseButton() = 0;
    virtual void OnDonateButton() = 0;
    virtual void OnClearLogButton() = 0;
    // The user changed the text of an edit box (of either window) or the selection of the interval.
    virtual void OnInputChanged() = 0;
    // The user chose an item of the connection's security drop-down.
    virtual void OnSecurityChanged() = 0;
    // The user chose an item of the authentication drop-down.
    virtual void OnAuthenticationChanged() = 0;
    virtual void OnOAuthSettingsButton() = 0;
    // The OAuth settings window's OK (`accepted`), or its Cancel, close box or Escape.
    virtual void OnOAuthSettingsClosed(bool accepted) = 0;
    virtual void OnSignInButton() = 0;
    virtual void OnStartStopButton() = 0;  // also the tray menu's item of the same caption
    // The user has just toggled the check box; the view shows the new state before it calls.
    virtual void OnServiceCheckChanged() = 0;
    virtual void OnShortcutCheckChanged() = 0;
    virtual void OnSenderListClicked(SenderListKind list) = 0;
    virtual void OnSenderAddButton(SenderListKind list) = 0;
    virtual void OnSenderDeleteButton(SenderListKind list) = 0;
    virtual void OnScheduleTimer() = 0;  // every 500 ms
    virtual void OnLogPollTimer() = 0;   // every 1500 ms
};

class MainView {
public:
    virtual ~MainView() = default;

    // Creates the window hidden with all its controls and the menu; the shell then writes their texts.
    virtual void Create() = 0;
    virtual void SetWindowTitle(const std::string& title) = 0;

    virtual void SetText(MainControl control, const std::string& text) = 0;
    virtual std::string Text(MainControl control) const = 0;
    virtual void SetEnabled(MainControl control, bool enabled) = 0;
    // A hidden control leaves its place empty; controls start visible.
    virtual void SetVisible(MainControl control, bool visible) = 0;
    virtual void SetChecked(MainControl control, bool checked) = 0;
    virtual bool Checked(MainControl control) const = 0;
    virtual void SetTooltip(MainControl control, const std::string& tip) = 0;
    // What the status bar shows while the pointer is over the control, disabled or not; "" shows nothing.
    virtual void SetStatusTip(MainControl control, const std::string& tip) = 0;
    // Marks an input as the one that needs the user's attention, or takes the mark away.
    virtual void SetMarked(MainControl control, bool marked) = 0;
    // What the text boxes of both windows show when they refuse a character the program's text cannot hold.
    virtual void SetInputRefusalText(const std::string& text) = 0;

    // Drop-down lists whose items carry a 32-bit value.
    virtual void AddComboItem(MainControl combo, const std::string& text, std::int32_t data) = 0;
    virtual int ComboItemCount(MainControl combo) const = 0;
    virtual std::int32_t ComboItemData(MainControl combo, int index) const = 0;
    virtual void SetComboItemText(MainControl combo, int index, const std::string& text) = 0;
    virtual std::optional<int> ComboSelection(MainControl combo) const = 0;
    virtual void SelectComboItem(MainControl combo, std::optional<int> index) = 0;

    // The activity log's rows; rows may arrive from the run's thread.
    virtual LogView& Log() = 0;
    virtual void ClearLog() = 0;

    virtual void SetStatusText(StatusField field, const std::string& text) = 0;
    virtual void SetMenuChecked(MenuItem item, bool checked) = 0;
    virtual bool MenuChecked(MenuItem item) const = 0;
    virtual void SetMenuText(MenuItem item, const std::string& text) = 0;
    virtual void SetMenuEnabled(MenuItem item, bool enabled) = 0;

    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // Back from minimised (or hidden) to the window's normal state.
    virtual void RestoreWindow() = 0;
    virtual void SetWindowEnabled(bool enabled) = 0;

    // Whether the desktop has a notification area to hold a tray icon.
    virtual bool HasNotificationArea() const = 0;
    virtual void ShowTrayIcon(const std::string& tooltip) = 0;
    virtual void HideTrayIcon() = 0;

    virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
    // True for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // The text entered, "" when the box was closed otherwise.
    virtual std::string AskText(const std::string& title, const std::string& prompt,
                                const std::string& defaultText) = 0;
    // The folder chosen, ending in a separator; "" when the chooser was cancelled.
    virtual std::string ChooseFolder(const std::string& title, const std::string& initialFolder) = 0;
    virtual void OpenWebAddress(const std::string& address) = 0;

    // Starts the 500 ms and the 1500 ms timers.
    virtual void StartTimers() = 0;
    // Delivers events to `events` until EndEventLoop.
    virtual void RunEventLoop(MainEvents& events) = 0;
    virtual void EndEventLoop() = 0;
};

class AdvancedView {
public:
    virtual ~AdvancedView() = default;

    // Creates the window hidden, owned by the main window, both delete buttons disabled.
    virtual void Create() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;

    virtual void SetText(AdvancedControl control, const std::string& text) = 0;
    virtual std::string Text(AdvancedControl control) const = 0;
    virtual void SetEnabled(AdvancedControl control, bool enabled) = 0;
    // Check boxes and radio buttons; checking a radio button clears the other of its pair.
    virtual void SetChecked(AdvancedControl control, bool checked) = 0;
    virtual bool Checked(AdvancedControl control) const = 0;
    virtual void SetTooltip(AdvancedControl control, const std::string& tip) = 0;

    // List boxes.
    virtual int ListCount(AdvancedControl list) const = 0;
    virtual std::string ListEntry(AdvancedControl list, int index) const = 0;
    virtual std::optional<int> ListSelection(AdvancedControl list) const = 0;
    virtual void AppendListEntry(AdvancedControl list, const std::string& entry) = 0;
    virtual void RemoveListEntry(AdvancedControl list, int index) = 0;
    virtual void ClearList(AdvancedControl list) = 0;
};

// The OAuth settings window: modal while shown (the shell disables the main window), closed only by the shell.
class OAuthSettingsView {
public:
    virtual ~OAuthSettingsView() = default;

    // Creates the window hidden, owned by the main window.
    virtual void Create() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;

    virtual void SetText(OAuthControl control, const std::string& text) = 0;
    virtual std::string Text(OAuthControl control) const = 0;
    virtual void SetEnabled(OAuthControl control, bool enabled) = 0;
};

}  // namespace zendrel
