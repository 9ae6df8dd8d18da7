// RunProgramFile on Windows: the program started with CreateProcess, its standard output and error going to files
// that it inherits, as a command prompt with redirections would start it.

#include <windows.h>

#include <map>
#include <string>

#include "process_start_windows.h"
#include "program_runner.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

// The tests write arguments and variables in UTF-8, as on Linux; the program gets them as UTF-16.
std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// This process's environment with `added` put in, as the block CreateProcess takes: sorted, each "NAME=value" ended by
// a NUL, the whole ended by another.
std::wstring EnvironmentBlock(const ProgramEnvironment& added) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
            const std::wstring text(entry);
            // Entries such as "=C:=C:\..." keep the current folder of each drive; their name starts with '='.
            const std::size_t equals = text.find(L'=', 1);
            if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : added) variables[Wide(name)] = Wide(value);
    std::wstring block;
    for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
    return block + L'\0';
}

HANDLE InheritableFile(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The C runtime writes each newline to a text stream as CR LF on Windows; the tests compare the text.
std::string WithNewlines(std::string text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    }
    return lines;
}

// Closes a handle when the owner goes.
struct Handle {
    HANDLE value;
    ~Handle() {
        if (value != nullptr && value != INVALID_HANDLE_VALUE) CloseHandle(value);
    }
};

}  // namespace

ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder,
                             const ProgramEnvironment& environment) {
    const std::filesystem::path outFile = scratchFolder / "stdout.txt";
    const std::filesystem::path errFile = scratchFolder / "stderr.txt";
    ProgramResult result;
    {
        const Handle in{InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING)};
        const Handle out{InheritableFile(outFile, GENERIC_WRITE, CREATE_ALWAYS)};
        const Handle err{InheritableFile(errFile, GENERIC_WRITE, CREATE_ALWAYS)};
        if (in.value == INVALID_HANDLE_VALUE || out.value == INVALID_HANDLE_VALUE ||
            err.value == INVALID_HANDLE_VALUE) {
            result.err = "the output files could not be made: error " + std::to_string(GetLastError()) + "\n";
            return result;
        }
        std::wstring commandLine = Quoted(program.native());
        for (const std::string& argument : arguments) commandLine += L" " + Quoted(Wide(argument));
        std::wstring block = EnvironmentBlock(environment);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.value;
        startup.hStdOutput = out.value;
        startup.hStdError = err.value;
        PROCESS_INFORMATION started{};
        const bool created = CreateProcessWithRetry([&] {
            return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, block.data(), workingFolder.c_str(), &startup, &started);
        });
        if (!created) {
            result.err = "the program could not be started: error " + std::to_string(GetLastError()) + "\n";
            return result;
        }
        const Handle process{started.hProcess};
        const Handle thread{started.hThread};
        WaitForSingleObject(process.value, INFINITE);
        DWORD code = 0;
        result.exitCode = GetExitCodeProcess(process.value, &code) ? static_cast<int>(code) : -1;
    }
    result.out = WithNewlines(ReadBytes(outFile));
    result.err = WithNewlines(ReadBytes(errFile));
    return result;
}

}  // namespace zendrel::testsupport
