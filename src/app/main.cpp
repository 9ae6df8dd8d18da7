#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program.h"
#ifdef _WIN32
#include "app/ui/win32/win32_program.h"
#endif
#include "platform/program_arguments.h"
#include "platform/standard_streams.h"
#if defined(ZENDREL_WITH_QT)
#include "app/ui/qt/qt_window_program.h"
#endif

int main(int argc, char** argv) {
    zendrel::ConnectStandardStreams();
    const std::vector<std::string> arguments = zendrel::ProgramArguments(argc, argv);
#if defined(ZENDREL_WITH_QT)
    // Only the window loads Qt's display plugins; every command-line mode runs without a display.
    if (zendrel::ParseCommandLine(arguments).kind == zendrel::CommandKind::Window) {
        return zendrel::RunQtWindow(argc, argv, arguments, std::cerr);
    }
#elif defined(_WIN32)
    const zendrel::ParsedCommand command = zendrel::ParseCommandLine(arguments);
    if (command.kind == zendrel::CommandKind::Window) return zendrel::RunWin32Program(arguments, command.logging);
#endif
    return zendrel::RunProgram(arguments, std::cout, std::cerr);
}
