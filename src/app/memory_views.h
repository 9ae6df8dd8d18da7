#pragma once
// Views that keep their controls' state in memory and show nothing: the windowless service's views, where the
// controls are still the settings' only store, and the ground of the tests' recording views.

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/views.h"

namespace zendrel {

class MemoryMainView : public MainView {
public:
    explicit MemoryMainView(LogView& log) : log_(log) {}

    // Fresh controls, as a window built anew has them.
    void Create() override;
    void SetWindowTitle(const std::string& title) override { title_ = title; }
    void SetText(MainControl control, const std::string& text) override { At(control).text = text; }
    std::string Text(MainControl control) const override { return At(control).text; }
    void SetEnabled(MainControl control, bool enabled) override { At(control).enabled = enabled; }
    void SetVisible(MainControl control, bool visible) override { At(control).visible = visible; }
    void SetChecked(MainControl control, bool checked) override { At(control).checked = checked; }
    bool Checked(MainControl control) const override { return At(control).checked; }
    void SetTooltip(MainControl control, const std::string& tip) override { At(control).tooltip = tip; }
    void SetInputRefusalText(const std::string& text) override { refusalText_ = text; }
    void SetStatusTip(MainControl control, const std::string& tip) override { At(control).statusTip = tip; }
    void SetMarked(MainControl control, bool marked) override { At(control).marked = marked; }

    void AddComboItem(MainControl combo, const std::string& text, std::int32_t data) override;
    int ComboItemCount(MainControl combo) const override;
    std::int32_t ComboItemData(MainControl combo, int index) const override;
    void SetComboItemText(MainControl combo, int index, const std::string& text) override;
    std::optional<int> ComboSelection(MainControl combo) const override { return At(combo).selection; }
    void SelectComboItem(MainControl combo, std::optional<int> index) override;

    LogView& Log() override { return log_; }
    void ClearLog() override {}

    void SetStatusText(StatusField field, const std::string& text) override {
        status_[static_cast<std::size_t>(field)] = text;
    }
    void SetMenuChecked(MenuItem item, bool checked) override { Menu(item).checked = checked; }
    bool MenuChecked(MenuItem item) const override { return Menu(item).checked; }
    void SetMenuText(MenuItem item, const std::string& text) override { Menu(item).text = text; }
    void SetMenuEnabled(MenuItem item, bool enabled) override { Menu(item).enabled = enabled; }

    void ShowWindow() override { windowShown_ = true; }
    void HideWindow() override { windowShown_ = false; }
    void RestoreWindow() override { windowShown_ = true; }
    void SetWindowEnabled(bool enabled) override { windowEnabled_ = enabled; }

    bool HasNotificationArea() const override { return false; }
    void ShowTrayIcon(const std::string& tooltip) override { trayTooltip_ = tooltip; }
    void HideTrayIcon() override { trayTooltip_.reset(); }

    void ShowMessage(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::string AskText(const std::string&, const std::string&, const std::string&) override { return ""; }
    std::string ChooseFolder(const std::string&, const std::string&) override { return ""; }
    void OpenWebAddress(const std::string&) override {}

    void StartTimers() override {}
    void RunEventLoop(MainEvents&) override {}
    void EndEventLoop() override {}

    // What the controls show, for whoever looks in.
    bool Enabled(MainControl control) const { return At(control).enabled; }
    bool Visible(MainControl control) const { return At(control).visible; }
    std::string Tooltip(MainControl control) const { return At(control).tooltip; }
    std::string StatusTip(MainControl control) const { return At(control).statusTip; }
    bool Marked(MainControl control) const { return At(control).marked; }
    const std::string& InputRefusalText() const { return refusalText_; }
    std::string ComboItemText(MainControl combo, int index) const;
    std::string StatusText(StatusField field) const { return status_[static_cast<std::size_t>(field)]; }
    const std::string& MenuText(MenuItem item) const { return Menu(item).text; }
    bool MenuEnabled(MenuItem item) const { return Menu(item).enabled; }
    const std::string& WindowTitle() const { return title_; }
    bool WindowShown() const { return windowShown_; }
    bool WindowEnabled() const { return windowEnabled_; }
    const std::optional<std::string>& TrayTooltip() const { return trayTooltip_; }

private:
    struct Control {
        std::string text;
        std::string tooltip;
        std::string statusTip;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        bool marked = false;
        std::vector<std::pair<std::string, std::int32_t>> items;
        std::optional<int> selection;
    };
    struct MenuEntry {
        std::string text;
        bool checked = false;
        bool enabled = true;
    };
    Control& At(MainControl control) { return controls_[static_cast<std::size_t>(control)]; }
    const Control& At(MainControl control) const { return controls_[static_cast<std::size_t>(control)]; }
    MenuEntry& Menu(MenuItem item) { return menu_[static_cast<std::size_t>(item)]; }
    const MenuEntry& Menu(MenuItem item) const { return menu_[static_cast<std::size_t>(item)]; }

    LogView& log_;
    std::array<Control, kMainControlCount> controls_;
    std::array<std::string, 2> status_;
    std::array<MenuEntry, kMenuItemCount> menu_{};
    std::string title_;
    std::string refusalText_;
    bool windowShown_ = false;
    bool windowEnabled_ = true;
    std::optional<std::string> trayTooltip_;
};

class MemoryAdvancedView : public AdvancedView {
public:
    void Create() override;
    void SetTitle(const std::string& title) override { title_ = title; }
    void Show() override { shown_ = true; }
    void Hide() override { shown_ = false; }
    void SetText(AdvancedControl control, const std::string& text) override { At(control).text = text; }
    std::string Text(AdvancedControl control) const override { return At(control).text; }
    void SetEnabled(AdvancedControl control, bool enabled) override { At(control).enabled = enabled; }
    void SetChecked(AdvancedControl control, bool checked) override;
    bool Checked(AdvancedControl control) const override { return At(control).checked; }
    void SetTooltip(AdvancedControl control, const std::string& tip) override { At(control).tooltip = tip; }

    int ListCount(AdvancedControl list) const override { return static_cast<int>(At(list).entries.size()); }
    std::string ListEntry(AdvancedControl list, int index) const override;
    std::optional<int> ListSelection(AdvancedControl list) const override { return At(list).selection; }
    void AppendListEntry(AdvancedControl list, const std::string& entry) override { At(list).entries.push_back(entry); }
    void RemoveListEntry(AdvancedControl list, int index) override;
    void ClearList(AdvancedControl list) override;

    // The user's click on an entry (or beside all entries).
    void SelectListEntry(AdvancedControl list, std::optional<int> index) { At(list).selection = index; }
    bool Enabled(AdvancedControl control) const { return At(control).enabled; }
    std::string Tooltip(AdvancedControl control) const { return At(control).tooltip; }
    const std::string& Title() const { return title_; }
    bool Shown() const { return shown_; }

private:
    struct Control {
        std::string text;
        std::string tooltip;
        bool enabled = true;
        bool checked = false;
        std::vector<std::string> entries;
        std::optional<int> selection;
    };
    Control& At(AdvancedControl control) { return controls_[static_cast<std::size_t>(control)]; }
    const Control& At(AdvancedControl control) const { return controls_[static_cast<std::size_t>(control)]; }

    std::array<Control, kAdvancedControlCount> controls_;
    std::string title_;
    bool shown_ = false;
};

class MemoryOAuthSettingsView : public OAuthSettingsView {
public:
    void Create() override;
    void SetTitle(const std::string& title) override { title_ = title; }
    void Show() override { shown_ = true; }
    void Hide() override { shown_ = false; }
    void SetText(OAuthControl control, const std::string& text) override { At(control).text = text; }
    std::string Text(OAuthControl control) const override { return At(control).text; }
    void SetEnabled(OAuthControl control, bool enabled) override { At(control).enabled = enabled; }

    bool Enabled(OAuthControl control) const { return At(control).enabled; }
    const std::string& Title() const { return title_; }
    bool Shown() const { return shown_; }

private:
    struct Control {
        std::string text;
        bool enabled = true;
    };
    Control& At(OAuthControl control) { return controls_[static_cast<std::size_t>(control)]; }
    const Control& At(OAuthControl control) const { return controls_[static_cast<std::size_t>(control)]; }

    std::array<Control, kOAuthControlCount> controls_;
    std::string title_;
    bool shown_ = false;
};

// The main view of the windowless service: nothing to show, the log rows wherever `log` puts them, and an event loop
// of the two timers that ends on EndEventLoop or when `stopRequested` says so (the shell is then told to quit).
class HeadlessMainView final : public MemoryMainView {
public:
    HeadlessMainView(LogView& log, std::function<bool()> stopRequested)
        : MemoryMainView(log), stopRequested_(std::move(stopRequested)) {}

    void RunEventLoop(MainEvents& events) override;
    void EndEventLoop() override { ended_ = true; }

private:
    std::function<bool()> stopRequested_;
    std::atomic<bool> ended_{false};
};

}  // namespace zendrel
