#pragma once
// The main window in Qt: the settings frame, the log, the menu, the status bar and the tray icon. It forwards what
// the user does and the two timers to the shell and otherwise does what the shell says.

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <array>
#include <memory>

#include "app/ui/qt/qt_log_view.h"
#include "app/ui/qt/top_level_windows.h"
#include "app/views.h"

namespace zendrel {

class QtMainView final : public MainView {
public:
    QtMainView();
    ~QtMainView() override;
    QtMainView(const QtMainView&) = delete;
    QtMainView& operator=(const QtMainView&) = delete;

    void Create() override;
    void SetWindowTitle(const std::string& title) override;

    void SetText(MainControl control, const std::string& text) override;
    std::string Text(MainControl control) const override;
    void SetEnabled(MainControl control, bool enabled) override;
    void SetVisible(MainControl control, bool visible) override;
    void SetChecked(MainControl control, bool checked) override;
    bool Checked(MainControl control) const override;
    void SetTooltip(MainControl control, const std::string& tip) override;
    void SetInputRefusalText(const std::string& text) override;
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

    // Where the user's actions go while the event loop runs; none before and after it.
    MainEvents* Events() const { return events_; }
    // The window and its controls, for the advanced window's owner and for driving the window in tests.
    MainWindow* Window() const { return window_.get(); }
    QWidget* Widget(MainControl control) const { return controls_[static_cast<std::size_t>(control)]; }
    QPlainTextEdit* LogText() const { return logText_; }
    QAction* MenuAction(MenuItem item) const { return menu_[static_cast<std::size_t>(item)]; }
    QLabel* StatusLabel(StatusField field) const { return status_[static_cast<std::size_t>(field)]; }
    QSystemTrayIcon* TrayIcon() const { return tray_.get(); }
    QMenu* TrayMenu() const { return trayMenu_.get(); }

private:
    void BuildPreferences(QWidget* frame);
    void BuildLog(QWidget* frame);
    void BuildMenu();
    void BuildStatusBar();
    void ForwardUserActions();
    QComboBox* Combo(MainControl control) const;

    QtLogView log_;
    std::unique_ptr<MainWindow> window_;
    std::array<QWidget*, kMainControlCount> controls_{};
    QPlainTextEdit* logText_ = nullptr;
    std::array<QAction*, kMenuItemCount> menu_{};
    std::unique_ptr<QMenu> trayMenu_;
    std::array<QLabel*, 2> status_{};
    std::unique_ptr<QSystemTrayIcon> tray_;
    QTimer* scheduleTimer_ = nullptr;
    QTimer* logPollTimer_ = nullptr;
    MainEvents* events_ = nullptr;
    QPointer<QEventLoop> loop_;
    bool endRequested_ = false;
};

}  // namespace zendrel
