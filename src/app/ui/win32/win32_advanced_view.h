#pragma once
// The window of the advanced settings in plain Win32: the subject search, the extensions, where the files go and the
// two sender lists.

#include <windows.h>

#include <array>
#include <string>

#include "app/ui/win32/win32_dpi.h"
#include "app/ui/win32/win32_handles.h"
#include "app/views.h"

namespace zendrel::win32 {

class Win32MainView;

class Win32AdvancedView final : public AdvancedView {
public:
    explicit Win32AdvancedView(Win32MainView& main);
    ~Win32AdvancedView() override;
    Win32AdvancedView(const Win32AdvancedView&) = delete;
    Win32AdvancedView& operator=(const Win32AdvancedView&) = delete;

    void Create() override;
    void SetTitle(const std::string& title) override;
    void Show() override;
    void Hide() override;

    void SetText(AdvancedControl control, const std::string& text) override;
    std::string Text(AdvancedControl control) const override;
    void SetEnabled(AdvancedControl control, bool enabled) override;
    void SetChecked(AdvancedControl control, bool checked) override;
    bool Checked(AdvancedControl control) const override;
    void SetTooltip(AdvancedControl control, const std::string& tip) override;

    int ListCount(AdvancedControl list) const override;
    std::string ListEntry(AdvancedControl list, int index) const override;
    std::optional<int> ListSelection(AdvancedControl list) const override;
    void AppendListEntry(AdvancedControl list, const std::string& entry) override;
    void RemoveListEntry(AdvancedControl list, int index) override;
    void ClearList(AdvancedControl list) override;

    HWND Window() const { return window_.get(); }
    HWND Control(AdvancedControl control) const { return controls_[static_cast<std::size_t>(control)]; }

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    // Places and sizes the window and its controls, with the message font, at the density of its screen.
    void LayOut();

    Win32MainView& main_;
    WindowClass windowClass_;
    UniqueWindow window_;
    UniqueFont font_;
    UINT dpi_ = kDesignDpi;
    std::array<HWND, kAdvancedControlCount> controls_{};
    UniqueWindow tooltip_;
    std::array<bool, kAdvancedControlCount> tipped_{};  // whether the control is known to the tooltip yet
    bool settingText_ = false;
};

}  // namespace zendrel::win32
