#include "program_runner.h"

#include <cstdlib>
#include <sstream>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "test_files.h"

namespace zendrel::testing {
namespace {

#if !defined(_WIN32)
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

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
#endif

}  // namespace

std::vector<std::string> ProgramResult::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder) {
    return RunProgramFile(program, arguments, workingFolder, scratchFolder, {});
}

#if !defined(_WIN32)  // on Windows in program_runner_windows.cpp

ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder,
                             const ProgramEnvironment& environment) {
    const std::filesystem::path outFile = scratchFolder / "stdout.txt";
    const std::filesystem::path errFile = scratchFolder / "stderr.txt";
    std::string command = "cd " + ShellQuoted(workingFolder.string()) + " && ";
    // Assignments in front of a command go into that command's environment only.
    for (const auto& [name, value] : environment) command += name + "=" + ShellQuoted(value) + " ";
    command += ShellQuoted(program.string());
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    command += " >" + ShellQuoted(outFile.string()) + " 2>" + ShellQuoted(errFile.string()) + " </dev/null";

    ProgramResult result;
    result.exitCode = ExitCodeOf(std::system(command.c_str()));
    result.out = ReadBytes(outFile);
    result.err = ReadBytes(errFile);
    return result;
}


std::optional<StartedProgram> StartedProgram::Start(const std::filesystem::path& program,
                                                    const std::vector<std::string>& arguments,
                                                    const std::filesystem::path& workingFolder,
                                                    const std::filesystem::path& scratchFolder,
                                                    const ProgramEnvironment& environment) {
    const std::filesystem::path outFile = scratchFolder / "stdout.txt";
    const std::filesystem::path errFile = scratchFolder / "stderr.txt";
    // Everything the child needs is made before the fork: after it, only calls that are safe in a child.
    std::vector<std::string> words = {program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> assignments;
    for (const auto& [name, value] : environment) assignments.push_back(name + "=" + value);
    const std::string folder = workingFolder.string();
    const std::string out = outFile.string();
    const std::string err = errFile.string();

    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        for (std::string& assignment : assignments) ::putenv(assignment.data());
        const int in = ::open("/dev/null", O_RDONLY);
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || outFd < 0 || errFd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::dup2(in, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return StartedProgram(child, outFile, errFile);
}

StartedProgram::StartedProgram(StartedProgram&& other) noexcept
    : pid_(other.pid_), outFile_(std::move(other.outFile_)), errFile_(std::move(other.errFile_)) {
    other.pid_ = -1;
}

StartedProgram::~StartedProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string StartedProgram::Out() const { return ReadBytes(outFile_); }

std::string StartedProgram::Err() const { return ReadBytes(errFile_); }

bool StartedProgram::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (Out().find(text) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool StartedProgram::Signal(int signal) const { return pid_ > 0 && ::kill(pid_, signal) == 0; }

std::optional<int> StartedProgram::Wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

#endif

}  // namespace zendrel::testing
