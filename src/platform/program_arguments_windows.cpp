#include "platform/program_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace zendrel {
namespace {

struct LocalFreeDeleter {
    void operator()(wchar_t** arguments) const { LocalFree(arguments); }
};

std::string Windows1252Of(const wchar_t* wide) {
    const int length = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide, -1, text.data(), length, "?", nullptr);
    text.pop_back();  // the terminating NUL
    return text;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // The C runtime's argv went through the ANSI code page, which is 1252 only on western systems.
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Windows1252Of(wide.get()[i]));
    return arguments;
}

}  // namespace zendrel
