#pragma once
// The log files admit one writer at a time: the service appends to "log.txt" while the window takes it over, and two
// threads of one process may append to the same file. Whoever holds a file open for writing keeps every other writer
// out until it closes the file; readers are not kept out. The implementation over the operating system's files lives
// in platform.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// One open log file, held exclusively for writing until the object goes (which closes the file).
class SharedLogFile {
public:
    virtual ~SharedLogFile() = default;

    // Writes the bytes at the current end of the file; false when they could not all be written.
    virtual bool Append(std::string_view bytes) = 0;
    // The whole file from its start; nothing when it cannot be read.
    virtual std::optional<std::string> ReadAll() = 0;
    // Cuts the file to length 0.
    virtual bool Truncate() = 0;
};

// Opens log files. Open may be called from several threads at once.
class SharedLogFiles {
public:
    virtual ~SharedLogFiles() = default;

    // Opens `file`, creating it empty when it is missing. Nothing (nullptr) when the file cannot be opened or another
    // writer holds it at this moment.
    virtual std::unique_ptr<SharedLogFile> Open(const std::filesystem::path& file) = 0;
};

}  // namespace zendrel
