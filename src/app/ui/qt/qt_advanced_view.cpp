#include "app/ui/qt/qt_advanced_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "app/ui/qt/program_text.h"
#include "app/ui/qt/windows1252_validator.h"

namespace zendrel {
namespace {

// The rows from the top: the subject search and the extensions (each a label over its box), then where the files
// go (what a name that exists gets, the subfolders, the inline files), whether examined mails are remembered, then the
// two sender lists with their buttons. A row added below the remembering box moves the lists and the window's foot down by kRowStep.
// The width holds the longest German text, the inline box's, on one line.
constexpr int kWindowWidth = 600;
constexpr int kMargin = 10;
constexpr int kLabelHeight = 18;
constexpr int kBoxHeight = 22;
constexpr int kRowStep = 32;
constexpr int kHalfWidth = (kWindowWidth - 3 * kMargin) / 2;
constexpr int kRightHalfLeft = kWindowWidth - kMargin - kHalfWidth;
constexpr int kExistingFilesTop = 114;
constexpr int kRadioWidth = 125;
constexpr int kSubFolderTop = kExistingFilesTop + kRowStep;
constexpr int kSaveInlineTop = kSubFolderTop + 20 + kRowStep;
constexpr int kRememberMailsTop = kSaveInlineTop + kRowStep;
constexpr int kListsTop = kRememberMailsTop + kRowStep;
constexpr int kListHeight = 150;
constexpr int kButtonWidth = 115;
constexpr int kButtonHeight = 26;
constexpr int kButtonsTop = kListsTop + 20 + kListHeight + 8;
// The window's foot: the Close button at the bottom right.
constexpr int kFootTop = kButtonsTop + kButtonHeight + kMargin;
constexpr QSize kWindowSize(kWindowWidth, kFootTop + kButtonHeight + kMargin);

std::size_t At(AdvancedControl control) { return static_cast<std::size_t>(control); }

struct SenderListPlace {
    SenderListKind kind;
    AdvancedControl label;
    AdvancedControl list;
    AdvancedControl addButton;
    AdvancedControl deleteButton;
    int left;
};
constexpr std::array<SenderListPlace, 2> kSenderLists = {{
    {SenderListKind::kAllowed, AdvancedControl::kAllowedLabel, AdvancedControl::kAllowedList,
     AdvancedControl::kAllowedAddButton, AdvancedControl::kAllowedDeleteButton, kMargin},
    {SenderListKind::kBlocked, AdvancedControl::kBlockedLabel, AdvancedControl::kBlockedList,
     AdvancedControl::kBlockedAddButton, AdvancedControl::kBlockedDeleteButton, kRightHalfLeft},
}};

}  // namespace

QtAdvancedView::~QtAdvancedView() = default;

void QtAdvancedView::Create() {
    window_ = std::make_unique<AdvancedWindow>(owner_.Window());
    window_->setFixedSize(kWindowSize);
    const int fullWidth = kWindowSize.width() - 2 * kMargin;
    const auto label = [&](AdvancedControl control, QRect place) {
        auto* widget = new QLabel(window_.get());
        widget->setGeometry(place);
        controls_[At(control)] = widget;
    };
    const auto edit = [&](AdvancedControl control, QRect place) {
        auto* widget = new QLineEdit(window_.get());
        widget->setGeometry(place);
        AcceptOnlyWindows1252(widget);
        controls_[At(control)] = widget;
    };
    const auto button = [&](AdvancedControl control, QRect place) {
        auto* widget = new QPushButton(window_.get());
        widget->setGeometry(place);
        controls_[At(control)] = widget;
    };
    const auto choice = [&](AdvancedControl control, QRect place, QAbstractButton* widget) {
        widget->setGeometry(place);
        controls_[At(control)] = widget;
    };

    // Created in the keyboard order.
    label(AdvancedControl::kSearchStringLabel, QRect(kMargin, 10, fullWidth, kLabelHeight));
    edit(AdvancedControl::kSearchStringEdit, QRect(kMargin, 30, fullWidth, kBoxHeight));
    label(AdvancedControl::kExtensionsLabel, QRect(kMargin, 62, fullWidth, kLabelHeight));
    edit(AdvancedControl::kExtensionsEdit, QRect(kMargin, 82, fullWidth, kBoxHeight));
    // The choice stands where the right list begins; its two radio buttons share their parent, which makes them one.
    const int radiosLeft = kRightHalfLeft;
    label(AdvancedControl::kExistingFilesLabel,
          QRect(kMargin, kExistingFilesTop + 2, radiosLeft - kMargin - 5, kLabelHeight));
    choice(AdvancedControl::kKeepBothRadio, QRect(radiosLeft, kExistingFilesTop, kRadioWidth, kBoxHeight),
           new QRadioButton(window_.get()));
    const int replaceLeft = radiosLeft + kRadioWidth + 5;
    choice(AdvancedControl::kReplaceRadio,
           QRect(replaceLeft, kExistingFilesTop, kWindowSize.width() - kMargin - replaceLeft, kBoxHeight),
           new QRadioButton(window_.get()));
    label(AdvancedControl::kSubFolderLabel, QRect(kMargin, kSubFolderTop, fullWidth, kLabelHeight));
    edit(AdvancedControl::kSubFolderEdit, QRect(kMargin, kSubFolderTop + 20, fullWidth, kBoxHeight));
    choice(AdvancedControl::kSaveInlineCheck, QRect(kMargin, kSaveInlineTop, fullWidth, kBoxHeight),
           new QCheckBox(window_.get()));
    choice(AdvancedControl::kRememberMailsCheck, QRect(kMargin, kRememberMailsTop, fullWidth, kBoxHeight),
           new QCheckBox(window_.get()));
    for (const SenderListPlace& place : kSenderLists) {
        label(place.label, QRect(place.left, kListsTop, kHalfWidth, kLabelHeight));
        auto* list = new QListWidget(window_.get());
        list->setGeometry(place.left, kListsTop + 20, kHalfWidth, kListHeight);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        controls_[At(place.list)] = list;
        button(place.addButton, QRect(place.left, kButtonsTop, kButtonWidth, kButtonHeight));
        button(place.deleteButton,
               QRect(place.left + kHalfWidth - kButtonWidth, kButtonsTop, kButtonWidth, kButtonHeight));
        Widget(place.deleteButton)->setEnabled(false);
    }
    button(AdvancedControl::kCloseButton,
           QRect(kWindowWidth - kMargin - kButtonWidth, kFootTop, kButtonWidth, kButtonHeight));
    ForwardUserActions();
}

void QtAdvancedView::ForwardUserActions() {
    const auto forward = [this](auto event) {
        return [this, event](auto&&...) {
            if (MainEvents* events = owner_.Events()) event(*events);
        };
    };
    QObject::connect(window_.get(), &AdvancedWindow::closeRequested,
                     forward([](MainEvents& e) { e.OnAdvancedClosed(); }));
    QObject::connect(static_cast<QPushButton*>(Widget(AdvancedControl::kCloseButton)), &QPushButton::clicked,
                     forward([](MainEvents& e) { e.OnAdvancedClosed(); }));
    for (AdvancedControl control :
         {AdvancedControl::kSearchStringEdit, AdvancedControl::kExtensionsEdit, AdvancedControl::kSubFolderEdit}) {
        QObject::connect(static_cast<QLineEdit*>(Widget(control)), &QLineEdit::textEdited,
                         forward([](MainEvents& e) { e.OnInputChanged(); }));
    }
    for (const SenderListPlace& place : kSenderLists) {
        const SenderListKind kind = place.kind;
        QObject::connect(List(place.list), &QListWidget::itemSelectionChanged,
                         forward([kind](MainEvents& e) { e.OnSenderListClicked(kind); }));
        QObject::connect(static_cast<QPushButton*>(Widget(place.addButton)), &QPushButton::clicked,
                         forward([kind](MainEvents& e) { e.OnSenderAddButton(kind); }));
        QObject::connect(static_cast<QPushButton*>(Widget(place.deleteButton)), &QPushButton::clicked,
                         forward([kind](MainEvents& e) { e.OnSenderDeleteButton(kind); }));
    }
}

void QtAdvancedView::SetTitle(const std::string& title) { window_->setWindowTitle(ToQString(title)); }

void QtAdvancedView::Show() {
    // Centred on the window that owns it.
    const QRect owner = owner_.Window()->frameGeometry();
    window_->move(owner.center() - QPoint(kWindowSize.width() / 2, kWindowSize.height() / 2));
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtAdvancedView::Hide() { window_->hide(); }

void QtAdvancedView::SetText(AdvancedControl control, const std::string& text) {
    QWidget* widget = Widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQString(text));
    }
}

std::string QtAdvancedView::Text(AdvancedControl control) const {
    const QWidget* widget = Widget(control);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return ToProgramTextOrMarked(edit->text());
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return ToProgramTextOrMarked(label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ToProgramTextOrMarked(button->text());
    }
    return "";
}

void QtAdvancedView::SetEnabled(AdvancedControl control, bool enabled) { Widget(control)->setEnabled(enabled); }

void QtAdvancedView::SetChecked(AdvancedControl control, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control))) button->setChecked(checked);
}

bool QtAdvancedView::Checked(AdvancedControl control) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Widget(control));
    return button != nullptr && button->isChecked();
}

void QtAdvancedView::SetTooltip(AdvancedControl control, const std::string& tip) {
    Widget(control)->setToolTip(ToQString(tip));
}

int QtAdvancedView::ListCount(AdvancedControl list) const { return List(list)->count(); }

std::string QtAdvancedView::ListEntry(AdvancedControl list, int index) const {
    const QListWidgetItem* item = List(list)->item(index);
    return item != nullptr ? ToProgramTextOrMarked(item->text()) : "";
}

std::optional<int> QtAdvancedView::ListSelection(AdvancedControl list) const {
    const QList<QListWidgetItem*> selected = List(list)->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    return List(list)->row(selected.front());
}

// The shell's changes raise no event, and leave no entry selected.
void QtAdvancedView::AppendListEntry(AdvancedControl list, const std::string& entry) {
    const QSignalBlocker quiet(List(list));
    List(list)->addItem(ToQString(entry));
}

void QtAdvancedView::RemoveListEntry(AdvancedControl list, int index) {
    const QSignalBlocker quiet(List(list));
    delete List(list)->takeItem(index);
    List(list)->clearSelection();
}

void QtAdvancedView::ClearList(AdvancedControl list) {
    const QSignalBlocker quiet(List(list));
    List(list)->clear();
}

}  // namespace zendrel
