// The entry point of the window module. Everything else in it stays the module's own: the libraries linked in are
// hidden from the program that loads it, which has copies of its own.

#include <iostream>
#include <type_traits>

#include "app/ui/qt/qt_window_program.h"
#include "app/ui/qt/window_module.h"
#include "platform/program_arguments.h"

// An exception does not cross into the loading program: it ends the process, as one escaping main() would.
extern "C" __attribute__((visibility("default"))) int zendrel_window_main(int argc, char** argv) noexcept {
    return zendrel::RunQtWindow(argc, argv, zendrel::ProgramArguments(argc, argv), std::cerr);
}

static_assert(std::is_convertible_v<decltype(&zendrel_window_main), zendrel::WindowModuleEntry>);
