#pragma once
// The advanced settings window in Qt, owned by the main window: the subject search, the extensions, where the files
// go and the two sender lists. User actions go to the main view's event receiver.

#include <QListWidget>

#include <array>
#include <memory>

#include "app/ui/qt/qt_main_view.h"
#include "app/ui/qt/top_level_windows.h"
#include "app/views.h"

namespace zendrel {

class QtAdvancedView final : public AdvancedView {
public:
    explicit QtAdvancedView(QtMainView& owner) : owner_(owner) {}
    ~QtAdvancedView() override;
    QtAdvancedView(const QtAdvancedView&) = delete;
    QtAdvancedView& operator=(const QtAdvancedView&) = delete;

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

    // The window and its controls, for driving it in tests.
    OwnedWindow* Window() const { return window_.get(); }
    QWidget* Widget(AdvancedControl control) const { return controls_[static_cast<std::size_t>(control)]; }

private:
    void ForwardUserActions();
    QListWidget* List(AdvancedControl list) const { return static_cast<QListWidget*>(Widget(list)); }

    QtMainView& owner_;
    std::unique_ptr<OwnedWindow> window_;
    std::array<QWidget*, kAdvancedControlCount> controls_{};
};

}  // namespace zendrel
