#include "app/ui/qt/qt_main_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QBoxLayout>
#include <QGridLayout>
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

// The window's first size at a scale of 1, which the layouts enlarge where the texts or the fonts need more room.
constexpr QSize kFirstWindowSize(522, 560);
constexpr int kScheduleFieldWidth = 250;
constexpr int kScheduleMilliseconds = 500;
constexpr int kLogPollMilliseconds = 1500;

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
    window_->setWindowIcon(ProgramIcon());

    // The settings above the log, which takes what room the window gains; the window manager places the window.
    auto* central = new QWidget(window_.get());
    window_->setCentralWidget(central);
    auto* frames = new QVBoxLayout(central);
    auto* preferences = new QGroupBox(central);
    frames->addWidget(preferences);
    controls_[At(MainControl::kPreferencesFrame)] = preferences;
    BuildPreferences(preferences);
    auto* logFrame = new QGroupBox(central);
    frames->addWidget(logFrame, 1);
    controls_[At(MainControl::kLogFrame)] = logFrame;
    BuildLog(logFrame);
    BuildMenu();
    BuildStatusBar();
    // The layouts keep the window from shrinking below what its texts need, in either language.
    window_->resize(kFirstWindowSize.expandedTo(window_->sizeHint()));

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
    // Each label is its box's buddy: a screen reader announces the label with the box, and its mnemonic reaches it.
    const auto label = [&](MainControl control, QWidget* box) {
        auto* widget = new QLabel(frame);
        widget->setBuddy(box);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto edit = [&](MainControl control) {
        auto* widget = new QLineEdit(frame);
        AcceptOnlyWindows1252(widget);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto combo = [&](MainControl control) {
        auto* widget = new QComboBox(frame);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto check = [&](MainControl control) {
        auto* widget = new QCheckBox(frame);
        controls_[At(control)] = widget;
        return widget;
    };
    const auto button = [&](MainControl control, QAbstractButton* widget) {
        controls_[At(control)] = widget;
        return widget;
    };

    // Created in the visual order, which is the keyboard's: row by row, from left to right.
    QLineEdit* server = edit(MainControl::kServerEdit);
    QComboBox* security = combo(MainControl::kSecurityCombo);
    QLineEdit* port = edit(MainControl::kPortEdit);
    // Digits only, and no number above the last port, 65535; 0 may stand while the user types.
    port->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("0*([0-9]{0,4}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|"
                                          "6553[0-5])")),
        port));
    QComboBox* authentication = combo(MainControl::kAuthenticationCombo);
    auto* signInStatus = new QLabel(frame);
    controls_[At(MainControl::kSignInStatus)] = signInStatus;
    QLineEdit* userName = edit(MainControl::kUserNameEdit);
    QLineEdit* password = edit(MainControl::kPasswordEdit);
    password->setEchoMode(QLineEdit::Password);
    QAbstractButton* signIn = button(MainControl::kSignInButton, new QPushButton(frame));
    QComboBox* interval = combo(MainControl::kIntervalCombo);
    QComboBox* hour = combo(MainControl::kStartHourCombo);
    QComboBox* minute = combo(MainControl::kStartMinuteCombo);
    QLineEdit* saveDir = edit(MainControl::kSaveDirEdit);
    QAbstractButton* browse = button(MainControl::kBrowseButton, new QPushButton(QStringLiteral("..."), frame));
    QAbstractButton* advanced = button(MainControl::kAdvancedButton, new QPushButton(frame));
    QAbstractButton* oauthSettings = button(MainControl::kOAuthSettingsButton, new QPushButton(frame));
    QCheckBox* shortcut = check(MainControl::kShortcutCheck);
    QCheckBox* service = check(MainControl::kServiceCheck);
    QCheckBox* deleteMails = check(MainControl::kDeleteMailsCheck);
    auto* startStop = static_cast<QPushButton*>(button(MainControl::kStartStopButton, new QPushButton(frame)));
    startStop->setDefault(true);
    auto* donate = static_cast<QToolButton*>(button(MainControl::kDonateButton, new QToolButton(frame)));
    const QPixmap donation = DonationPicture();
    donate->setIcon(donation);
    donate->setIconSize(donation.size());
    donate->setAutoRaise(true);
    donate->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    donate->setCursor(Qt::PointingHandCursor);
    // Room for five digits; the drop-downs as wide as their longest item, the server's and the folder's boxes take the
    // room that is left.
    port->setFixedWidth(port->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    for (QComboBox* box : {security, authentication, interval, hour, minute}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    // Labels in the first column, the boxes beside them, a second pair of columns at the right; the server row holds
    // the security and the port as well.
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(label(MainControl::kServerLabel, server), 0, 0);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(server, 1);
    serverRow->addWidget(label(MainControl::kSecurityLabel, security));
    serverRow->addWidget(security);
    serverRow->addWidget(label(MainControl::kPortLabel, port));
    serverRow->addWidget(port);
    grid->addLayout(serverRow, 0, 1, 1, 3);
    // How the login is made; with a provider, the sign-in's status above its button, which stands where the password
    // box stands with a password.
    grid->addWidget(label(MainControl::kAuthenticationLabel, authentication), 1, 0);
    grid->addWidget(authentication, 1, 1, Qt::AlignLeft);
    grid->addWidget(signInStatus, 1, 2, 1, 2);
    grid->addWidget(label(MainControl::kUserNameLabel, userName), 2, 0);
    grid->addWidget(userName, 2, 1);
    grid->addWidget(label(MainControl::kPasswordLabel, password), 2, 2);
    grid->addWidget(password, 2, 3);
    grid->addWidget(signIn, 2, 2, 1, 2, Qt::AlignLeft);
    grid->addWidget(label(MainControl::kIntervalLabel, interval), 3, 0);
    grid->addWidget(interval, 3, 1);
    grid->addWidget(label(MainControl::kStartTimeLabel, hour), 3, 2);
    auto* time = new QHBoxLayout;
    time->addWidget(hour);
    time->addWidget(new QLabel(QStringLiteral(":"), frame));
    time->addWidget(minute);
    time->addStretch();
    grid->addLayout(time, 3, 3);
    grid->addWidget(label(MainControl::kSaveDirLabel, saveDir), 4, 0);
    auto* folder = new QHBoxLayout;
    folder->addWidget(saveDir, 1);
    folder->addWidget(browse);
    grid->addLayout(folder, 4, 1, 1, 3);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);

    auto* column = new QVBoxLayout(frame);
    column->addLayout(grid);
    // The two buttons that open a settings window of their own.
    auto* settingsWindows = new QHBoxLayout;
    settingsWindows->addWidget(advanced);
    settingsWindows->addWidget(oauthSettings);
    settingsWindows->addStretch();
    column->addLayout(settingsWindows);
    column->addWidget(shortcut);
    column->addWidget(service);
    column->addWidget(deleteMails);
    // The start button in the middle, the donation picture at the right.
    auto* foot = new QGridLayout;
    foot->setColumnStretch(0, 1);
    foot->setColumnStretch(2, 1);
    foot->addWidget(startStop, 0, 1);
    foot->addWidget(donate, 0, 2, Qt::AlignRight);
    column->addLayout(foot);
}

void QtMainView::BuildLog(QWidget* frame) {
    auto* clear = new QToolButton(frame);
    clear->setIcon(ClearLogPicture());
    clear->setIconSize(QSize(10, 10));
    controls_[At(MainControl::kClearLogButton)] = clear;

    logText_ = new QPlainTextEdit(frame);
    logText_->setReadOnly(true);
    logText_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    logText_->setMinimumHeight(logText_->fontMetrics().lineSpacing() * 6);
    log_.Attach(logText_);

    auto* column = new QVBoxLayout(frame);
    column->addWidget(clear, 0, Qt::AlignRight);
    column->addWidget(logText_, 1);
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
    }
    // Return or Enter presses the button that has the focus, as in a dialog, and elsewhere (a box, a check box) the
    // start button.
    QObject::connect(window_.get(), &MainWindow::enterPressed, [this, button] {
        auto* pressed = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        if (pressed == nullptr || pressed->isCheckable()) pressed = button(MainControl::kStartStopButton);
        if (pressed->isEnabled()) pressed->click();
    });
    QObject::connect(Combo(MainControl::kIntervalCombo), &QComboBox::activated,
                     forward([](MainEvents& e) { e.OnInputChanged(); }));
    QObject::connect(Combo(MainControl::kSecurityCombo), &QComboBox::activated,
                     forward([](MainEvents& e) { e.OnSecurityChanged(); }));
    QObject::connect(Combo(MainControl::kAuthenticationCombo), &QComboBox::activated,
                     forward([](MainEvents& e) { e.OnAuthenticationChanged(); }));
    QObject::connect(button(MainControl::kOAuthSettingsButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnOAuthSettingsButton(); }));
    QObject::connect(button(MainControl::kSignInButton), &QAbstractButton::clicked,
                     forward([](MainEvents& e) { e.OnSignInButton(); }));

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
        edit->setCursorPosition(0);  // a text longer than the box shows its beginning
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    }
    // The minute and the log have no label of their own: a screen reader names them by the start time's and the
    // frame's.
    if (control == MainControl::kStartTimeLabel) Widget(MainControl::kStartMinuteCombo)->setAccessibleName(shown);
    if (control == MainControl::kLogFrame) logText_->setAccessibleName(shown);
}

std::string QtMainView::Text(MainControl control) const { return ShownText(Widget(control)); }

void QtMainView::SetEnabled(MainControl control, bool enabled) { Widget(control)->setEnabled(enabled); }

void QtMainView::SetVisible(MainControl control, bool visible) { Widget(control)->setVisible(visible); }

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
