#include "app/ui/qt/qt_advanced_view.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "app/ui/qt/program_text.h"
#include "app/ui/qt/windows1252_validator.h"

namespace zendrel {
namespace {

// The window's first width at a scale of 1: the longest German text, the inline box's, on one line.
constexpr int kFirstWindowWidth = 600;
// The first height of each sender list at a scale of 1, in lines of text.
constexpr int kListLines = 8;

std::size_t At(AdvancedControl control) { return static_cast<std::size_t>(control); }

struct SenderListPlace {
    SenderListKind kind;
    AdvancedControl label;
    AdvancedControl list;
    AdvancedControl addButton;
    AdvancedControl deleteButton;
};
constexpr std::array<SenderListPlace, 2> kSenderLists = {{
    {SenderListKind::kAllowed, AdvancedControl::kAllowedLabel, AdvancedControl::kAllowedList,
     AdvancedControl::kAllowedAddButton, AdvancedControl::kAllowedDeleteButton},
    {SenderListKind::kBlocked, AdvancedControl::kBlockedLabel, AdvancedControl::kBlockedList,
     AdvancedControl::kBlockedAddButton, AdvancedControl::kBlockedDeleteButton},
}};

}  // namespace

QtAdvancedView::~QtAdvancedView() = default;

void QtAdvancedView::Create() {
    window_ = std::make_unique<OwnedWindow>(owner_.Window());
    QWidget* window = window_.get();
    // Each label is its box's buddy, which a screen reader announces with the box.
    const auto label = [&](AdvancedControl control, QWidget* box) {
        auto* widget = new QLabel(window);
        widget->setBuddy(box);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto edit = [&](AdvancedControl control) {
        auto* widget = new QLineEdit(window);
        AcceptOnlyWindows1252(widget);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto add = [&](AdvancedControl control, QWidget* widget) {
        controls_[At(control)] = widget;
        return widget;
    };

    // Created in the visual order, which is the keyboard's. The subject search and the extensions, each a label over
    // its box; then where the files go (what a name that exists gets, the subfolders, the inline files), whether
    // examined mails are remembered, the two sender lists with their buttons, and the Close button at the foot.
    auto* column = new QVBoxLayout(window);
    for (const auto& [labelControl, editControl] :
         {std::pair{AdvancedControl::kSearchStringLabel, AdvancedControl::kSearchStringEdit},
          std::pair{AdvancedControl::kExtensionsLabel, AdvancedControl::kExtensionsEdit}}) {
        QLineEdit* box = edit(editControl);
        column->addWidget(label(labelControl, box));
        column->addWidget(box);
    }
    // The two radio buttons share their parent, which makes them one group.
    auto* keepBoth = add(AdvancedControl::kKeepBothRadio, new QRadioButton(window));
    auto* replace = add(AdvancedControl::kReplaceRadio, new QRadioButton(window));
    auto* existing = new QHBoxLayout;
    existing->addWidget(label(AdvancedControl::kExistingFilesLabel, keepBoth), 1);
    existing->addWidget(keepBoth);
    existing->addWidget(replace);
    column->addLayout(existing);
    QLineEdit* subFolder = edit(AdvancedControl::kSubFolderEdit);
    column->addWidget(label(AdvancedControl::kSubFolderLabel, subFolder));
    column->addWidget(subFolder);
    column->addWidget(add(AdvancedControl::kSaveInlineCheck, new QCheckBox(window)));
    column->addWidget(add(AdvancedControl::kRememberMailsCheck, new QCheckBox(window)));

    auto* lists = new QGridLayout;
    column->addLayout(lists, 1);
    for (int side = 0; side < static_cast<int>(kSenderLists.size()); ++side) {
        const SenderListPlace& place = kSenderLists[static_cast<std::size_t>(side)];
        auto* list = new QListWidget(window);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setMinimumHeight(list->fontMetrics().lineSpacing() * kListLines);
        add(place.list, list);
        lists->addWidget(label(place.label, list), 0, side);
        lists->addWidget(list, 1, side);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(add(place.addButton, new QPushButton(window)));
        buttons->addStretch();
        buttons->addWidget(add(place.deleteButton, new QPushButton(window)));
        lists->addLayout(buttons, 2, side);
        Widget(place.deleteButton)->setEnabled(false);
    }
    lists->setRowStretch(1, 1);
    column->addWidget(add(AdvancedControl::kCloseButton, new QPushButton(window)), 0, Qt::AlignRight);
    window_->resize(QSize(kFirstWindowWidth, 0).expandedTo(window_->sizeHint()));
    ForwardUserActions();
}

void QtAdvancedView::ForwardUserActions() {
    const auto forward = [this](auto event) {
        return [this, event](auto&&...) {
            if (MainEvents* events = owner_.Events()) event(*events);
        };
    };
    QObject::connect(window_.get(), &OwnedWindow::closeRequested,
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

void QtAdvancedView::Show() { ShowCentredOn(window_.get(), owner_.Window()); }

void QtAdvancedView::Hide() { window_->hide(); }

void QtAdvancedView::SetText(AdvancedControl control, const std::string& text) {
    QWidget* widget = Widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQString(text));
        // A screen reader names a box by the label whose buddy it is, but not a list.
        if (auto* list = qobject_cast<QListWidget*>(label->buddy())) list->setAccessibleName(label->text());
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQString(text));
    }
}

std::string QtAdvancedView::Text(AdvancedControl control) const { return ShownText(Widget(control)); }

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
