#pragma once
// The OAuth settings window in Qt, owned by the main window: a form of the sign-in's settings with OK and Cancel.
// User actions go to the main view's event receiver.

#include <array>
#include <memory>

#include "app/ui/qt/qt_main_view.h"
#include "app/ui/qt/top_level_windows.h"
#include "app/views.h"

namespace zendrel {

class QtOAuthSettingsView final : public OAuthSettingsView {
public:
    explicit QtOAuthSettingsView(QtMainView& owner) : owner_(owner) {}
    ~QtOAuthSettingsView() override;
    QtOAuthSettingsView(const QtOAuthSettingsView&) = delete;
    QtOAuthSettingsView& operator=(const QtOAuthSettingsView&) = delete;

    void Create() override;
    void SetTitle(const std::string& title) override;
    void Show() override;
    void Hide() override;

    void SetText(OAuthControl control, const std::string& text) override;
    std::string Text(OAuthControl control) const override;
    void SetEnabled(OAuthControl control, bool enabled) override;

    // The window and its controls, for driving it in tests.
    OwnedWindow* Window() const { return window_.get(); }
    QWidget* Widget(OAuthControl control) const { return controls_[static_cast<std::size_t>(control)]; }

private:
    QtMainView& owner_;
    std::unique_ptr<OwnedWindow> window_;
    std::array<QWidget*, kOAuthControlCount> controls_{};
};

}  // namespace zendrel
