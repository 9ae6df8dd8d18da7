#include "program_runner.h"

#include <sstream>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include "test_files.h"

namespace zendrel::testsupport {
namespace {

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
    std::optional<StartedProgram> started =
        StartedProgram::Start(program, arguments, workingFolder, scratchFolder, environment);
    if (!started) return {};
    ProgramResult result;
    result.exitCode = started->Wait(std::chrono::hours(1)).value_or(-1);
    result.out = started->Out();
    result.err = started->Err();
    return result;
}

std::optional<StartedProgram> StartedProgram::Start(const std::filesystem::path& program,
                                                    const std::vector<std::string>& arguments,
                                                    const std::filesystem::path& workingFolder,
                                                    const std::filesystem::path& scratchFolder,
                                                    const ProgramEnvironment& environment) {
    const std::filesystem::path outFile = scratchFolder / "stdout.txt";
    const std::filesystem::path errFile = scratchFolder / "stderr.txt";
    std::vector<std::string> words = {program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // The test's own environment with the given variables put in place of (or beside) the inherited ones; the
    // environment of the test process itself stays as it is.
    std::vector<std::string> variables;
    for (char** inherited = environ; *inherited != nullptr; ++inherited) {
        const std::string variable = *inherited;
        const std::string name = variable.substr(0, variable.find('='));
        bool replaced = false;
        for (const auto& entry : environment) replaced = replaced || entry.first == name;
        if (!replaced) variables.push_back(variable);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
    const std::string folder = workingFolder.string();
    const std::string out = outFile.string();
    const std::string err = errFile.string();
    const bool prepared =
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) ==
            0 &&
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) ==
            0 &&
        ::posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()) == 0;
    pid_t child = -1;
    const bool spawned =
        prepared && ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return std::nullopt;
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

}  // namespace zendrel::testsupport
