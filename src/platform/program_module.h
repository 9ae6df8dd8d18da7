#pragma once
// A module of the program's own (a shared library with a C entry point), loaded when it is first needed.

#include <string>

namespace zendrel {

struct ModuleSymbol {
    void* address = nullptr;  // the symbol; null when the module or the symbol could not be had
    std::string problem;      // then why not
};

// Loads `fileName` from the running program's own folder (a build tree) or else from `privateFolder`, a folder
// relative to the program's (an installation: ../lib/zendrel beside ../bin), and looks up `symbol` in it. Never from
// the current folder or the library search path: the module must be the one built with this program. It stays loaded
// until the process ends.
ModuleSymbol LoadProgramModuleSymbol(const std::string& fileName, const std::string& privateFolder,
                                     const char* symbol);

}  // namespace zendrel
