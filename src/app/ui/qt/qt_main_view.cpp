#include "app/ui/qt/qt_main_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include "app/ui/qt/program_text.h"
#include "app/ui/qt/window_images.h"
#include "app/ui/qt/windows1252_validator.h"

namespace zendrel {
namespace {

constexpr QSize kWindowSize(522, 560);
constexpr QPoint kWindowPosition(678, 141);
constexpr QRect kPreferencesFrame(11, 4, 500, 255);
constexpr QRect kLogFrame(11, 263, 500, 245);
constexpr int kScheduleFieldWidth = 250;
constexpr int kScheduleMilliseconds = 500;
constexpr int kLogPollMilliseconds = 1500;

// The rows of the settings frame: labels in the first column, the boxes beside them, a narrow pair at the right.
constexpr int kRowTop = 24;
constexpr int kRowStep = 28;
constexpr int kRowHeight = 22;
constexpr int kLabelLeft = 10;
// Narrow enough to leave the server row its room; the folder's label, the longest, takes two lines.
constexpr int kLabelWidth = 126;
constexpr int kBoxLeft = 139;
constexpr int kBoxWidth = 179;
constexpr int kRightLabelLeft = 326;
constexpr int kRightLabelWidth = 64;
constexpr int kRightBoxLeft = 392;
constexpr int kRightBoxWidth = 98;
constexpr int kTimeBoxWidth = 44;  // the start hour and minute; the minute's column also holds the port
constexpr int kMinuteLeft = kRightBoxLeft + kRightBoxWidth - kTimeBoxWidth;
constexpr int kBrowseWidth = 28;
constexpr int kBrowseLeft = kRightBoxLeft + kRightBoxWidth - kBrowseWidth;

// The server row holds the security and the port beside the server: the security drop-down lines up with the labels
// of the right column and the port box with the start minute, each label ending just before its box.
constexpr int kLabelGap = 3;
constexpr int kPairGap = 6;  // between a box and the next label
constexpr int kSecurityComboWidth = 86;  // "STARTTLS"
constexpr int kSecurityLabelWidth = 66;  // "Sicherheit:"
constexpr int kSecurityLabelLeft = kRightLabelLeft - kLabelGap - kSecurityLabelWidth;
constexpr int kPortLabelLeft = kRightLabelLeft + kSecurityComboWidth + kLabelGap;
constexpr int kServerBoxWidth = kSecurityLabelLeft - kPairGap - kBoxLeft;

constexpr int RowTop(int row) { return kRowTop + row * kRowStep; }

std::size_t At(MainControl control) { return static_cast<std::size_t>(control); }

// The parent for a box the user answers: the window the user works in.
QWidget* DialogParent(QWidget* fallback) {
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : fallback;
}

}  // namespace

QtMainView::QtMainView() = default;

// The tray icon and the window go before the log view that the window's text view feeds, the icon before its menu.
QtMainView::~QtMainView() {
    tray_.reset();
    trayMenu_.reset();
    window_.reset();
}

void QtMainView::Create() {
    window_ = std::make_unique<MainWindow>();
    window_->setFixedSize(kWindowSize);
    window_->move(kWindowPosition);
    window_->setWindowIcon(ProgramIcon());

    auto* central = new QWidget(window_.get());
    window_->setCentralWidget(central);
    auto* preferences = new QGroupBox(central);
    preferences->setGeometry(kPreferencesFrame);
    controls_[At(MainControl::kPreferencesFrame)] = preferences;
    BuildPreferences(preferences);
    auto* logFrame = new QGroupBox(central);
    logFrame->setGeometry(kLogFrame);
    controls_[At(MainControl::kLogFrame)] = logFrame;
    BuildLog(logFrame);
    BuildMenu();
    BuildStatusBar();

    tray_ = std::make_unique<QSystemTrayIcon>(ProgramIcon());
    trayMenu_ = std::make_unique<QMenu>();
    for (const MenuItem item : {MenuItem::kTrayShow, MenuItem::kTrayRunNow, MenuItem::kTrayStartStop}) {
        menu_[static_cast<std::size_t>(item)] = trayMenu_->addAction(QString());
    }
    trayMenu_->addSeparator();
    menu_[static_cast<std::size_t>(MenuItem::kTrayQuit)] = trayMenu_->addAction(QString());
    tray_->setContextMenu(trayMenu_.get());
    scheduleTimer_ = new QTimer(window_.get());
    logPollTimer_ = new QTimer(window_.get());
    ForwardUserActions();
}

void QtMainView::BuildPreferences(QWidget* frame) {
    const auto label = [&](MainControl control, QRect place) {
        auto* widget = new QLabel(frame);
        widget->setGeometry(place);
        widget->setWordWrap(true);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto edit = [&](MainControl control, QRect place) {
        auto* widget = new QLineEdit(frame);
        widget->setGeometry(place);
        AcceptOnlyWindows1252(widget);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto combo = [&](MainControl control, QRect place) {
        auto* widget = new QComboBox(frame);
        widget->setGeometry(place);
        controls_[At(control)] = widget;
    };
    const auto check = [&](MainControl control, int top) {
        auto* widget = new QCheckBox(frame);
        widget->setGeometry(kLabelLeft, top, 415, 19);
        controls_[At(control)] = widget;
    };
    const QRect leftLabel(kLabelLeft, 0, kLabelWidth, kRowHeight);
    const QRect leftBox(kBoxLeft, 0, kBoxWidth, kRowHeight);
    const QRect rightLabel(kRightLabelLeft, 0, kRightLabelWidth, kRowHeight);
    const QRect rightBox(kRightBoxLeft, 0, kRightBoxWidth, kRowHeight);

    // Created in the keyboard order.
    label(MainControl::kServerLabel, leftLabel.translated(0, RowTop(0)));
    edit(MainControl::kServerEdit, QRect(kBoxLeft, RowTop(0), kServerBoxWidth, kRowHeight));
    label(MainControl::kSecurityLabel, QRect(kSecurityLabelLeft, RowTop(0), kSecurityLabelWidth, kRowHeight))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    combo(MainControl::kSecurityCombo, QRect(kRightLabelLeft, RowTop(0), kSecurityComboWidth, kRowHeight));
    label(MainControl::kPortLabel,
          QRect(kPortLabelLeft, RowTop(0), kMinuteLeft - kLabelGap - kPortLabelLeft, kRowHeight))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLineEdit* port = edit(MainControl::kPortEdit, QRect(kMinuteLeft, RowTop(0), kTimeBoxWidth, kRowHeight));
    // Digits only, and no number above the last port, 65535; 0 may stand while the user types.
    port->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("0*([0-9]{0,4}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|"
                                          "6553[0-5])")),
        port));
    label(MainControl::kUserNameLabel, leftLabel.translated(0, RowTop(1)));
    edit(MainControl::kUserNameEdit, leftBox.translated(0, RowTop(1)));
    label(MainControl::kPasswordLabel, rightLabel.translated(0, RowTop(1)));
    edit(MainControl::kPasswordEdit, rightBox.translated(0, RowTop(1)))->setEchoMode(QLineEdit::Password);
    label(MainControl::kIntervalLabel, leftLabel.translated(0, RowTop(2)));
    combo(MainControl::kIntervalCombo, leftBox.translated(0, RowTop(2)));
    label(MainControl::kStartTimeLabel, rightLabel.translated(0, RowTop(2)));
    combo(MainControl::kStartHourCombo, QRect(kRightBoxLeft, RowTop(2), kTimeBoxWidth, kRowHeight));
    auto* colon = new QLabel(QStringLiteral(":"), frame);
    colon->setGeometry(kRightBoxLeft + kTimeBoxWidth, RowTop(2), kMinuteLeft - kRightBoxLeft - kTimeBoxWidth,
                       kRowHeight);
    colon->setAlignment(Qt::AlignCenter);
    combo(MainControl::kStartMinuteCombo, QRect(kMinuteLeft, RowTop(2), kTimeBoxWidth, kRowHeight));
    label(MainControl::kSaveDirLabel, QRect(kLabelLeft, RowTop(3) - 4, kLabelWidth, kRowHeight + 8));
    edit(MainControl::kSaveDirEdit, QRect(kBoxLeft, RowTop(3), kBrowseLeft - 4 - kBoxLeft, kRowHeight));
    auto* browse = new QPushButton(QStringLiteral("..."), frame);
    browse->setGeometry(kBrowseLeft, RowTop(3), kBrowseWidth, kRowHeight);
    controls_[At(MainControl::kBrowseButton)] = browse;

    auto* advanced = new QPushButton(frame);
    advanced->setGeometry(kLabelLeft, 134, 200, 24);
    controls_[At(MainControl::kAdvancedButton)] = advanced;
    check(MainControl::kShortcutCheck, 162);
    check(MainControl::kServiceCheck, 181);
    check(MainControl::kDeleteMailsCheck, 200);

    auto* startStop = new QPushButton(frame);
    startStop->setGeometry((kPreferencesFrame.width() - 110) / 2, 223, 110, 26);
    startStop->setDefault(true);
    controls_[At(MainControl::kStartStopButton)] = startStop;

    const QPixmap donation = DonationPicture();
    auto* donate = new QToolButton(frame);
    donate->setGeometry(QRect(QPoint(kPreferencesFrame.width() - donation.width() - 8, 219), donation.size()));
    donate->setIcon(donation);
    donate->setIconSize(donation.size());
    donate->setAutoRaise(true);
    donate->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    donate->setCursor(Qt::PointingHandCursor);
    controls_[At(MainControl::kDonateButton)] = donate;
}

void QtMainView::BuildLog(QWidget* frame) {
    auto* clear = new QToolButton(frame);
    clear->setGeometry(kLogFrame.width() - 28, 22, 20, 20);
    clear->setIcon(ClearLogPicture());
    clear->setIconSize(QSize(10, 10));
    controls_[At(MainControl::kClearLogButton)] = clear;

    logText_ = new QPlainTextEdit(frame);
    logText_->setGeometry(8, 46, kLogFrame.width() - 16, kLogFrame.height() - 54);
    logText_->setReadOnly(true);
    logText_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log_.Attach(logText_);
}

// The menu's own words are the same in both languages; the shell names the commands added to them.
void QtMainView::BuildMenu() {
    QMenu* file = window_->menuBar()->addMenu(QStringLiteral("File"));
    menu_[static_cast<std::size_t>(MenuItem::kRunNow)] = file->addAction(QString());
    menu_[static_cast<std::size_t>(MenuItem::kCheckConnection)] = file->addAction(QString());
    file->addSeparator();
    menu_[static_cast<std::size_t>(MenuItem::kQuit)] = file->addAction(QStringLiteral("Quit"));
    menu_[static_cast<std::size_t>(MenuItem::kAbout)] = file->addAction(QStringLiteral("About"));
    QMenu* language = window_->menuBar()->addMenu(QStringLiteral("Language"));
    for (const auto& [item, name] :
         {std::pair{MenuItem::kGerman, "German"}, std::pair{MenuItem::kEnglish, "English"}}) {
        QAction* action = language->addAction(QString::fromLatin1(name));
        action->setCheckable(true);
        menu_[static_cast<std::size_t>(item)] = action;
    }
}

void QtMainView::BuildStatusBar() {
    QStatusBar* bar = window_->statusBar();
    bar->setSizeGripEnabled(false);
    auto* schedule = new QLabel(bar);
    schedule->setFixedWidth(kScheduleFieldWidth);
    bar->addWidget(schedule);
    auto* service = new QLabel(bar);
    bar->addWidget(service, 1);
    status_ = {schedule, service};
}

void QtMainView::ForwardUserActions() {
    const auto forward = [this](auto event) {
        return [this, event](auto&&...) {
            if (events_ != nullptr) event(*events_);
        };
    };
    const auto button = [this](MainControl control) { return static_cast<QAbstractButton*>(Widget(control)); };

    QObject::connect(window_.get(), &MainWindow::closeRequested, forward([](MainEvents& e) { e.OnQuit(); }));
    QObject::connect(window_.get(), &MainWindow::minimised, forward([](MainEvents& e) { e.OnMinimised(); }));
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::DoubleClick && events_ != nullptr) {
                             events_->OnTrayDoubleClick();
                         }
                     });

    // Only what the user types: the shell's own SetText raises no event.
    for (MainControl control : {MainControl::kServerEdit, MainControl::kPortEdit, MainControl::kUserNameEdit,
                                MainControl::kPasswordEdit, MainControl::kSaveDirEdit}) {
        auto* edit = static_cast<QLineEdit*>(Widget(control));
        QObject::connect(edit, &QLineEdit::textEdited, forward([](MainEvents& e) { e.OnInputChanged(); }));
        // Return in a box presses the default button, as in a dialog.
        QObject::connect(edit, &QLineEdit::returnPressed, [this] {
            auto* startStop = static_cast<QAbstractButton*>(Widget(MainControl::kStartStopButton));
            if (startStop->isEnabled()) startStop->click();
        });
    }
    QObject::connect(Combo(MainControl::kIntervalCombo), &QComboBox::activated,
                     forward([](MainEvents& e) { e.OnInputChanged(); }));
    QObject::connect(Combo(MainControl::kSecurityCombo), &QComboBox::activated,
                     forward([](MainEvents& e) { e.OnSecurityChanged(); }));

    QObject::connect(button(MainControl::kBrowseButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnBrowseButton(); }));
    QObject::connect(button(MainControl::kAdvancedButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnAdvancedButton(); }));
    QObject::connect(button(MainControl::kShortcutCheck), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnShortcutCheckChanged(); }));
    QObject::connect(button(MainControl::kServiceCheck), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnServiceCheckChanged(); }));
    QObject::connect(button(MainControl::kStartStopButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnStartStopButton(); }));
    QObject::connect(button(MainControl::kDonateButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnDonateButton(); }));
    QObject::connect(button(MainControl::kClearLogButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnClearLogButton(); }));

    QObject::connect(MenuAction(MenuItem::kQuit), &QAction::triggered, forward([](MainEvents& e) { e.OnQuit(); }));
    QObject::connect(MenuAction(MenuItem::kRunNow), &QAction::triggered, forward([](MainEvents& e) { e.OnRunNow(); }));
    QObject::connect(MenuAction(MenuItem::kCheckConnection), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnCheckConnection(); }));
    QObject::connect(MenuAction(MenuItem::kTrayShow), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnTrayDoubleClick(); }));
    QObject::connect(MenuAction(MenuItem::kTrayRunNow), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnRunNow(); }));
    QObject::connect(MenuAction(MenuItem::kTrayStartStop), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnStartStopButton(); }));
    QObject::connect(MenuAction(MenuItem::kTrayQuit), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnQuit(); }));
    QObject::connect(MenuAction(MenuItem::kAbout), &QAction::triggered, forward([](MainEvents& e) { e.OnAbout(); }));
    QObject::connect(MenuAction(MenuItem::kGerman), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnLanguageChosen(MenuItem::kGerman); }));
    QObject::connect(MenuAction(MenuItem::kEnglish), &QAction::triggered,
                     forward([](MainEvents& e) { e.OnLanguageChosen(MenuItem::kEnglish); }));

    QObject::connect(scheduleTimer_, &QTimer::timeout, forward([](MainEvents& e) { e.OnScheduleTimer(); }));
    QObject::connect(logPollTimer_, &QTimer::timeout, forward([](MainEvents& e) { e.OnLogPollTimer(); }));
}

QComboBox* QtMainView::Combo(MainControl control) const { return static_cast<QComboBox*>(Widget(control)); }

void QtMainView::SetWindowTitle(const std::string& title) { window_->setWindowTitle(ToQString(title)); }

void QtMainView::SetText(MainControl control, const std::string& text) {
    QWidget* widget = Widget(control);
    const QString shown = ToQString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(shown);
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    }
}

std::string QtMainView::Text(MainControl control) const {
    const QWidget* widget = Widget(control);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return ToProgramTextOrMarked(edit->text());
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) return ToProgramTextOrMarked(frame->title());
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return ToProgramTextOrMarked(label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ToProgramTextOrMarked(button->text());
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return ToProgramTextOrMarked(combo->currentText());
    return "";
}

void QtMainView::SetEnabled(MainControl control, bool enabled) { Widget(control)->setEnabled(enabled); }

void QtMainView::SetChecked(MainControl control, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control))) button->setChecked(checked);
}

bool QtMainView::Checked(MainControl control) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Widget(control));
    return button != nullptr && button->isChecked();
}

void QtMainView::SetTooltip(MainControl control, const std::string& tip) {
    Widget(control)->setToolTip(ToQString(tip));
}

void QtMainView::SetStatusTip(MainControl control, const std::string& tip) {
    Widget(control)->setStatusTip(ToQString(tip));
}

// A pale red ground, as a box that holds an error: the base of a text box, the button face of a closed drop-down.
void QtMainView::SetMarked(MainControl control, bool marked) {
    QWidget* widget = Widget(control);
    if (!marked) {
        widget->setPalette(QPalette());
        return;
    }
    QPalette palette = widget->palette();
    const QColor pale(255, 214, 214);
    palette.setColor(QPalette::Base, pale);
    palette.setColor(QPalette::Button, pale);
    widget->setPalette(palette);
}

void QtMainView::SetInputRefusalText(const std::string& text) {
    Windows1252Validator::SetRefusalText(ToQString(text));
}

void QtMainView::AddComboItem(MainControl combo, const std::string& text, std::int32_t data) {
    QComboBox* box = Combo(combo);
    // Qt selects the first item put into an empty list; the shell decides what is selected.
    const int selection = box->currentIndex();
    box->addItem(ToQString(text), QVariant(static_cast<qint32>(data)));
    box->setCurrentIndex(selection);
}

int QtMainView::ComboItemCount(MainControl combo) const { return Combo(combo)->count(); }

std::int32_t QtMainView::ComboItemData(MainControl combo, int index) const {
    return Combo(combo)->itemData(index).value<qint32>();
}

void QtMainView::SetComboItemText(MainControl combo, int index, const std::string& text) {
    Combo(combo)->setItemText(index, ToQString(text));
}

std::optional<int> QtMainView::ComboSelection(MainControl combo) const {
    const int index = Combo(combo)->currentIndex();
    if (index < 0) return std::nullopt;
    return index;
}

void QtMainView::SelectComboItem(MainControl combo, std::optional<int> index) {
    Combo(combo)->setCurrentIndex(index.value_or(-1));
}

void QtMainView::SetStatusText(StatusField field, const std::string& text) {
    StatusLabel(field)->setText(ToQString(text));
}

void QtMainView::SetMenuChecked(MenuItem item, bool checked) { MenuAction(item)->setChecked(checked); }

bool QtMainView::MenuChecked(MenuItem item) const { return MenuAction(item)->isChecked(); }

void QtMainView::SetMenuText(MenuItem item, const std::string& text) { MenuAction(item)->setText(ToQString(text)); }

void QtMainView::SetMenuEnabled(MenuItem item, bool enabled) { MenuAction(item)->setEnabled(enabled); }

void QtMainView::ShowWindow() { window_->show(); }

void QtMainView::HideWindow() { window_->hide(); }

void QtMainView::RestoreWindow() {
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void QtMainView::SetWindowEnabled(bool enabled) { window_->setEnabled(enabled); }

bool QtMainView::HasNotificationArea() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtMainView::ShowTrayIcon(const std::string& tooltip) {
    tray_->setToolTip(ToQString(tooltip));
    tray_->show();
}

void QtMainView::HideTrayIcon() { tray_->hide(); }

void QtMainView::ShowMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Information, ToQString(title), ToQString(text), QMessageBox::Ok,
                    DialogParent(window_.get()));
    box.exec();
}

bool QtMainView::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, ToQString(title), ToQString(text), QMessageBox::Yes | QMessageBox::No,
                    DialogParent(window_.get()));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::string QtMainView::AskText(const std::string& title, const std::string& prompt, const std::string& defaultText) {
    QInputDialog box(DialogParent(window_.get()));
    box.setWindowTitle(ToQString(title));
    box.setLabelText(ToQString(prompt));
    box.setTextValue(ToQString(defaultText));
    box.setOption(QInputDialog::NoButtons, false);
    if (auto* edit = box.findChild<QLineEdit*>()) AcceptOnlyWindows1252(edit);
    if (box.exec() != QDialog::Accepted) return "";
    return ToProgramTextOrMarked(box.textValue());
}

std::string QtMainView::ChooseFolder(const std::string& title, const std::string& initialFolder) {
    QWidget* parent = DialogParent(window_.get());
    QString folder = QFileDialog::getExistingDirectory(parent, ToQString(title), ToQString(initialFolder));
    if (folder.isEmpty()) return "";
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    std::optional<std::string> text = ToProgramText(folder);
    if (!text) {
        QMessageBox::warning(parent, ToQString(title), Windows1252Validator::RefusalText());
        return "";
    }
    return *text;
}

void QtMainView::OpenWebAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl(ToQString(address)));
}

void QtMainView::StartTimers() {
    scheduleTimer_->start(kScheduleMilliseconds);
    logPollTimer_->start(kLogPollMilliseconds);
}

void QtMainView::RunEventLoop(MainEvents& events) {
    events_ = &events;
    if (!endRequested_) {
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
    }
    events_ = nullptr;
}

void QtMainView::EndEventLoop() {
    endRequested_ = true;
    if (loop_) loop_->quit();
}

}  // namespace zendrel
