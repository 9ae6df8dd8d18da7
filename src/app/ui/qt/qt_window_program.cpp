#include "app/ui/qt/qt_window_program.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "app/main_procedure.h"
#include "app/shell_services.h"
#include "app/ui/qt/qt_advanced_view.h"
#include "app/ui/qt/qt_main_view.h"
#include "app/ui/qt/qt_oauth_settings_view.h"
#include "app/ui/qt/window_images.h"

namespace zendrel {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt ends the process from within when it finds no display; the user should read why instead. A platform named in
// QT_QPA_PLATFORM (offscreen, vnc) needs no display of its own.
bool DisplayAvailable() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM"); }

}  // namespace

int RunQtWindow(int& argc, char** argv, const std::vector<std::string>& arguments, std::ostream& err) {
    if (!DisplayAvailable()) {
        err << "zendrel: the window needs a display, but neither DISPLAY nor WAYLAND_DISPLAY is set.\n"
               "Start it from a desktop session, or use a command-line mode (see zendrel --help).\n";
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zendrel"));
    // The desktop entry's name: a Wayland desktop finds the program's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("zendrel"));
    QApplication::setWindowIcon(ProgramIcon());
    // The window goes to the tray and comes back: only the shell's quit path ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMainView mainView;
    QtAdvancedView advancedView(mainView);
    QtOAuthSettingsView oauthView(mainView);
    ShellServices services;
    ShellParts parts = services.Parts(mainView, advancedView, oauthView, LocateProgramDataFolder());
    parts.arguments = arguments;

    const ShellOutcome outcome = MainProcedure(false, parts);
    // A run that did not end when asked still uses the parts; the process ends without tearing them down.
    if (outcome.runLeftBehind) std::_Exit(0);
    return 0;
}

}  // namespace zendrel
