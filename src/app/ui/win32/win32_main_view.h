#pragma once
// The main window in plain Win32: the settings, the start and stop button, the log, the menu, the status bar and the
// tray icon. It forwards what the user does to the shell and does what the shell says; it decides nothing.

#include <windows.h>

#include <array>
#include <string>

#include "app/ui/win32/win32_dpi.h"
#include "app/ui/win32/win32_handles.h"
#include "app/ui/win32/win32_log_view.h"
#include "app/views.h"

namespace zendrel::win32 {

class Win32AdvancedView;
class Win32OAuthSettingsView;

class Win32MainView final : public MainView {
public:
    Win32MainView();
    ~Win32MainView() override;
    Win32MainView(const Win32MainView&) = delete;
    Win32MainView& operator=(const Win32MainView&) = delete;

    // The window of the advanced settings, whose events also go to the shell while this window's loop runs.
    void SetAdvancedView(Win32AdvancedView* advanced) { advanced_ = advanced; }
    // The same for the OAuth settings window.
    void SetOAuthSettingsView(Win32OAuthSettingsView* oauth) { oauth_ = oauth; }

    void Create() override;
    void SetWindowTitle(const std::string& title) override;

    void SetText(MainControl control, const std::string& text) override;
    std::string Text(MainControl control) const override;
    void SetEnabled(MainControl control, bool enabled) override;
    void SetVisible(MainControl control, bool visible) override;
    void SetChecked(MainControl control, bool checked) override;
    bool Checked(MainControl control) const override;
    void SetTooltip(MainControl control, const std::string& tip) override;
    // The Win32 boxes refuse no character: one that Windows-1252 lacks is read back as "?".
    void SetInputRefusalText(const std::string&) override {}
    void SetStatusTip(MainControl control, const std::string& tip) override;
    void SetMarked(MainControl control, bool marked) override;

    void AddComboItem(MainControl combo, const std::string& text, std::int32_t data) override;
    int ComboItemCount(MainControl combo) const override;
    std::int32_t ComboItemData(MainControl combo, int index) const override;
    void SetComboItemText(MainControl combo, int index, const std::string& text) override;
    std::optional<int> ComboSelection(MainControl combo) const override;
    void SelectComboItem(MainControl combo, std::optional<int> index) override;

    LogView& Log() override { return log_; }
    void ClearLog() override { log_.Clear(); }

    void SetStatusText(StatusField field, const std::string& text) override;
    void SetMenuChecked(MenuItem item, bool checked) override;
    bool MenuChecked(MenuItem item) const override;
    void SetMenuText(MenuItem item, const std::string& text) override;
    void SetMenuEnabled(MenuItem item, bool enabled) override;

    void ShowWindow() override;
    void HideWindow() override;
    void RestoreWindow() override;
    void SetWindowEnabled(bool enabled) override;

    bool HasNotificationArea() const override;
    void ShowTrayIcon(const std::string& tooltip) override;
    void HideTrayIcon() override;

    void ShowMessage(const std::string& title, const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    std::string AskText(const std::string& title, const std::string& prompt, const std::string& defaultText) override;
    std::string ChooseFolder(const std::string& title, const std::string& initialFolder) override;
    void OpenWebAddress(const std::string& address) override;

    void StartTimers() override;
    void RunEventLoop(MainEvents& events) override;
    void EndEventLoop() override;

    // For the advanced window and for whoever drives the window from outside.
    HWND Window() const { return window_.get(); }
    HWND Control(MainControl control) const { return controls_[static_cast<std::size_t>(control)]; }
    HWND LogControl() const { return logEdit_; }
    HWND StatusBar() const { return statusBar_; }
    HMENU Menu() const { return menu_; }
    HMENU TrayMenu() const { return trayMenu_.get(); }
    MainEvents* Events() const { return events_; }

private:
    // Delivers one message as the event loop does: Tab, the arrow keys and Enter work as in a dialog, in both windows.
    void DispatchOne(MSG& message);
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    void CreateControls();
    // A child control, placed by LayOut.
    HWND AddChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id);
    // Places and sizes the window and its controls, with the message font, at the density of its screen.
    void LayOut();
    // The rectangle of the tool that stands for a disabled control, after the control moved.
    void MoveToolRect(MainControl control);
    void CreateMenuBar();
    // The menu that holds `item`: the window's or the tray icon's.
    HMENU MenuOf(MenuItem item) const;
    // The tray icon's menu at the pointer, as a right click on the icon brings it up.
    void ShowTrayMenu();
    void CreateTooltips();
    // The two tools of a control's tooltip: the control itself, and its rectangle on the window, which is where the
    // mouse messages go while the control is disabled.
    void AddTools(MainControl control, const std::string& text);
    // The control whose tool `toolId` is, by either of its two tools.
    std::optional<MainControl> ControlOfTool(UINT_PTR toolId) const;
    // The tooltip of a control shows or goes: its status tip with it.
    void OnTooltipShown(UINT_PTR toolId, bool shown);

    WindowClass windowClass_;
    UniqueWindow window_;
    UniqueFont font_;
    UINT dpi_ = kDesignDpi;
    UniqueBitmap donateBitmap_;
    UniqueBitmap clearLogBitmap_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    UniqueWindow tooltip_;
    UniqueBrush markBrush_;
    TrayIcon tray_;
    HMENU menu_ = nullptr;  // the window's; it goes with the window
    UniqueMenu trayMenu_;
    std::array<HWND, kMainControlCount> controls_{};
    std::array<bool, kMainControlCount> hasTools_{};
    std::array<bool, kMainControlCount> marked_{};
    std::array<std::string, kMainControlCount> statusTips_;
    HWND logEdit_ = nullptr;
    HWND statusBar_ = nullptr;
    Win32LogView log_;
    Win32AdvancedView* advanced_ = nullptr;
    Win32OAuthSettingsView* oauth_ = nullptr;
    MainEvents* events_ = nullptr;
    bool settingText_ = false;
};

}  // namespace zendrel::win32
