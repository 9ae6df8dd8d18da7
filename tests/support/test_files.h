#pragma once
// Real files and folders for tests and benchmarks: a temporary folder that removes itself, whole-file reads and
// writes. Nothing here throws; a failure shows in the result.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace zendrel::testsupport {

// A fresh folder below the system's temporary folder, removed with everything in it when the object goes. It is
// readable and searchable by every user (0755), because the mail server's unprivileged processes must reach the files
// in it.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string_view prefix = "zendrel-test");
    TemporaryFolder(TemporaryFolder&& other) noexcept;
    TemporaryFolder& operator=(TemporaryFolder&&) = delete;
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder();

    // False when no folder could be created; Path() is then empty.
    bool Created() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }
    // A folder below this one (a UTF-8 name), created; empty when this folder does not exist.
    std::filesystem::path MakeFolder(std::string_view name) const;
    // Leaves the folder in place when the object goes, for looking at it after a failure.
    void Keep() { keep_ = true; }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);
// Replaces the file with `bytes`; false when it cannot be written.
[[nodiscard]] bool WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// Every regular file directly in `folder` by its name (UTF-8), with its bytes. Empty when the folder is missing.
std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder);

// A path whose UTF-8 text is `utf8`.
std::filesystem::path Utf8Path(std::string_view utf8);

}  // namespace zendrel::testsupport
