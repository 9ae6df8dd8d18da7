#include "app/ui/qt/qt_oauth_settings_view.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/qt/program_text.h"
#include "app/ui/qt/windows1252_validator.h"

namespace zendrel {
namespace {

// Room for a provider's address on one line beside the longest German label, at a scale of 1.
constexpr int kFirstWindowWidth = 700;

std::size_t At(OAuthControl control) { return static_cast<std::size_t>(control); }

constexpr std::array<std::pair<OAuthControl, OAuthControl>, 7> kRows = {{
    {OAuthControl::kClientIdLabel, OAuthControl::kClientIdEdit},
    {OAuthControl::kClientSecretLabel, OAuthControl::kClientSecretEdit},
    {OAuthControl::kTenantLabel, OAuthControl::kTenantEdit},
    {OAuthControl::kAuthorizeUrlLabel, OAuthControl::kAuthorizeUrlEdit},
    {OAuthControl::kTokenUrlLabel, OAuthControl::kTokenUrlEdit},
    {OAuthControl::kDeviceUrlLabel, OAuthControl::kDeviceUrlEdit},
    {OAuthControl::kScopeLabel, OAuthControl::kScopeEdit},
}};

}  // namespace

QtOAuthSettingsView::~QtOAuthSettingsView() = default;

void QtOAuthSettingsView::Create() {
    window_ = std::make_unique<OwnedWindow>(owner_.Window());
    QWidget* window = window_.get();
    // Created in the visual order, which is the keyboard's: the boxes row by row, each label its box's buddy, which a
    // screen reader announces with the box; OK and Cancel at the foot on the right.
    auto* column = new QVBoxLayout(window);
    auto* form = new QFormLayout;
    column->addLayout(form);
    for (const auto& [labelControl, editControl] : kRows) {
        auto* edit = new QLineEdit(window);
        AcceptOnlyWindows1252(edit);
        auto* label = new QLabel(window);
        label->setBuddy(edit);
        controls_[At(labelControl)] = label;
        controls_[At(editControl)] = edit;
        form->addRow(label, edit);
    }
    static_cast<QLineEdit*>(Widget(OAuthControl::kClientSecretEdit))->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(window);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    auto* cancel = new QPushButton(window);
    controls_[At(OAuthControl::kOkButton)] = ok;
    controls_[At(OAuthControl::kCancelButton)] = cancel;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
    window_->resize(QSize(kFirstWindowWidth, 0).expandedTo(window_->sizeHint()));

    const auto close = [this](bool accepted) {
        return [this, accepted] {
            if (MainEvents* events = owner_.Events()) events->OnOAuthSettingsClosed(accepted);
        };
    };
    QObject::connect(window_.get(), &OwnedWindow::closeRequested, close(false));
    QObject::connect(cancel, &QPushButton::clicked, close(false));
    QObject::connect(ok, &QPushButton::clicked, close(true));
    // Return in a box is OK, as in a dialog.
    for (const auto& row : kRows) {
        QObject::connect(static_cast<QLineEdit*>(Widget(row.second)), &QLineEdit::returnPressed, close(true));
    }
}

void QtOAuthSettingsView::SetTitle(const std::string& title) { window_->setWindowTitle(ToQString(title)); }

void QtOAuthSettingsView::Show() {
    ShowCentredOn(window_.get(), owner_.Window());
    Widget(OAuthControl::kClientIdEdit)->setFocus();
}

void QtOAuthSettingsView::Hide() { window_->hide(); }

void QtOAuthSettingsView::SetText(OAuthControl control, const std::string& text) {
    QWidget* widget = Widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQString(text));
        edit->setCursorPosition(0);  // an address or id longer than the box shows its beginning
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQString(text));
    }
}

std::string QtOAuthSettingsView::Text(OAuthControl control) const { return ShownText(Widget(control)); }

void QtOAuthSettingsView::SetEnabled(OAuthControl control, bool enabled) { Widget(control)->setEnabled(enabled); }

}  // namespace zendrel
