#pragma once
// Runs the built zendrel executable as a user would, and collects what it printed.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zendrel::testsupport {

struct ProgramResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error

    // Standard output split into lines (without their line ends).
    std::vector<std::string> OutLines() const;
};

// Runs the program at `program` with `arguments` in the folder `workingFolder`; its output goes to files in
// `scratchFolder`, which must exist.
ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder);

// Variables set for the program in addition to the test's own environment, as name and value.
using ProgramEnvironment = std::vector<std::pair<std::string, std::string>>;

// The same, with `environment` added to what the program inherits.
ProgramResult RunProgramFile(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& workingFolder, const std::filesystem::path& scratchFolder,
                             const ProgramEnvironment& environment);

#if !defined(_WIN32)
// The program running in the background, for a test that talks to it while it runs (with signals) and reads what it
// has printed so far. Its standard output and error go to files in the scratch folder. A program still running when
// the object goes is killed.
class StartedProgram {
public:
    // None when the program could not be started.
    static std::optional<StartedProgram> Start(const std::filesystem::path& program,
                                               const std::vector<std::string>& arguments,
                                               const std::filesystem::path& workingFolder,
                                               const std::filesystem::path& scratchFolder,
                                               const ProgramEnvironment& environment);

    StartedProgram(StartedProgram&& other) noexcept;
    StartedProgram& operator=(StartedProgram&&) = delete;
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    ~StartedProgram();

    // What it has written to standard output and error so far.
    std::string Out() const;
    std::string Err() const;

    // Waits until standard output holds `text`, at most `limit`.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const;

    bool Signal(int signal) const;

    // Waits until the program has ended, at most `limit`: its exit code, -1 when a signal ended it; none when it
    // still runs (it is then killed, so that no test leaves it behind).
    std::optional<int> Wait(std::chrono::milliseconds limit);

private:
    StartedProgram(int pid, std::filesystem::path outFile, std::filesystem::path errFile)
        : pid_(pid), outFile_(std::move(outFile)), errFile_(std::move(errFile)) {}

    int pid_ = -1;
    std::filesystem::path outFile_;
    std::filesystem::path errFile_;
};
#endif

}  // namespace zendrel::testsupport
