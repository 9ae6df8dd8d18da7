#include "platform/standard_streams.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace zendrel {
namespace {

bool Inherited(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void ConnectStandardStreams() {
    const bool input = Inherited(STD_INPUT_HANDLE);
    const bool output = Inherited(STD_OUTPUT_HANDLE);
    const bool error = Inherited(STD_ERROR_HANDLE);
    if (input && output && error) return;
    // Started from a console window without redirection: the program writes into that window, and Ctrl+C there
    // reaches the program's console control handler.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* reopened = nullptr;
    if (!input && freopen_s(&reopened, "CONIN$", "r", stdin) == 0) std::cin.clear();
    if (!output && freopen_s(&reopened, "CONOUT$", "w", stdout) == 0) std::cout.clear();
    if (!error && freopen_s(&reopened, "CONOUT$", "w", stderr) == 0) std::cerr.clear();
}

}  // namespace zendrel
