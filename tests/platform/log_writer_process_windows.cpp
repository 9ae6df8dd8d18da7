#include "log_writer_process.h"

#include <windows.h>

#include "process_start_windows.h"

namespace zendrel::testsupport {
namespace {

// One argument as the C runtime's command-line parser reads it back: quoted, with its quotes and the backslashes
// before them escaped.
std::string Quoted(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

HANDLE HandleOf(std::intptr_t process) { return reinterpret_cast<HANDLE>(process); }

}  // namespace

LogWriterProcess::LogWriterProcess(std::vector<std::string> arguments) {
    std::string commandLine = Quoted(ZENDREL_LOG_WRITER);
    for (const std::string& argument : arguments) commandLine += " " + Quoted(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const bool created = CreateProcessWithRetry([&] {
        return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &started);
    });
    if (!created) return;
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
}

LogWriterProcess::~LogWriterProcess() {
    if (!Started()) return;
    if (!exitCode_) {
        TerminateProcess(HandleOf(process_), 1);
        Wait();
    }
    CloseHandle(HandleOf(process_));
}

bool LogWriterProcess::Reap(bool wait) {
    if (exitCode_) return true;
    if (!Started()) return false;
    if (WaitForSingleObject(HandleOf(process_), wait ? INFINITE : 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    exitCode_ = GetExitCodeProcess(HandleOf(process_), &code) ? static_cast<int>(code) : -1;
    return true;
}

}  // namespace zendrel::testsupport
