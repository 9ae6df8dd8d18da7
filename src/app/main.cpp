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
#if defined(ZENDREL_WINDOW_MODULE_FOLDER)
#include "app/ui/qt/window_module.h"
#include "platform/program_module.h"
#endif

int main(int argc, char** argv) {
    zendrel::ConnectStandardStreams();
    const std::vector<std::string> arguments = zendrel::ProgramArguments(argc, argv);
#if defined(ZENDREL_WINDOW_MODULE_FOLDER)
    // Only the window loads Qt, from its module; every command-line mode runs without it. A program whose module is
    // missing says so, and then what a build without the window says.
    if (zendrel::ParseCommandLine(arguments).kind == zendrel::CommandKind::kWindow) {
        const zendrel::ModuleSymbol entry = zendrel::LoadProgramModuleSymbol(
            zendrel::kWindowModuleFile, ZENDREL_WINDOW_MODULE_FOLDER, zendrel::kWindowModuleEntry);
        if (entry.address != nullptr) return reinterpret_cast<zendrel::WindowModuleEntry>(entry.address)(argc, argv);
        std::cerr << "zendrel: " << entry.problem << '\n';
    }
#elif defined(_WIN32)
    const zendrel::ParsedCommand command = zendrel::ParseCommandLine(arguments);
    if (command.kind == zendrel::CommandKind::kWindow) return zendrel::RunWin32Program(arguments, command.logging);
#endif
    return zendrel::RunProgram(arguments, std::cout, std::cerr);
}
