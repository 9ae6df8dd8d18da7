// The Qt window's wiring with real widgets on Qt's offscreen platform: the shell behind it is the real one, the
// service manager and the shortcuts are fakes, and a run goes to the real Dovecot server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mailbox_shell_run.h"
#include "app/main_procedure.h"
#include "app/ui/qt/qt_advanced_view.h"
#include "app/ui/qt/qt_main_view.h"
#include "app/ui/qt/qt_oauth_settings_view.h"
#include "common/text.h"
#include "log_rows.h"
#include "mailbox_server.h"
#include "platform/locked_log_files.h"
#include "settings/settings_file.h"
#include "shell_fakes.h"
#include "test_files.h"
#include "test_mail.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::IsSupersetOf;

// Long enough for any machine; all is well long before.
constexpr std::chrono::milliseconds kPatience = 30s;
// A local midnight: on the grid of the default start time 00:00, so a start there is due at once.
constexpr LocalSeconds kMidnight = 20000LL * 86400;

// The one application object, made when the first window needs it and gone before the process's static objects
// go, which Qt's own clean-up needs.
class QtApplication final : public ::testing::Environment {
public:
    static void Make() {
        if (application_) return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    static inline int argc_ = 1;
    static inline char name_[] = "app_ui_qt_tests";
    static inline char* argv_[] = {name_, nullptr};
    static inline std::unique_ptr<QApplication> application_;
};
[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(20);
    }
    return true;
}

// Replaces the box's text as the user does: select all, type.
void Type(QWidget* box, const QString& text) {
    static_cast<QLineEdit*>(box)->selectAll();
    QTest::keyClicks(box, text);
}

// One key that types `text`, whatever keyboard would produce it.
void TypeCharacter(QWidget* box, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
}

void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Takes the addresses the desktop would open in a browser, for as long as it lives.
class BrowserStandIn final : public QObject {
    Q_OBJECT
public:
    BrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QStringList opened;

public slots:
    void Open(const QUrl& address) { opened.append(address.toString()); }
};

// A click on the mark of a check box or radio button: the box may be wider than its text, and only the mark and the
// text take a click.
void ClickMark(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2)); }

// Acts on the next modal box of type Box once it is up: a box opened from a box's answer comes only after the first
// one's loop has ended, so the answer waits for it.
template <typename Box>
void AnswerNextBox(std::function<void(Box*)> answer) {
    auto* waiting = new QTimer;
    QObject::connect(waiting, &QTimer::timeout, [waiting, answer] {
        auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        waiting->stop();
        waiting->deleteLater();
        answer(box);
    });
    waiting->start(0);
}

void AnswerNextTextBox(const QString& text) {
    AnswerNextBox<QInputDialog>([text](QInputDialog* box) {
        const auto* edit = box->findChild<QLineEdit*>();
        EXPECT_TRUE(edit != nullptr && edit->validator() != nullptr) << "the box takes only what Windows-1252 holds";
        box->setTextValue(text);
        box->accept();
    });
}

void ChooseFolderInNextChooser(const fs::path& folder) {
    AnswerNextBox<QFileDialog>([folder](QFileDialog* chooser) {
        chooser->setDirectory(QString::fromStdString(folder.string()));
        static_cast<QDialog*>(chooser)->accept();  // the chooser's own accept, as its button calls it
    });
}

QStringList LogRows(const QtMainView& view) { return view.LogText()->toPlainText().split(QLatin1Char('\n')); }

std::vector<std::string> RowTexts(const QtMainView& view) {
    std::vector<std::string> texts;
    for (const QString& row : LogRows(view)) texts.push_back(testsupport::TextOfRow(row.toStdString()));
    return texts;
}

// The window with the real shell and a real mailbox run, its settings in a data folder of its own.
class WindowUnderTest {
public:
    explicit WindowUnderTest(fs::path dataFolder, std::string defaultSaveDir) {
        QtApplication::Make();
        services_.available = false;
        shortcuts_.available = false;
        parts_.mainView = &main_;
        parts_.advancedView = &advanced_;
        parts_.oauthView = &oauth_;
        parts_.signIn = &signIn_;
        parts_.serviceController = &services_;
        parts_.shortcuts = &shortcuts_;
        parts_.system = &system_;
        parts_.run = &run_;
        parts_.texts = texts_;
        parts_.handledMessageIds = handledMessageIds_;
        parts_.logFiles = &files_;
        parts_.places.dataFolder = std::move(dataFolder);
        parts_.defaultSaveDir = std::move(defaultSaveDir);
        parts_.now = [] { return kMidnight; };
    }

    // Starts the window, lets `script` act in its event loop, and closes the window as the user does.
    void Run(const std::function<void()>& script) {
        QTimer::singleShot(0, [&] {
            script();
            main_.Window()->close();
        });
        const ShellOutcome outcome = MainProcedure(false, parts_);
        EXPECT_EQ(outcome.startUp, StartUpResult::kContinue);
    }

    QtMainView& Main() { return main_; }
    QWidget* Control(MainControl control) { return main_.Widget(control); }
    QWidget* Control(AdvancedControl control) { return advanced_.Widget(control); }
    QWidget* Control(OAuthControl control) { return oauth_.Widget(control); }
    testsupport::FakeWindowSignIn& SignIn() { return signIn_; }
    QListWidget* List(AdvancedControl list) { return static_cast<QListWidget*>(advanced_.Widget(list)); }
    template <typename Control>
    QString Caption(Control control) {
        return static_cast<QAbstractButton*>(this->Control(control))->text();
    }

private:
    std::shared_ptr<InterfaceTexts> texts_ = std::make_shared<InterfaceTexts>();
    std::shared_ptr<HandledMessageIds> handledMessageIds_ = std::make_shared<HandledMessageIds>();
    QtMainView main_;
    QtAdvancedView advanced_{main_};
    QtOAuthSettingsView oauth_{main_};
    testsupport::FakeWindowSignIn signIn_;
    testsupport::FakeSystemInfo system_;
    testsupport::FakeServiceController services_{system_};
    testsupport::FakeShortcuts shortcuts_;
    LockedLogFiles files_;
    MailboxShellRun run_{texts_, handledMessageIds_};
    ShellParts parts_;
};

class QtWindow : public ::testing::Test {
protected:
    testsupport::TemporaryFolder work_{"zendrel-qt"};
    fs::path data_ = work_.MakeFolder("data");
    fs::path save_ = work_.MakeFolder("save");
    // Without a settings file: the defaults, the home folder standing in for an existing save folder.
    WindowUnderTest window_{data_, save_.string() + "/"};
};

TEST_F(QtWindow, ValidInputsEnableTheStartButtonAndADisabledOneSaysWhy) {
    window_.Run([&] {
        QWidget* start = window_.Control(MainControl::kStartStopButton);
        QWidget* user = window_.Control(MainControl::kUserNameEdit);
        ASSERT_FALSE(start->isEnabled()) << "no user name yet";
        const QString why = QString::fromUtf8("Geben Sie den Benutzernamen des Postfachs an.");
        EXPECT_EQ(start->toolTip(), why);
        // The status bar tells it too while the pointer is over the button (which a disabled one still reports).
        EXPECT_EQ(start->statusTip(), why);
        EXPECT_NE(user->palette().color(QPalette::Base), window_.Control(MainControl::kServerEdit)->palette().color(
                                                              QPalette::Base))
            << "the user name box is marked";
        Type(user, QStringLiteral("alice"));
        EXPECT_TRUE(start->isEnabled());
        EXPECT_EQ(start->toolTip(), QString());
        EXPECT_EQ(user->palette().color(QPalette::Base),
                  window_.Control(MainControl::kServerEdit)->palette().color(QPalette::Base));

        auto* port = static_cast<QLineEdit*>(window_.Control(MainControl::kPortEdit));
        Type(port, QStringLiteral("1x1y0"));
        EXPECT_EQ(port->text(), QStringLiteral("110")) << "digits only";
        Type(port, QStringLiteral("99999"));
        EXPECT_EQ(port->text(), QStringLiteral("9999")) << "nothing above 65535";
        Type(port, QStringLiteral("65535"));
        EXPECT_EQ(port->text(), QStringLiteral("65535"));
        Type(port, QStringLiteral("0"));
        EXPECT_FALSE(start->isEnabled());
    });
}

TEST_F(QtWindow, TheSecurityChoiceTakesThePortAlongIsSavedAndIsLockedWhileRunning) {
    window_.Run([&] {
        auto* security = static_cast<QComboBox*>(window_.Control(MainControl::kSecurityCombo));
        auto* port = static_cast<QLineEdit*>(window_.Control(MainControl::kPortEdit));
        EXPECT_EQ(static_cast<QLabel*>(window_.Control(MainControl::kSecurityLabel))->text(),
                  QStringLiteral("Sicherheit:"));
        ASSERT_EQ(security->count(), 3);
        EXPECT_EQ(security->itemText(0), QStringLiteral("Keine"));
        EXPECT_EQ(security->itemText(1), QStringLiteral("STARTTLS"));
        EXPECT_EQ(security->itemText(2), QStringLiteral("SSL/TLS"));
        EXPECT_EQ(security->currentIndex(), 0);
        ASSERT_EQ(port->text(), QStringLiteral("110"));

        QTest::keyClick(security, Qt::Key_End);  // the user picks the last item
        EXPECT_EQ(security->currentIndex(), 2);
        EXPECT_EQ(port->text(), QStringLiteral("995"));

        // A mailbox nobody answers for, should the schedule get to a run.
        Type(window_.Control(MainControl::kServerEdit), QStringLiteral("127.0.0.1"));
        Type(window_.Control(MainControl::kUserNameEdit), QStringLiteral("alice"));
        QWidget* start = window_.Control(MainControl::kStartStopButton);
        Click(start);
        EXPECT_FALSE(security->isEnabled());
        EXPECT_THAT(testsupport::ReadBytes(data_ / kSettingsFileName), ::testing::HasSubstr("Security = 2\r\n"));
        Click(start);
        EXPECT_TRUE(security->isEnabled());
    });
}

TEST_F(QtWindow, AProviderSwapsThePasswordForTheSignInWhoseButtonOpensTheBrowserAndCancels) {
    BrowserStandIn browser;
    window_.Run([&] {
        QWidget* main = window_.Main().Window();
        auto* authentication = static_cast<QComboBox*>(window_.Control(MainControl::kAuthenticationCombo));
        EXPECT_EQ(static_cast<QLabel*>(window_.Control(MainControl::kAuthenticationLabel))->text(),
                  QStringLiteral("Authentifizierung:"));
        EXPECT_TRUE(window_.Control(MainControl::kPasswordEdit)->isVisibleTo(main));
        EXPECT_FALSE(window_.Control(MainControl::kSignInButton)->isVisibleTo(main));
        QTest::keyClick(authentication, Qt::Key_Down);  // the user picks Microsoft
        EXPECT_FALSE(window_.Control(MainControl::kPasswordEdit)->isVisibleTo(main));
        EXPECT_TRUE(window_.Control(MainControl::kSignInButton)->isVisibleTo(main));
        EXPECT_EQ(static_cast<QLabel*>(window_.Control(MainControl::kSignInStatus))->text(),
                  QStringLiteral("Nicht angemeldet"));
        EXPECT_EQ(static_cast<QLineEdit*>(window_.Control(MainControl::kServerEdit))->text(),
                  QStringLiteral("outlook.office365.com"));

        Click(window_.Control(MainControl::kOAuthSettingsButton));
        QWidget* settings = window_.Control(OAuthControl::kOkButton)->window();
        ASSERT_TRUE(settings->isVisible());
        EXPECT_FALSE(main->isEnabled()) << "the settings window is modal";
        EXPECT_FALSE(window_.Control(OAuthControl::kTokenUrlEdit)->isEnabled()) << "only a custom provider's";
        Type(window_.Control(OAuthControl::kClientIdEdit), QStringLiteral("zendrel-app"));
        QTest::keyClick(window_.Control(OAuthControl::kClientIdEdit), Qt::Key_Return);
        EXPECT_FALSE(settings->isVisible());
        EXPECT_TRUE(main->isEnabled());

        auto* signIn = static_cast<QAbstractButton*>(window_.Control(MainControl::kSignInButton));
        Click(signIn);
        ASSERT_EQ(window_.SignIn().startedWith.size(), 1u);
        EXPECT_EQ(window_.SignIn().startedWith[0].clientId, "zendrel-app");
        EXPECT_EQ(browser.opened, QStringList{QString::fromStdString(window_.SignIn().address)});
        EXPECT_EQ(signIn->text(), QStringLiteral("Anmeldung abbrechen"));
        Click(signIn);
        EXPECT_TRUE(WaitUntil([&] { return signIn->text() == QStringLiteral("Anmelden\u2026"); }))
            << "the cancelled sign-in ends at the next tick";
        EXPECT_TRUE(LogRows(window_.Main()).back().endsWith(QStringLiteral("Die Anmeldung wurde abgebrochen.")));
    });
}

TEST_F(QtWindow, WhereTheFilesGoIsChosenInTheAdvancedWindowAndSaved) {
    window_.Run([&] {
        Type(window_.Control(MainControl::kUserNameEdit), QStringLiteral("alice"));
        Click(window_.Control(MainControl::kAdvancedButton));
        auto* keepBoth = static_cast<QAbstractButton*>(window_.Control(AdvancedControl::kKeepBothRadio));
        auto* replace = static_cast<QAbstractButton*>(window_.Control(AdvancedControl::kReplaceRadio));
        auto* saveInline = static_cast<QAbstractButton*>(window_.Control(AdvancedControl::kSaveInlineCheck));
        QWidget* subFolder = window_.Control(AdvancedControl::kSubFolderEdit);
        EXPECT_EQ(keepBoth->text(), QStringLiteral("Beide behalten"));
        EXPECT_TRUE(keepBoth->isChecked()) << "a name clash keeps both files unless the settings say otherwise";
        EXPECT_THAT(subFolder->toolTip().toStdString(), ::testing::HasSubstr("{domain}/{year}-{month}"));

        // The main window waits for this one: its start button is judged as it will be once this one is closed.
        QWidget* start = window_.Control(MainControl::kStartStopButton);
        Type(subFolder, QStringLiteral("../{year}"));
        EXPECT_FALSE(start->isEnabledTo(start->window())) << "a template that climbs out of the save folder";
        Type(subFolder, QStringLiteral("{sender}/{year}"));
        EXPECT_TRUE(start->isEnabledTo(start->window()));
        ClickMark(replace);
        EXPECT_FALSE(keepBoth->isChecked());
        ClickMark(saveInline);
        subFolder->window()->close();

        Click(start);
        EXPECT_FALSE(replace->isEnabled());
        EXPECT_FALSE(subFolder->isEnabled());
        EXPECT_FALSE(saveInline->isEnabled());
        EXPECT_THAT(testsupport::ReadBytes(data_ / kSettingsFileName),
                    ::testing::HasSubstr("ExistingFiles = 1\r\nSubFolder = {sender}/{year}\r\nSaveInline = 1\r\n"));
        Click(start);
    });
}

TEST_F(QtWindow, TextBoxesTakeOnlyWhatWindows1252Holds) {
    window_.Run([&] {
        auto* user = static_cast<QLineEdit*>(window_.Control(MainControl::kUserNameEdit));
        TypeCharacter(user, QString::fromUtf8("\xE2\x82\xAC"));  // the euro sign: 0x80
        TypeCharacter(user, QString::fromUtf8("\xCE\xA9"));      // a Greek capital omega: none
        TypeCharacter(user, QString::fromUtf8("\xC3\xA4"));      // a-umlaut: 0xE4
        EXPECT_EQ(user->text(), QString::fromUtf8("\xE2\x82\xAC\xC3\xA4"));
        EXPECT_EQ(window_.Main().Text(MainControl::kUserNameEdit), "\x80\xE4");
        // The refusal is explained in the window's language.
        EXPECT_EQ(QToolTip::text().toStdString(),
                  Windows1252ToUtf8(TextOf(Language::kGerman, TextKey::kTipRefusedCharacter)));
    });
}

TEST_F(QtWindow, TheChosenFolderEndsInASlashAndOneWindows1252CannotNameIsRefused) {
    const fs::path chosen = work_.MakeFolder("chosen");
    const fs::path greek = testsupport::Utf8Path((work_.Path() / "\xCE\xA9mega").string());
    ASSERT_TRUE(fs::create_directory(greek));
    window_.Run([&] {
        auto* saveDir = static_cast<QLineEdit*>(window_.Control(MainControl::kSaveDirEdit));
        ChooseFolderInNextChooser(chosen);
        Click(window_.Control(MainControl::kBrowseButton));
        EXPECT_EQ(saveDir->text().toStdString(), chosen.string() + "/");

        ChooseFolderInNextChooser(greek);
        bool told = false;
        AnswerNextBox<QMessageBox>([&](QMessageBox* box) {
            told = true;
            box->accept();
        });
        Click(window_.Control(MainControl::kBrowseButton));
        EXPECT_TRUE(told) << "the user hears why the folder is not taken";
        EXPECT_EQ(saveDir->text().toStdString(), chosen.string() + "/");
    });
}

TEST_F(QtWindow, TheLanguageMenuRewritesTheCaptions) {
    window_.Run([&] {
        // Without a settings file the language is German.
        EXPECT_EQ(window_.Caption(MainControl::kStartStopButton), QStringLiteral("Los geht's"));
        window_.Main().MenuAction(MenuItem::kEnglish)->trigger();
        EXPECT_EQ(window_.Caption(MainControl::kStartStopButton), QStringLiteral("Lets go"));
        EXPECT_EQ(static_cast<QLabel*>(window_.Control(MainControl::kSaveDirLabel))->text(),
                  QStringLiteral("Path for Attachments:"));
        EXPECT_TRUE(window_.Main().MenuAction(MenuItem::kEnglish)->isChecked());
        EXPECT_FALSE(window_.Main().MenuAction(MenuItem::kGerman)->isChecked());

        window_.Main().MenuAction(MenuItem::kGerman)->trigger();
        EXPECT_EQ(static_cast<QLabel*>(window_.Control(MainControl::kSaveDirLabel))->text(),
                  QString::fromUtf8("Speicherpfad f\xC3\xBCr Anh\xC3\xA4nge:"));
        EXPECT_EQ(window_.Caption(AdvancedControl::kAllowedDeleteButton), QString::fromUtf8("L\xC3\xB6schen"));
        EXPECT_TRUE(window_.Main().MenuAction(MenuItem::kGerman)->isChecked());
    });
}

// Squeezed to the smallest size their layouts allow, in either language, both windows still give every caption the
// room its text needs: nothing is cut off.
TEST_F(QtWindow, AtTheirSmallestTheWindowsShowEveryCaptionWholeInBothLanguages) {
    window_.Run([&] {
        QWidget* advanced = window_.Control(AdvancedControl::kCloseButton)->window();
        QWidget* oauth = window_.Control(OAuthControl::kOkButton)->window();
        for (const MenuItem language : {MenuItem::kGerman, MenuItem::kEnglish}) {
            window_.Main().MenuAction(language)->trigger();
            for (QWidget* window : {static_cast<QWidget*>(window_.Main().Window()), advanced, oauth}) {
                window->show();
                window->resize(1, 1);
                QApplication::processEvents();
                for (const QWidget* widget : window->findChildren<QWidget*>()) {
                    const bool captioned = qobject_cast<const QLabel*>(widget) != nullptr ||
                                           qobject_cast<const QAbstractButton*>(widget) != nullptr ||
                                           qobject_cast<const QComboBox*>(widget) != nullptr;
                    if (!captioned || !widget->isVisible()) continue;
                    // A button held narrower on purpose ("...") asks for no more than it may have.
                    EXPECT_GE(widget->width(), std::min(widget->sizeHint().width(), widget->maximumWidth()))
                        << widget->metaObject()->className();
                }
            }
            advanced->hide();
            oauth->hide();
        }
    });
}

// The name a screen reader announces for a widget.
QString AnnouncedName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// The widgets the Tab key visits in `window` from `first`, once round.
std::vector<QWidget*> TabOrder(QWidget* window, QWidget* first) {
    window->show();
    // The offscreen platform leaves the first window active, whichever is shown later.
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    first->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> order{first};
    for (int key = 0; key < 64; ++key) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == first) break;
        order.push_back(QApplication::focusWidget());
    }
    return order;
}

TEST_F(QtWindow, TabFollowsTheVisualOrderEveryInputHasAnAnnouncedNameAndEnterStarts) {
    window_.Run([&] {
        Type(window_.Control(MainControl::kUserNameEdit), QStringLiteral("alice"));
        std::vector<QWidget*> mainOrder;
        for (const MainControl control :
             {MainControl::kServerEdit, MainControl::kSecurityCombo, MainControl::kPortEdit, MainControl::kUserNameEdit,
              MainControl::kPasswordEdit, MainControl::kIntervalCombo, MainControl::kStartHourCombo,
              MainControl::kStartMinuteCombo, MainControl::kSaveDirEdit, MainControl::kBrowseButton,
              MainControl::kAdvancedButton, MainControl::kShortcutCheck, MainControl::kServiceCheck,
              MainControl::kDeleteMailsCheck, MainControl::kStartStopButton, MainControl::kDonateButton,
              MainControl::kClearLogButton}) {
            if (window_.Control(control)->isEnabled()) mainOrder.push_back(window_.Control(control));
            // The authentication drop-down follows the server's row.
            if (control == MainControl::kPortEdit) {
                mainOrder.push_back(window_.Control(MainControl::kAuthenticationCombo));
            }
        }
        mainOrder.push_back(window_.Main().LogText());
        EXPECT_EQ(TabOrder(window_.Main().Window(), mainOrder.front()), mainOrder);

        for (const MainControl input :
             {MainControl::kServerEdit, MainControl::kSecurityCombo, MainControl::kPortEdit,
              MainControl::kAuthenticationCombo, MainControl::kUserNameEdit, MainControl::kPasswordEdit,
              MainControl::kIntervalCombo, MainControl::kStartHourCombo, MainControl::kStartMinuteCombo,
              MainControl::kSaveDirEdit}) {
            EXPECT_FALSE(AnnouncedName(window_.Control(input)).isEmpty()) << static_cast<int>(input);
        }
        EXPECT_EQ(AnnouncedName(window_.Control(MainControl::kUserNameEdit)),
                  static_cast<QLabel*>(window_.Control(MainControl::kUserNameLabel))->text());
        EXPECT_FALSE(AnnouncedName(window_.Main().LogText()).isEmpty());

        // Return in a box, or on a check box, presses the start button once; on another button, that button.
        QSignalSpy started(static_cast<QAbstractButton*>(window_.Control(MainControl::kStartStopButton)),
                           &QAbstractButton::clicked);
        QSignalSpy advancedOpened(static_cast<QAbstractButton*>(window_.Control(MainControl::kAdvancedButton)),
                                  &QAbstractButton::clicked);
        const auto press = [](QWidget* focused, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            focused->setFocus(Qt::TabFocusReason);
            QTest::keyClick(focused, key, modifiers);
        };
        press(window_.Control(MainControl::kPasswordEdit), Qt::Key_Return);
        EXPECT_EQ(started.count(), 1);
        press(window_.Control(MainControl::kDeleteMailsCheck), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(started.count(), 2);
        press(window_.Control(MainControl::kAdvancedButton), Qt::Key_Return);
        EXPECT_EQ(started.count(), 2);
        EXPECT_EQ(advancedOpened.count(), 1);

        QWidget* advanced = window_.Control(AdvancedControl::kCloseButton)->window();
        ASSERT_TRUE(advanced->isVisible()) << "the advanced button opened it";
        std::vector<QWidget*> advancedOrder;
        for (const AdvancedControl control :
             {AdvancedControl::kSearchStringEdit, AdvancedControl::kExtensionsEdit, AdvancedControl::kKeepBothRadio,
              AdvancedControl::kSubFolderEdit, AdvancedControl::kSaveInlineCheck, AdvancedControl::kRememberMailsCheck,
              AdvancedControl::kAllowedList, AdvancedControl::kAllowedAddButton, AdvancedControl::kBlockedList,
              AdvancedControl::kBlockedAddButton, AdvancedControl::kCloseButton}) {
            advancedOrder.push_back(window_.Control(control));
        }
        EXPECT_EQ(TabOrder(advanced, advancedOrder.front()), advancedOrder);
        for (const AdvancedControl input : {AdvancedControl::kSearchStringEdit, AdvancedControl::kExtensionsEdit,
                                            AdvancedControl::kSubFolderEdit, AdvancedControl::kAllowedList,
                                            AdvancedControl::kBlockedList}) {
            EXPECT_FALSE(AnnouncedName(window_.Control(input)).isEmpty()) << static_cast<int>(input);
        }
        Click(window_.Control(AdvancedControl::kCloseButton));
    });
}

TEST_F(QtWindow, SenderListsAddAndDelete) {
    window_.Run([&] {
        Click(window_.Control(MainControl::kAdvancedButton));
        QListWidget* allowed = window_.List(AdvancedControl::kAllowedList);
        QWidget* remove = window_.Control(AdvancedControl::kAllowedDeleteButton);
        ASSERT_TRUE(allowed->isVisible());
        EXPECT_FALSE(window_.Main().Window()->isEnabled()) << "the main window waits for the advanced one";

        AnswerNextTextBox(QStringLiteral("billing@example.org"));
        Click(window_.Control(AdvancedControl::kAllowedAddButton));
        AnswerNextTextBox(QStringLiteral("news@example.net"));
        Click(window_.Control(AdvancedControl::kBlockedAddButton));
        ASSERT_EQ(allowed->count(), 1);
        EXPECT_EQ(allowed->item(0)->text(), QStringLiteral("billing@example.org"));
        EXPECT_EQ(window_.List(AdvancedControl::kBlockedList)->count(), 1);

        ASSERT_FALSE(remove->isEnabled());
        const QRect entry = allowed->visualItemRect(allowed->item(0));
        QTest::mouseClick(allowed->viewport(), Qt::LeftButton, Qt::NoModifier, entry.center());
        ASSERT_TRUE(remove->isEnabled());
        Click(remove);
        EXPECT_EQ(allowed->count(), 0);
        EXPECT_FALSE(remove->isEnabled());

        // The close box, Escape and the Close button each close it and give the main window back.
        QWidget* advanced = window_.Control(AdvancedControl::kAllowedList)->window();
        const std::function<void()> closers[] = {
            [&] { advanced->close(); },
            [&] { QTest::keyClick(window_.Control(AdvancedControl::kSearchStringEdit), Qt::Key_Escape); },
            [&] { Click(window_.Control(AdvancedControl::kCloseButton)); },
        };
        for (const auto& close : closers) {
            if (!advanced->isVisible()) Click(window_.Control(MainControl::kAdvancedButton));
            ASSERT_TRUE(advanced->isVisible());
            close();
            EXPECT_FALSE(advanced->isVisible());
            EXPECT_TRUE(window_.Main().Window()->isEnabled());
        }
        EXPECT_EQ(window_.Caption(AdvancedControl::kCloseButton), QString::fromUtf8("Schlie\xC3\x9F" "en"));
    });
}

TEST_F(QtWindow, TheTrayMenuShowsTheWindowAndStartsAndStopsAsTheButtonDoes) {
    window_.Run([&] {
        QMenu* menu = window_.Main().TrayIcon()->contextMenu();
        ASSERT_NE(menu, nullptr) << "a right click on the icon brings it up";
        QStringList items;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) items << action->text();
        }
        EXPECT_EQ(items, QStringList({QStringLiteral("Anzeigen"), QStringLiteral("Jetzt abrufen"),
                                      QStringLiteral("Los geht's"), QStringLiteral("Beenden")}));
        QAction* startStop = window_.Main().MenuAction(MenuItem::kTrayStartStop);
        EXPECT_FALSE(startStop->isEnabled()) << "no user name yet";
        Type(window_.Control(MainControl::kUserNameEdit), QStringLiteral("alice"));
        // A mailbox nobody answers for, should the schedule get to a run.
        Type(window_.Control(MainControl::kServerEdit), QStringLiteral("127.0.0.1"));
        ASSERT_TRUE(startStop->isEnabled());
        startStop->trigger();
        EXPECT_EQ(window_.Caption(MainControl::kStartStopButton), QStringLiteral("Anhalten"));
        EXPECT_EQ(startStop->text(), QStringLiteral("Anhalten"));
        startStop->trigger();
        EXPECT_EQ(window_.Caption(MainControl::kStartStopButton), QStringLiteral("Los geht's"));

        window_.Main().Window()->hide();
        window_.Main().MenuAction(MenuItem::kTrayShow)->trigger();
        EXPECT_TRUE(window_.Main().Window()->isVisible());
    });
}

class QtWindowWithMailbox : public testsupport::MailboxServerTest {};

TEST_F(QtWindowWithMailbox, CheckConnectionAndRunNowWorkAtOnceOutsideTheSchedule) {
    const testsupport::TestMailbox box = NewMailbox();
    Deliver(box, {testsupport::ComposeMail(testsupport::MailWithAttachment("now.1", "now.csv"))});
    testsupport::TemporaryFolder work("zendrel-qt");
    const fs::path data = work.MakeFolder("data");
    const fs::path save = work.MakeFolder("save");
    SettingsRecord settings;
    settings.language = "english";
    settings.server = Host();
    settings.portText = std::to_string(Port());
    settings.userName = box.user;
    settings.password = box.password;
    settings.intervalPosition = 0;
    settings.saveDir = save.string() + "/";
    settings.extensionsText = "csv";
    ASSERT_TRUE(SaveSettings(data, settings));

    WindowUnderTest window(data, "");
    window.Run([&] {
        const auto logHas = [&](const std::string& text) {
            return window.Main().LogText()->toPlainText().contains(QString::fromStdString(text));
        };
        window.Main().MenuAction(MenuItem::kCheckConnection)->trigger();
        ASSERT_TRUE(WaitUntil([&] { return logHas("Connected: 1 messages in the mailbox"); }))
            << window.Main().LogText()->toPlainText().toStdString();
        EXPECT_THAT(testsupport::FilesIn(save), ::testing::IsEmpty());

        QAction* runNow = window.Main().MenuAction(MenuItem::kRunNow);
        ASSERT_TRUE(WaitUntil([&] { return runNow->isEnabled(); })) << "free again once the check has ended";
        runNow->trigger();
        ASSERT_TRUE(WaitUntil([&] { return logHas(testsupport::kSignedOut); }))
            << window.Main().LogText()->toPlainText().toStdString();
        EXPECT_EQ(testsupport::ReadBytes(save / "now.csv"), testsupport::AttachmentBytesFor("now.csv"));
        EXPECT_EQ(window.Caption(MainControl::kStartStopButton), QStringLiteral("Lets go")) << "the schedule is idle";
    });
}

TEST_F(QtWindowWithMailbox, StartSavesTheSettingsAndTheRunsRowsShowInTheList) {
    const testsupport::TestMailbox box = NewMailbox();
    Deliver(box, {testsupport::ComposeMail(testsupport::MailWithAttachment("window.1", "window.csv"))});
    testsupport::TemporaryFolder work("zendrel-qt");
    const fs::path data = work.MakeFolder("data");
    const fs::path save = work.MakeFolder("save");
    SettingsRecord settings;
    settings.language = "english";
    settings.server = Host();
    settings.portText = std::to_string(Port());
    settings.userName = "someone-else";
    settings.password = box.password;
    settings.intervalPosition = 0;
    settings.startHour = 0;
    settings.startMinute = 0;
    settings.saveDir = save.string() + "/";
    settings.extensionsText = "csv";
    ASSERT_TRUE(SaveSettings(data, settings));

    WindowUnderTest window(data, "");
    window.Run([&] {
        // The user name typed into the window is the one that is saved and logged in with.
        Type(window.Control(MainControl::kUserNameEdit), QString::fromStdString(box.user));
        QWidget* start = window.Control(MainControl::kStartStopButton);
        ASSERT_TRUE(start->isEnabled());
        Click(start);

        const std::string prefs = testsupport::ReadBytes(data / kSettingsFileName);
        EXPECT_THAT(prefs, ::testing::HasSubstr("Username = " + box.user + "\r\n"));
        // Started by the schedule's timer on the window's thread, the run logs from its own.
        const QString signedOut = QString::fromStdString(testsupport::kSignedOut);
        ASSERT_TRUE(WaitUntil([&] { return window.Main().LogText()->toPlainText().contains(signedOut); }))
            << window.Main().LogText()->toPlainText().toStdString();
        EXPECT_THAT(RowTexts(window.Main()), IsSupersetOf({testsupport::LoggedIn(1),
                                                            testsupport::FileSaved("window.csv"),
                                                            testsupport::kSignedOut}));
        EXPECT_EQ(testsupport::ReadBytes(save / "window.csv"), testsupport::AttachmentBytesFor("window.csv"));
        Click(start);  // back to idle, so the quit finds no run
    });
}

}  // namespace
}  // namespace zendrel

#include "qt_window_test.moc"
