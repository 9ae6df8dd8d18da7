#include "platform/program_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace zendrel {

ModuleSymbol LoadProgramModuleSymbol(const std::string& fileName, const std::string& privateFolder,
                                     const char* symbol) {
    namespace fs = std::filesystem;
    ModuleSymbol found;
    std::error_code error;
    // The program's own file, wherever it was started from and whatever link led to it.
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        found.problem = "cannot find the program's own folder: " + error.message();
        return found;
    }
    const fs::path folder = program.parent_path();
    const fs::path installed = (folder / privateFolder).lexically_normal();
    for (const fs::path& candidate : {folder / fileName, installed / fileName}) {
        if (!fs::exists(candidate, error)) continue;
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            found.problem = why != nullptr ? why : "cannot load " + candidate.string();
            return found;
        }
        found.address = ::dlsym(module, symbol);
        if (found.address == nullptr) found.problem = candidate.string() + " has no " + symbol;
        return found;
    }
    found.problem = "no " + fileName + " in " + folder.string() + " or " + installed.string();
    return found;
}

}  // namespace zendrel
