#include "app/ui/qt/qt_window_program.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

#include "app/mailbox_shell_run.h"
#include "app/main_procedure.h"
#include "app/ui/qt/qt_advanced_view.h"
#include "app/ui/qt/qt_main_view.h"
#include "app/ui/qt/window_images.h"
#include "platform/known_folders.h"
#include "platform/locked_log_files.h"
#include "platform/service_controller.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"
#include "settings/data_folder.h"

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

    auto texts = std::make_shared<InterfaceTexts>();
    auto handledMessageIds = std::make_shared<HandledMessageIds>();
    QtMainView mainView;
    QtAdvancedView advancedView(mainView);
    std::unique_ptr<ServiceController> serviceController = CreateServiceController();
    std::unique_ptr<StartupShortcuts> shortcuts = CreateStartupShortcuts();
    std::unique_ptr<SystemInfo> system = CreateSystemInfo();
    LockedLogFiles files;
    MailboxShellRun run(texts, handledMessageIds);

    ShellParts parts;
    parts.mainView = &mainView;
    parts.advancedView = &advancedView;
    parts.serviceController = serviceController.get();
    parts.shortcuts = shortcuts.get();
    parts.system = system.get();
    parts.run = &run;
    parts.texts = texts;
    parts.handledMessageIds = handledMessageIds;
    parts.logFiles = &files;
    parts.places = LocateDataFolder(SpecialFolderLocation(SpecialFolder::kCommonAppData),
                                    SpecialFolderLocation(SpecialFolder::kAppData), std::getenv(kDataFolderVariable));
    parts.defaultSaveDir = GetSpecialFolderPath(SpecialFolder::kProfile);
    parts.arguments = arguments;

    const ShellOutcome outcome = MainProcedure(0, parts);
    // A run that did not end when asked still uses the parts; the process ends without tearing them down.
    if (outcome.runLeftBehind) std::_Exit(0);
    return 0;
}

}  // namespace zendrel
