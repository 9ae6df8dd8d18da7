#include "platform/standard_streams.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace zendrel {
namespace {

bool Inherited(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

UINT consoleCodePageBefore = 0;

void RestoreConsoleCodePage() { SetConsoleOutputCP(consoleCodePageBefore); }

// The command-line modes print UTF-8, as on Linux, so that redirected output reads the same on both systems. A console
// shows bytes in its own code page (437 or 850 in most of Europe), which would turn every umlaut into two wrong
// characters: while the program writes to one, the console reads UTF-8, and gets its own page back at the end.
void ConsoleReadsUtf8() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) return;
    const UINT before = GetConsoleOutputCP();
    if (before == 0 || before == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    consoleCodePageBefore = before;
    std::atexit(RestoreConsoleCodePage);
}

}  // namespace

void ConnectStandardStreams() {
    const bool input = Inherited(STD_INPUT_HANDLE);
    const bool output = Inherited(STD_OUTPUT_HANDLE);
    const bool error = Inherited(STD_ERROR_HANDLE);
    // Started from a console window without redirection: the program writes into that window, and Ctrl+C there
    // reaches the program's console control handler.
    if (!(input && output && error) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE* reopened = nullptr;
        if (!input && freopen_s(&reopened, "CONIN$", "r", stdin) == 0) std::cin.clear();
        if (!output && freopen_s(&reopened, "CONOUT$", "w", stdout) == 0) std::cout.clear();
        if (!error && freopen_s(&reopened, "CONOUT$", "w", stderr) == 0) std::cerr.clear();
    }
    ConsoleReadsUtf8();
}

}  // namespace zendrel
