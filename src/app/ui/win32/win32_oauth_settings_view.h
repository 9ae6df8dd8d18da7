#pragma once
// The OAuth settings window in plain Win32: the sign-in's client id and secret, the tenant and a custom provider's
// addresses and scope, each box under its label, with OK and Cancel.

#include <windows.h>

#include <array>
#include <string>

#include "app/ui/win32/win32_dpi.h"
#include "app/ui/win32/win32_handles.h"
#include "app/views.h"

namespace zendrel::win32 {

class Win32MainView;

class Win32OAuthSettingsView final : public OAuthSettingsView {
public:
    explicit Win32OAuthSettingsView(Win32MainView& main);
    ~Win32OAuthSettingsView() override;
    Win32OAuthSettingsView(const Win32OAuthSettingsView&) = delete;
    Win32OAuthSettingsView& operator=(const Win32OAuthSettingsView&) = delete;

    void Create() override;
    void SetTitle(const std::string& title) override;
    void Show() override;
    void Hide() override;

    void SetText(OAuthControl control, const std::string& text) override;
    std::string Text(OAuthControl control) const override;
    void SetEnabled(OAuthControl control, bool enabled) override;

    HWND Window() const { return window_.get(); }
    HWND Control(OAuthControl control) const { return controls_[static_cast<std::size_t>(control)]; }

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
    std::array<HWND, kOAuthControlCount> controls_{};
};

}  // namespace zendrel::win32
