#pragma once
// A folder of its own for one test run, removed with everything in it when the object goes.

#include <filesystem>
#include <optional>
#include <string>

namespace zendrel::testsupport {

class TempFolder {
public:
    // Creates a new folder below the system's temporary folder. The folder is made searchable for every user (0755),
    // because the mail server's unprivileged processes must reach the files inside it. Empty on failure.
    static std::optional<TempFolder> Create(const std::string& prefix, std::string& error);

    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& Path() const { return path_; }

    // Leaves the folder in place when the object goes, for looking at it after a failure.
    void Keep() { keep_ = true; }

private:
    explicit TempFolder(std::filesystem::path path) : path_(std::move(path)) {}
    void Remove();

    std::filesystem::path path_;
    bool keep_ = false;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

// Writes bytes as a whole file; false when it cannot be written.
bool WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace zendrel::testsupport
