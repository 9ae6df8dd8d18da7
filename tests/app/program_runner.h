#pragma once
// Runs the built zendrel executable as a user would, and collects what it printed.

#include <filesystem>
#include <string>
#include <vector>

namespace zendrel::testing {

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

}  // namespace zendrel::testing
