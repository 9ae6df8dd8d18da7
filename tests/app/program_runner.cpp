#include "program_runner.h"

#include <cstdlib>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "test_files.h"

namespace zendrel::testing {
namespace {

// One argument for the shell, taken literally.
std::string ShellQuoted(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

int ExitCodeOf(int status) {
#if defined(_WIN32)
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

std::vector<std::string> ProgramResult::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder) {
    const std::filesystem::path outFile = scratchFolder / "stdout.txt";
    const std::filesystem::path errFile = scratchFolder / "stderr.txt";
    std::string command = "cd " + ShellQuoted(workingFolder.string()) + " && " + ShellQuoted(program.string());
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    command += " >" + ShellQuoted(outFile.string()) + " 2>" + ShellQuoted(errFile.string()) + " </dev/null";

    ProgramResult result;
    result.exitCode = ExitCodeOf(std::system(command.c_str()));
    result.out = ReadBytes(outFile);
    result.err = ReadBytes(errFile);
    return result;
}

}  // namespace zendrel::testing
